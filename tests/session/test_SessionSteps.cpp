#include "support/SessionFixture.h"

#include <cctype>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>

namespace {

qint64 MillisOf(const QString& tc) {
    return std::llround(TimecodeSeconds(tc).value_or(-1) * 1000);
}

qint64 SearchFrom(const EditorSession& s, qint64 pos, SearchDirection direction) {
    const GopSearchResult r = FindGopTimecode(s.SearchContext(), pos, direction);
    return r.found ? r.headerPos : -1;
}

// A GOP's timecode as shown (the videos that need the offset start at 10:00:00).
QString Shown(const EditorSession& s, const Gop& gop) {
    return s.UseOffset && s.OffsetVisible ? u"00"_qs + gop.text.mid(2) : gop.text;
}

// The session stands on the GOP at `pos`: position, timecode, slider and the GOP's first picture.
void ExpectOnGop(const EditorSession& s, const std::vector<Gop>& gops, qint64 pos) {
    const Gop* gop = GopAt(gops, pos);
    ASSERT_TRUE(gop) << "no GOP header at " << pos;
    EXPECT_EQ(s.CurrentPos, pos);
    EXPECT_EQ(s.ClipStartPos, pos);
    EXPECT_EQ(s.ShownTimecode, Shown(s, *gop));
    EXPECT_EQ(s.AtGopStart, FlagTrue);
    EXPECT_EQ(s.SliderValue, int(double(pos) * 32000 / double(s.FileLength)));
    EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), pos - 1));
}

// A picture step moves on by one frame period and a step back retraces it exactly, into the GOP
// before with the picture the steps from there showed; at either end of the video it stands still.
TEST(SessionSteps, PictureStepsForwardAndBack) {
    using State = std::tuple<qint64, QString, quint64, Flag, bool, QString>;
    const auto now = [](const EditorSession& s) {
        return State{s.CurrentPos, s.ShownTimecode, HashRows(s.Picture()),
                     s.AtGopStart, s.SaveEnabled(), s.SaveCaption};
    };
    const struct {
        const char* video;
        int frameMs;
    } rows[] = {{"pal.m2v", 40}, {"ntsc_df.mpg", 33}, {"pal_dvd.vob", 40}, {"film.m2v", 41}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(Video(row.video)));
        EditorSession& s = *run.s;
        const Gop second = GopsOf(s.VideoFile()).at(1);
        s.SetClips(true);
        std::vector<State> walked{now(s)};
        s.PreviousPictureStep();
        EXPECT_EQ(now(s), walked[0]);
        s.NextGopStep();
        s.GoToStart();
        EXPECT_EQ(now(s), walked[0]);
        size_t lastOfFirstGop = 0;
        for (int n = 0; n < 30; ++n) {
            const qint64 before = MillisOf(s.ShownTimecode);
            s.NextPictureStep();
            EXPECT_EQ(MillisOf(s.ShownTimecode) - before, row.frameMs) << n;
            EXPECT_EQ(s.SliderValue, int(std::floor(s.CurrentPos / s.BytesPerStep))) << n;
            walked.push_back(now(s));
            // (29.97 pictures a second fall behind the GOP's time by less than half a picture)
            if (MillisOf(s.ShownTimecode) + 16 < std::llround(second.seconds * 1000))
                lastOfFirstGop = walked.size() - 1;
        }
        for (size_t n = walked.size() - 1; n-- > walked.size() - 8;) {
            s.PreviousPictureStep();
            EXPECT_EQ(now(s), walked[n]) << n;
        }
        s.Slider1_Change(int(second.pos / s.BytesPerStep) + 1);
        ASSERT_EQ(s.CurrentPos, second.pos);
        s.PreviousPictureStep();
        std::get<0>(walked[lastOfFirstGop]) = s.CurrentPos;
        EXPECT_EQ(now(s), walked[lastOfFirstGop]);
        s.NextPictureStep();
        s.PreviousPictureStep();
        for (size_t n = lastOfFirstGop; n > 0; --n)
            s.PreviousPictureStep();
        std::get<0>(walked[0]) = s.ClipStartPos;
        EXPECT_EQ(now(s), walked[0]);
        s.Slider1_Change(32000);
        for (int n = 0; n < 100; ++n)
            s.NextPictureStep();
        const State end = now(s);
        s.NextPictureStep();
        EXPECT_EQ(now(s), end) << "the end stands still";
    }
}

