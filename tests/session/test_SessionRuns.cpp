#include "session/AutoRun.h"
#include "support/SessionFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

// The files a run over `marks` leaves: the cell-times file and one image or clip per mark.
QStringList ExpectedFiles(const QString& stem, const QStringList& marks, const char* suffix) {
    QStringList files{stem + u"_Celltimes.txt"_qs};
    for (const QString& mark : marks)
        files << stem + u'_' + Mark(mark) + QLatin1String(suffix);
    files.sort();
    return files;
}

// The mark is the GOP at or the GOP after the target time.
bool NearTarget(const std::vector<Gop>& gops, const QString& mark, double seconds) {
    const Gop* before = nullptr;
    const Gop* after = nullptr;
    for (const Gop& gop : gops) {
        if (gop.seconds <= seconds + 1e-6)
            before = &gop;
        if (!after && gop.seconds >= seconds - 1e-6)
            after = &gop;
    }
    return (before && before->text == mark) || (after && after->text == mark);
}

// A program stream of `seconds` at 25 pictures per second in GOPs of 12; empty on failure.
QString MakeVideo(const QTemporaryDir& dir, int seconds) {
    const QString path = dir.filePath(u"long.mpg"_qs);
    QProcess ffmpeg;
    ffmpeg.start(
        u"ffmpeg"_qs,
        QStringList{
            "-nostdin",   "-loglevel",
            "error",      "-y",
            "-f",         "lavfi",
            "-i",         QStringLiteral("testsrc2=size=176x144:rate=25:duration=%1").arg(seconds),
            "-an",        "-c:v",
            "mpeg2video", "-threads",
            "1",          "-g",
            "12",         "-bf",
            "2",          "-b:v",
            "400k",       "-f",
            "vob",        path});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0 ? path : QString();
}

TEST(SessionRuns, OutOfRangeCountsAndIntervalsOnlyShowAMessage) {
    const QString count = u"Only 1 to 99 Chapters possible!"_qs;
    const QString interval = count + u"\r\nTry one Chapter each 2 or 3 minutes..."_qs;
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    EditorSession& s = *run.s;
    s.NextGopStep();
    const QString shown = s.ShownTimecode;
    for (const char* text : {"0", "100", "abc", "", "0.5", "-2"}) {
        run.messages.messages.clear();
        s.Command_CreateChapters_Click(QString::fromLatin1(text));
        EXPECT_EQ(run.messages.texts(), QStringList{count}) << text;
    }
    for (const char* text : {"0", "600", "547", "abc", "0.49", "-1"}) {
        run.messages.messages.clear();
        s.Command_CreateChapters2_Click(QString::fromLatin1(text));
        EXPECT_EQ(run.messages.texts(), QStringList{interval}) << text;
    }
    EXPECT_EQ(s.Chapters, QStringList());
    EXPECT_EQ(s.ShownTimecode, shown);
    EXPECT_TRUE(run.Files().isEmpty());
}

