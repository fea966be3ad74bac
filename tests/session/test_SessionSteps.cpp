#include "support/SessionFixture.h"

#include <QProcess>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Milliseconds of a shown "HH:MM:SS.mmm"; -1 for anything else.
qint64 MillisOf(const QString& tc) {
    int seconds = 0;
    if (tc.size() != 12 || !TimeOfDaySeconds(tc, seconds))
        return -1;
    return seconds * 1000LL + tc.mid(9).toInt();
}

// Where the search lands from a byte position, as the chapters' search finds it.
qint64 SearchFrom(const EditorSession& s, qint64 pos, SearchDirection direction) {
    const GopSearchResult r = FindGopTimecode(s.SearchContext(), pos, direction);
    return r.found ? r.headerPos : -1;
}

// The session stands on the GOP at `pos`: position, timecode, slider and the GOP's I-picture.
void ExpectOnGop(const EditorSession& s, const std::vector<Gop>& gops, qint64 pos,
                 const QString& shown = {}) {
    const Gop* gop = GopAt(gops, pos);
    ASSERT_TRUE(gop) << "no GOP header at " << pos;
    EXPECT_EQ(s.CurrentPos, pos);
    EXPECT_EQ(s.ClipStartPos, pos);
    EXPECT_EQ(s.ShownTimecode, shown.isEmpty() ? gop->text : shown);
    EXPECT_EQ(s.AtGopStart, FlagTrue);
    EXPECT_EQ(s.SliderValue, int(double(pos) * 32000 / double(s.FileLength)));
    EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), pos - 1));
}

// Next and previous GOP over whole files, to both ends; where GOPs lie more than a search block
// apart every GOP is visited in turn.
TEST(SessionSteps, GopStepsWalkTheFileBothWays) {
    const struct {
        const char* video;
        bool everyGop;
    } rows[] = {{"pal.m2v", false},
                {"pal.mpg", false},
                {"pal_dvd.vob", true},
                {"ntsc_df.mpg", true},
                {"tc10h.m2v", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(row.video))));
        EditorSession& s = *run.s;
        const std::vector<Gop> gops = GopsOf(s.VideoFile());
        ASSERT_GE(gops.size(), 10u);
        std::vector<qint64> forward, backward;
        while (s.CurrentPos + 50 < GlobalVars().LastGopPos) {
            ASSERT_LT(forward.size(), 1000u);
            const qint64 want = SearchFrom(s, s.CurrentPos + 50, SearchDirection::Forward);
            s.NextGopStep();
            ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, want));
            forward.push_back(s.CurrentPos);
        }
        // At the last GOP the step does nothing at all.
        s.AtGopStart = FlagFalse;
        s.NextGopStep();
        EXPECT_EQ(s.AtGopStart, FlagFalse);
        s.AtGopStart = FlagTrue;
        while (s.CurrentPos > 50) {
            ASSERT_LT(backward.size(), 1000u);
            const qint64 before = s.CurrentPos;
            const qint64 want = SearchFrom(s, before - 50, SearchDirection::Backward);
            s.PreviousGopStep();
            ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, want));
            if (s.CurrentPos == before)
                break; // a program stream's first GOP lies beyond byte 50
            backward.push_back(s.CurrentPos);
        }
        EXPECT_EQ(s.CurrentPos, gops.front().pos);
        if (row.everyGop) {
            std::vector<qint64> all;
            for (const Gop& gop : gops)
                if (gop.pos > 50)
                    all.push_back(gop.pos);
            EXPECT_EQ(forward, all);
            std::vector<qint64> allBack;
            for (auto g = gops.rbegin() + 1; g != gops.rend(); ++g)
                allBack.push_back(g->pos);
            EXPECT_EQ(backward, allBack);
        }
    }
}