// What the save button offers after each kind of step, in each save mode: C "...+chapter",
// P the plain save, M the mark; lower case when the button is off.
TEST(SessionSteps, TheSaveButtonFollowsTheSteps) {
    const struct {
        bool clips, markOnly, noMark;
        const char *steps, *want; // g GOP, p picture, b GOP back, s slider (leaves the button)
    } rows[] = {{false, false, false, "gpgpsb", "CPCPPC"}, {true, false, false, "gpsb", "CppC"},
                {false, true, false, "gpb", "MmM"},        {false, true, true, "gpb", "MmM"},
                {true, false, true, "gpb", "PpP"},         {false, false, true, "gpb", "PPP"}};
    for (const auto& row : rows) {
        SessionRun run;
        ASSERT_TRUE(run.Start(Video("pal.mpg")));
        EditorSession& s = *run.s;
        s.SetClips(row.clips);
        s.SetNoChapter(row.noMark);
        s.SetChapterOnly(row.markOnly); // "Mark only" takes the place of "No Mark"
        EXPECT_FALSE(s.NoChapter && s.ChapterOnly);
        const QString kind = row.clips ? u"Save clip"_qs : u"Save image"_qs;
        for (int n = 0; row.steps[n]; ++n) {
            const char step = row.steps[n], want = row.want[n];
            if (step == 'g')
                s.NextGopStep();
            if (step == 'p')
                s.NextPictureStep();
            if (step == 'b')
                s.PreviousGopStep();
            if (step == 's')
                s.Slider1_Change(s.SliderValue - 100);
            const char upper = char(std::toupper(want));
            EXPECT_EQ(s.SaveCaption, upper == 'M'   ? u"Set chapter mark"_qs
                                     : upper == 'C' ? kind + u"+chapter"_qs
                                                    : kind)
                << row.steps << " " << n;
            EXPECT_EQ(s.SaveEnabled(), want == upper) << row.steps << " " << n;
        }
    }
}

// A preview shows the picture under the thumb and names the GOP before it; the change that ends
// the drag lands on the GOP before where the decoder entered, a plain change on the GOP before the
// slider's place.
TEST(SessionSteps, SliderPreviewAndJumps) {
    SessionRun run;
    ASSERT_TRUE(run.Start(Video("pal_dvd.vob")));
    EditorSession& s = *run.s;
    const std::vector<Gop> gops = GopsOf(s.VideoFile());
    const qint64 pos = qint64(17000 * s.BytesPerStep);
    s.BeginDrag();
    s.PreviewSliderPosition(17000);
    EXPECT_EQ(s.UsePreviewPos, FlagTrue);
    EXPECT_EQ(s.CurrentPos, pos);
    const Gop* gop = GopAt(gops, SearchFrom(s, pos, SearchDirection::Backward));
    ASSERT_TRUE(gop);
    EXPECT_EQ(s.PreviewTimecode, gop->text);
    EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), pos - 256));
    const qint64 entered = s.MpegLib.DecoderPos;
    for (const int value : {17000, 9000}) {
        SCOPED_TRACE(value);
        if (value == 9000)
            s.NextPictureStep(); // a jump from inside a GOP lands on a GOP start all the same
        s.Slider1_Change(value);
        EXPECT_EQ(s.UsePreviewPos, FlagFalse);
        const qint64 from = value == 17000 ? entered : qint64(value * s.BytesPerStep);
        ASSERT_NO_FATAL_FAILURE(
            ExpectOnGop(s, gops, SearchFrom(s, from, SearchDirection::Backward)));
    }
    // The studio range shown as it is, and stretched again: the picture is drawn anew.
    for (const bool stretch : {false, true}) {
        s.SetScaleRgb(stretch, s.SliderValue);
        EXPECT_EQ(HashRows(s.Picture()) == PictureHashAt(s.VideoFile(), s.CurrentPos - 1), stretch);
    }
}

// A stream that does not start at zero shows its raw times, with the lists locked and no marks,
// until the offset is used; then times count from the first GOP.
TEST(SessionSteps, TheOffsetCountsTimesFromTheFirstGop) {
    SessionRun run;
    ASSERT_TRUE(run.Start(Video("tc10h.m2v")));
    EditorSession& s = *run.s;
    for (const int offset : {-1, 1, 0}) { // -1: as started
        SCOPED_TRACE(offset);
        if (offset >= 0)
            s.SetUseOffset(offset);
        EXPECT_TRUE(s.OffsetVisible);
        EXPECT_EQ(s.ShownTimecode, offset == 1 ? u"00:00:00.000"_qs : u"10:00:00.000"_qs);
        EXPECT_EQ(s.CreateEnabled(), offset == 1);
        EXPECT_EQ(s.ListsLocked(), offset != 1);
        EXPECT_EQ(s.SaveCaption, offset == 1 ? u"Save image+chapter"_qs : u"Save image"_qs);
    }
    s.VisitChapter(u"10:00:01.000"_qs);
    EXPECT_EQ(s.CurrentPos, 0) << "a locked list takes no visits";
    EXPECT_TRUE(run.messages.messages.empty());
}

} // namespace