// How many chapters a run makes on the 12-second video (the last needs room for its image or
// clip), each the GOP at or after its time, each image the picture of the GOP that names it, the
// session back where the user stood.
TEST(SessionRuns, RunsByCountAndByInterval) {
    const struct {
        const char* video;
        bool interval;
        const char* value;
        const char* clipSeconds; // null: images
        int chapters;
    } rows[] = {
        {"pal.mpg", false, "1", nullptr, 1},
        {"pal.mpg", true, "1", nullptr, 1}, // an interval longer than the video
        {"pal.mpg", false, "5", nullptr, 5},
        {"pal.mpg", false, "12", nullptr, 11},
        {"pal.mpg", false, "4", "1", 4},
        {"pal.mpg", false, "4", "3", 3},
        {"pal.mpg", false, "3", "10", 2},
        {"pal.m2v", false, "6", nullptr, 6},
        {"pal_dvd.vob", false, "7", nullptr, 6},
        {"ntsc_df.mpg", false, "6", nullptr, 6},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.video) + " " + r.value + (r.clipSeconds ? " clips" : ""));
        SessionRun run;
        const QString video = TestVideo(QString::fromLatin1(r.video));
        ASSERT_TRUE(run.Start(video));
        EditorSession& s = *run.s;
        const std::vector<Gop> gops = GopsOf(video);
        for (int n = 0; n < 3; ++n)
            s.NextGopStep();
        const QString shown = s.ShownTimecode;
        const qint64 shownPos = s.CurrentPos;
        s.Chapters = QStringList{u"00:00:05.000"_qs}; // left from earlier work: replaced
        s.SetNoChapter(true);
        if (r.clipSeconds) {
            s.SetClips(true);
            s.SetClipSecondsText(QString::fromLatin1(r.clipSeconds));
        }
        if (r.interval)
            s.Command_CreateChapters2_Click(QString::fromLatin1(r.value));
        else
            s.Command_CreateChapters_Click(QString::fromLatin1(r.value));
        const QStringList marks = s.Chapters;
        ASSERT_EQ(marks.size(), r.chapters) << marks.join(u' ').toStdString();
        EXPECT_EQ(marks.first(), Zero);
        const double step = GlobalVars().DurationSeconds / QString::fromLatin1(r.value).toInt();
        for (int i = 1; !r.interval && i < marks.size(); ++i)
            EXPECT_TRUE(NearTarget(gops, marks[i], i * step)) << marks[i].toStdString();
        const QString stem = QFileInfo(video).completeBaseName();
        EXPECT_EQ(ReadAll(run.Out(stem + u"_Celltimes.txt"_qs)), CellTimesOf(marks));
        EXPECT_EQ(run.Files(), ExpectedFiles(stem, marks, r.clipSeconds ? ".vob" : ".bmp"));
        for (const QString& mark : marks) {
            if (r.clipSeconds)
                continue;
            const QImage saved(run.Out(stem + u'_' + Mark(mark) + u".bmp"_qs));
            const auto gop = std::find_if(gops.begin(), gops.end(),
                                          [&](const Gop& g) { return g.text == mark; });
            ASSERT_NE(gop, gops.end()) << mark.toStdString();
            EXPECT_EQ(HashRows(saved), PictureHashAt(video, gop->pos - 1)) << mark.toStdString();
        }
        ASSERT_EQ(s.Marks.size(), size_t(marks.size()));
        EXPECT_FALSE(s.NoChapter);
        EXPECT_EQ(s.ShownTimecode, shown);
        EXPECT_EQ(s.CurrentPos, shownPos);
        EXPECT_TRUE(run.messages.messages.empty()) << run.messages.texts().join(u'|').toStdString();
    }
}

TEST(SessionRuns, IntervalRunOverALongerVideo) {
    QTemporaryDir dir;
    const QString video = MakeVideo(dir, 123);
    ASSERT_FALSE(video.isEmpty()) << "ffmpeg could not make the video";
    for (const bool clips : {false, true}) {
        SessionRun run;
        ASSERT_TRUE(run.Start(video));
        EditorSession& s = *run.s;
        const std::vector<Gop> gops = GopsOf(video);
        s.SetClips(clips);
        s.SetClipSecondsText(u"3"_qs);
        s.Command_CreateChapters2_Click(u"1"_qs);
        // A 3-second clip at 2:00 would run into the video's last second.
        ASSERT_EQ(s.Chapters.size(), clips ? 2 : 3);
        for (int i = 0; i < s.Chapters.size(); ++i)
            EXPECT_TRUE(NearTarget(gops, s.Chapters[i], 60.0 * i)) << s.Chapters[i].toStdString();
        EXPECT_EQ(run.Files(), ExpectedFiles(u"long"_qs, s.Chapters, clips ? ".vob" : ".bmp"));
    }
}