// Inside a GOP (after picture steps) the GOP steps still keep to that GOP: previous goes back to
// its start, next goes on to the one after it.
TEST(SessionSteps, GopStepsFromInsideAGop) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("pal_dvd.vob"))));
    EditorSession& s = *run.s;
    const std::vector<Gop> gops = GopsOf(s.VideoFile());
    for (int n = 0; n < 3; ++n)
        s.NextGopStep();
    const auto here =
        std::find_if(gops.begin(), gops.end(), [&](const Gop& g) { return g.pos == s.CurrentPos; });
    ASSERT_NE(here, gops.end());
    const Gop gop = *here, next = *(here + 1);
    for (const int pictures : {1, 4, 8}) {
        SCOPED_TRACE(pictures);
        for (int k = 0; k < pictures; ++k)
            s.NextPictureStep();
        ASSERT_LT(s.CurrentPos, next.pos);
        s.PreviousGopStep();
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, gop.pos));
        for (int k = 0; k < pictures; ++k)
            s.NextPictureStep();
        s.NextGopStep();
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, next.pos));
        s.PreviousGopStep();
    }
}

TEST(SessionSteps, ProgramStreamsAreEnteredBeforeTheGopHeader) {
    const struct {
        const char* video;
        qint64 pos, target;
    } rows[] = {{"pal.m2v", 23, 23},          {"pal.m2v", 301, 301}, {"pal.m2v", 1329533, 1329533},
                {"pal.mpg", 75, 75},          {"pal.mpg", 300, 300}, {"pal.mpg", 301, 45},
                {"pal.mpg", 1345663, 1345407}};
    for (const auto& row : rows) {
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(row.video))));
        EXPECT_EQ(run.s->SeekTarget(row.pos), row.target) << row.video << " " << row.pos;
    }
}

// A picture step moves on by one frame period; at the end of the file the position stands still.
TEST(SessionSteps, PictureStepsAdvanceByOneFrameAndStopAtTheEnd) {
    const struct {
        const char* video;
        int frameMs;
        bool elementary; // picture start codes can be counted in the bytes
    } rows[] = {{"pal.m2v", 40, true}, {"ntsc_df.mpg", 33, false}, {"film.m2v", 41, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(row.video))));
        EditorSession& s = *run.s;
        s.NextGopStep();
        for (int n = 0; n < 30; ++n) {
            const qint64 before = MillisOf(s.ShownTimecode);
            const qint64 pos = s.CurrentPos;
            s.NextPictureStep();
            ASSERT_NE(s.CurrentPos, pos) << n;
            EXPECT_EQ(MillisOf(s.ShownTimecode) - before, row.frameMs) << n;
            EXPECT_EQ(s.SliderValue, int(std::floor(s.CurrentPos / s.BytesPerStep))) << n;
            EXPECT_EQ(s.AtGopStart, FlagFalse);
        }
        s.Slider1_Change(32000);
        const qint64 last = s.CurrentPos;
        int steps = 0;
        for (;; ++steps) {
            ASSERT_LT(steps, 200);
            const qint64 pos = s.CurrentPos;
            const QString text = s.ShownTimecode;
            s.NextPictureStep();
            if (s.CurrentPos == pos) {
                EXPECT_EQ(s.ShownTimecode, text);
                break;
            }
        }
        if (row.elementary) {
            const QByteArray bytes = ReadAll(s.VideoFile());
            int pictures = 0;
            for (qsizetype k = bytes.indexOf(QByteArray::fromHex("00000100"), last); k >= 0;
                 k = bytes.indexOf(QByteArray::fromHex("00000100"), k + 1))
                ++pictures;
            EXPECT_EQ(steps, pictures - 1) << "pictures of the last GOP after its first";
        }
    }
}