// A run over a video whose GOP headers end past its middle stops at the first time it cannot
// find, keeps what it made and stays on its last chapter. With the offset, a stream starting at
// 10:00:00 gets times from its start.
TEST(SessionRuns, RunsStopAtATimeWithoutAGopAndCountFromTheOffset) {
    QTemporaryDir dir;
    const QString broken = dir.filePath(u"pal.mpg"_qs);
    QByteArray bytes = ReadAll(TestVideo(u"pal.mpg"_qs));
    const qsizetype from = bytes.size() * 55 / 100;
    QByteArray tail = bytes.mid(from);
    tail.replace(QByteArray::fromHex("000001B8"), QByteArray::fromHex("000001B9"));
    ASSERT_TRUE(WriteAll(broken, bytes.left(from) + tail));
    // The headers vanish under the session's feet: the scan is the whole video's.
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    EditorSession& s = *run.s;
    GlobalVars().VideoFile = broken;
    s.NextGopStep();
    s.NextGopStep();
    s.Command_CreateChapters_Click(u"5"_qs);
    ASSERT_EQ(s.Chapters.size(), 3) << s.Chapters.join(u' ').toStdString();
    EXPECT_EQ(run.messages.texts(), QStringList{u"ERROR: Cannot find time 00:00:07 !!!"_qs});
    EXPECT_EQ(run.Files(), ExpectedFiles(u"pal"_qs, s.Chapters, ".bmp"));
    EXPECT_EQ(s.ShownTimecode, s.Chapters.last());
    const std::vector<Gop> gops = GopsOf(broken);
    const auto last = std::find_if(gops.begin(), gops.end(),
                                   [&](const Gop& g) { return g.text == s.Chapters.last(); });
    ASSERT_NE(last, gops.end());
    EXPECT_EQ(s.CurrentPos, last->pos);
    EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(broken, last->pos - 1));

    // A run after a picture step still marks every chapter.
    SessionRun picture;
    ASSERT_TRUE(picture.Start(TestVideo(u"pal.mpg"_qs)));
    picture.s->NextGopStep();
    picture.s->NextPictureStep();
    picture.s->Command_CreateChapters_Click(u"3"_qs);
    ASSERT_EQ(picture.s->Chapters.size(), 3);
    EXPECT_EQ(picture.Files(), ExpectedFiles(u"pal"_qs, picture.s->Chapters, ".bmp"));

    SessionRun offset;
    ASSERT_TRUE(offset.Start(TestVideo(u"tc10h.m2v"_qs)));
    EXPECT_FALSE(offset.s->CreateEnabled());
    offset.s->SetUseOffset(true);
    EXPECT_TRUE(offset.s->CreateEnabled());
    offset.s->Command_CreateChapters_Click(u"3"_qs);
    ASSERT_EQ(offset.s->Chapters.size(), 3);
    for (const QString& mark : offset.s->Chapters)
        EXPECT_TRUE(mark.startsWith(u"00:00:0")) << mark.toStdString();
    EXPECT_EQ(offset.Files(), ExpectedFiles(u"tc10h"_qs, offset.s->Chapters, ".bmp"));
}

// The run over the file chapters makes a chapter where a visit to each time goes; times of one
// GOP make one chapter; a time it cannot find stops it with a message.
TEST(SessionRuns, FileChapterRuns) {
    const struct {
        const char* times;
        int chapters;
        const char* message;
    } rows[] = {{"00:00:03.000,00:00:06.000", 3, nullptr},
                {"00:00:03.000,00:00:03.010", 2, nullptr},
                {"00:00:03.000\r\n00:00:30.000\r\n00:00:40.000", 2,
                 "ERROR: Cannot find time 00:00:30.000 !!!"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.times);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
        EditorSession& s = *run.s;
        s.ImportClipboardText(QString::fromLatin1(r.times));
        ASSERT_TRUE(s.FileChaptersShown);
        s.NextGopStep();
        s.NextGopStep();
        const QString shown = s.ShownTimecode;
        s.Command_CreateChapters3_Click();
        EXPECT_EQ(run.messages.texts(),
                  r.message ? QStringList{QString::fromLatin1(r.message)} : QStringList());
        ASSERT_EQ(s.Chapters.size(), r.chapters);
        EXPECT_EQ(ReadAll(s.CellTimesPath), CellTimesOf(s.Chapters));
        EXPECT_EQ(s.ShownTimecode, shown);
        for (int i = 0; i < r.chapters && !r.message; ++i) {
            SessionRun visit;
            ASSERT_TRUE(visit.Start(TestVideo(u"pal.mpg"_qs)));
            ASSERT_TRUE(visit.s->GoToTimecode(s.FileChapters.value(i)));
            EXPECT_TRUE(s.Chapters.contains(visit.s->ShownTimecode));
        }
    }
}