// A picture step back retraces the picture steps exactly, crosses into the GOP before with the
// picture a run of steps from there shows, and stands still on the first picture of the video.
TEST(SessionSteps, PictureStepsBackRetraceTheSteps) {
    struct State {
        qint64 pos;
        QString shown;
        quint64 picture;
        Flag atGop;
        bool save;
    };
    const auto now = [](const EditorSession& s) {
        return State{s.CurrentPos, s.ShownTimecode, HashRows(s.Picture()), s.AtGopStart,
                     s.SaveEnabled()};
    };
    const auto expectAt = [](const EditorSession& s, const State& want, int n) {
        EXPECT_EQ(s.CurrentPos, want.pos) << n;
        EXPECT_EQ(s.ShownTimecode, want.shown) << n;
        EXPECT_EQ(HashRows(s.Picture()), want.picture) << n;
        EXPECT_EQ(s.AtGopStart, want.atGop) << n;
        EXPECT_EQ(s.SaveEnabled(), want.save) << n;
    };
    for (const char* video : {"pal.m2v", "ntsc_df.mpg", "pal_dvd.vob"}) {
        SCOPED_TRACE(video);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(video))));
        EditorSession& s = *run.s;
        const State first = now(s);
        s.PreviousPictureStep();
        expectAt(s, first, -1);

        // Every picture from the start to the second GOP's time, stepped through.
        s.SetClips(true);
        std::vector<State> walked{first};
        // (an elementary stream's first GOP step lands on the header of the first GOP)
        s.NextGopStep();
        if (s.ShownTimecode == first.shown)
            s.NextGopStep();
        const State secondGop = now(s);
        s.GoToStart();
        // (the 33 ms steps of 29.97 pictures a second fall behind the GOP's time: the nearest
        // counts)
        while (MillisOf(s.ShownTimecode) + 16 < MillisOf(secondGop.shown) && walked.size() < 200) {
            s.NextPictureStep();
            walked.push_back(now(s));
        }
        ASSERT_LT(walked.size(), 200u);
        ASSERT_GE(walked.size(), 3u) << secondGop.shown.toStdString() << " " << secondGop.pos;
        for (int n = int(walked.size()) - 2; n >= std::max(0, int(walked.size()) - 6); --n) {
            s.PreviousPictureStep();
            expectAt(s, walked[size_t(n)], n);
        }

        // From the second GOP's start, one back is the first GOP's last picture.
        s.Slider1_Change(int(secondGop.pos / s.BytesPerStep) + 1);
        ASSERT_EQ(s.CurrentPos, secondGop.pos);
        s.PreviousPictureStep();
        const State& last = walked[walked.size() - 2];
        EXPECT_EQ(s.ShownTimecode, last.shown);
        EXPECT_EQ(HashRows(s.Picture()), last.picture);
        EXPECT_EQ(s.AtGopStart, FlagFalse);
        EXPECT_FALSE(s.SaveEnabled()) << "clips start at GOPs only";
        s.NextPictureStep();
        EXPECT_EQ(s.ShownTimecode, walked.back().shown);
        s.PreviousPictureStep();
        for (size_t n = walked.size() - 2; n > 0; --n)
            s.PreviousPictureStep();
        expectAt(s, State{s.ClipStartPos, first.shown, first.picture, FlagTrue, true}, 0);
    }
}

// What the save button offers after each kind of step, in each save mode.
TEST(SessionSteps, TheSaveButtonFollowsTheSteps) {
    using Step = std::function<void(EditorSession&)>;
    const Step gop = [](EditorSession& s) { s.NextGopStep(); };
    const Step picture = [](EditorSession& s) { s.NextPictureStep(); };
    const Step back = [](EditorSession& s) { s.PreviousGopStep(); };
    const Step slider = [](EditorSession& s) { s.Slider1_Change(s.SliderValue - 100); };
    struct Want {
        Step step;
        const char* caption;
        bool enabled;
    };
    const struct {
        bool clips, markOnly;
        std::vector<Want> steps;
    } rows[] = {
        {false,
         false,
         {{gop, "Save image+chapter", true},
          {picture, "Save image", true},
          {gop, "Save image+chapter", true},
          {picture, "Save image", true},
          {slider, "Save image", true}, // the slider jump leaves the button alone
          {back, "Save image+chapter", true}}},
        {true,
         false,
         {{gop, "Save clip+chapter", true},
          {picture, "Save clip", false},
          {slider, "Save clip", false},
          {back, "Save clip+chapter", true}}},
        {false,
         true,
         {{gop, "Set chapter mark", true},
          {picture, "Set chapter mark", false},
          {back, "Set chapter mark", true}}},
    };
    for (const auto& row : rows) {
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("pal.mpg"))));
        EditorSession& s = *run.s;
        s.SetClips(row.clips);
        s.SetChapterOnly(row.markOnly);
        int n = 0;
        for (const Want& want : row.steps) {
            want.step(s);
            EXPECT_EQ(s.SaveCaption, QString::fromLatin1(want.caption)) << row.clips << " " << n;
            EXPECT_EQ(s.SaveEnabled(), want.enabled) << row.clips << " " << n;
            ++n;
        }
    }
}