// A time goes to the GOP nearest it; zero or unreadable times go to the start; times beyond the
// end or on a video without usable GOPs fail with a message.
TEST(SessionRuns, GoToTimecode) {
    for (const char* name : {"pal.mpg", "pal.m2v", "pal_dvd.vob", "ntsc_df.mpg", "ntsc_ndf.mpg"}) {
        SCOPED_TRACE(name);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(name))));
        EditorSession& s = *run.s;
        const std::vector<Gop> gops = GopsOf(s.VideoFile());
        for (const Gop& gop : gops) {
            if (gop.text == Zero)
                continue;
            ASSERT_TRUE(s.GoToTimecode(gop.text));
            EXPECT_EQ(s.CurrentPos, gop.pos);
            EXPECT_EQ(s.ShownTimecode, gop.text);
            EXPECT_EQ(s.ClipStartPos, gop.pos);
        }
        const double end = gops.back().seconds;
        for (double t = 0.137; t < end; t += end / 23.0) {
            const qint64 ms = std::llround(t * 1000);
            const QString tc = QStringLiteral("00:00:%1.%2")
                                   .arg(ms / 1000, 2, 10, QChar(u'0'))
                                   .arg(ms % 1000, 3, 10, QChar(u'0'));
            ASSERT_TRUE(s.GoToTimecode(tc)) << tc.toStdString();
            const Gop* landed = GopAt(gops, s.CurrentPos);
            ASSERT_TRUE(landed) << tc.toStdString();
            EXPECT_EQ(s.ShownTimecode, landed->text);
            double nearest = end;
            for (const Gop& g : gops)
                nearest = std::min(nearest, std::fabs(g.seconds - t));
            EXPECT_NEAR(std::fabs(landed->seconds - t), nearest, 1e-9) << tc.toStdString();
        }
        for (const char* tc : {"00:00:00.000", "not a time", ""}) {
            s.NextGopStep();
            ASSERT_TRUE(s.GoToTimecode(QString::fromLatin1(tc)));
            EXPECT_EQ(s.CurrentPos, 0);
            EXPECT_EQ(s.ShownTimecode, Zero);
        }
        EXPECT_TRUE(run.messages.messages.empty());
    }
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    EXPECT_FALSE(run.s->GoToTimecode(u"05:00:00.000"_qs));
    ASSERT_TRUE(run.s->GoToTimecode(u"00:00:11.990"_qs));
    EXPECT_EQ(run.s->CurrentPos, GlobalVars().LastGopPos);
    QTemporaryDir dir;
    QByteArray bytes = ReadAll(TestVideo(u"pal.mpg"_qs));
    bytes.replace(QByteArray::fromHex("000001B8"), QByteArray::fromHex("000001B9"));
    ASSERT_TRUE(WriteAll(dir.filePath(u"broken.mpg"_qs), bytes));
    GlobalVars().VideoFile = dir.filePath(u"broken.mpg"_qs);
    EXPECT_FALSE(run.s->GoToTimecode(u"00:00:05.000"_qs));
    EXPECT_EQ(run.messages.texts(), (QStringList{u"ERROR: Cannot find time 05:00:00.000 !!!"_qs,
                                                 u"ERROR: Cannot find time 00:00:05.000 !!!"_qs}));
}

TEST(SessionRuns, AutomaticRunMakesTheChaptersWithoutAWindow) {
    SessionRun run;
    run.Prepare(TestVideo(u"pal.mpg"_qs));
    GlobalVars().AutoMode = FlagTrue;
    GlobalVars().ChapterTimes = u"00:00:04.000,00:00:08.000"_qs;
    EXPECT_EQ(RunAutomatic(GlobalVars()), 0);
    const QByteArray cellTimes = ReadAll(run.Out(u"pal_Celltimes.txt"_qs));
    const QStringList marks = QString::fromLatin1(cellTimes).split(u"\r\n"_qs, Qt::SkipEmptyParts);
    ASSERT_EQ(marks.size(), 3);
    EXPECT_EQ(marks.first(), Zero);
    EXPECT_EQ(run.Files(), ExpectedFiles(u"pal"_qs, marks, ".bmp"));
    EXPECT_TRUE(run.messages.messages.empty());
}

} // namespace