// A preview shows the picture under the thumb and names the GOP before it; the change that ends
// the drag lands on the GOP before where the decoder entered. A plain change lands on the GOP
// before the slider's place.
TEST(SessionSteps, SliderPreviewAndJumps) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("pal_dvd.vob"))));
    EditorSession& s = *run.s;
    const std::vector<Gop> gops = GopsOf(s.VideoFile());
    for (const int value : {4000, 17000, 31000}) {
        SCOPED_TRACE(value);
        s.BeginDrag();
        s.PreviewSliderPosition(value);
        EXPECT_EQ(s.UsePreviewPos, FlagTrue);
        const qint64 pos = qint64(value * s.BytesPerStep);
        EXPECT_EQ(s.CurrentPos, pos);
        const qint64 gop = SearchFrom(s, pos, SearchDirection::Backward);
        ASSERT_TRUE(GopAt(gops, gop));
        EXPECT_EQ(s.PreviewTimecode, GopAt(gops, gop)->text);
        EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), pos - 256));
        const qint64 entered = s.MpegLib.DecoderPos;
        s.Slider1_Change(value);
        EXPECT_EQ(s.UsePreviewPos, FlagFalse);
        ASSERT_NO_FATAL_FAILURE(
            ExpectOnGop(s, gops, SearchFrom(s, entered, SearchDirection::Backward)));
    }
    for (const int value : {32000, 9000, 0}) {
        SCOPED_TRACE(value);
        const qint64 from = qint64(value * s.BytesPerStep);
        s.Slider1_Change(value);
        const qint64 want =
            value == 0 ? gops.front().pos : SearchFrom(s, from, SearchDirection::Backward);
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, want));
        EXPECT_LE(s.CurrentPos, qMax(from, gops.front().pos));
    }
}

// With the offset ticked, times count from the first GOP: steps, picture steps and the preview.
TEST(SessionSteps, TheOffsetCountsTimesFromTheFirstGop) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("tc10h.m2v"))));
    EditorSession& s = *run.s;
    const std::vector<Gop> gops = GopsOf(s.VideoFile());
    ASSERT_TRUE(s.OffsetVisible);
    EXPECT_EQ(s.ShownTimecode, "10:00:00.000");
    s.SetUseOffset(true);
    EXPECT_EQ(s.ShownTimecode, "00:00:00.000");
    const auto offsetText = [](QString text) { return text.replace(0, 2, QStringLiteral("00")); };
    for (int n = 1; n <= 4; ++n) {
        s.NextGopStep();
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(s, gops, gops[n].pos, offsetText(gops[n].text)));
    }
    const qint64 gopMs = MillisOf(s.ShownTimecode);
    s.NextPictureStep();
    EXPECT_EQ(MillisOf(s.ShownTimecode), gopMs + 40);
    s.PreviewSliderPosition(20000);
    const Gop* under = GopAt(gops, SearchFrom(s, s.CurrentPos, SearchDirection::Backward));
    ASSERT_TRUE(under);
    EXPECT_EQ(s.PreviewTimecode, offsetText(under->text));
    s.Slider1_Change(20000);
    const QString shown = s.ShownTimecode;
    ASSERT_TRUE(shown.startsWith(u"00:00:0")) << shown.toStdString();
    s.SetUseOffset(false);
    EXPECT_EQ(s.ShownTimecode, QStringLiteral("10") + shown.mid(2));
}

} // namespace
