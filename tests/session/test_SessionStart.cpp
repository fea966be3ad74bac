#include "session/ShownSize.h"
#include "support/SessionFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

// The first picture, the captions in the chosen language, the output folder: the video's own when
// none is given (an existing probe file is left alone), the program folder when the given one takes
// no files; saving is off, with a message, when the chapter file's path is too long.
TEST(SessionStart, FirstPictureCaptionsAndOutputFolders) {
    QTemporaryDir videoDir;
    const QString video = videoDir.filePath(u"pal.mpg"_qs);
    ASSERT_TRUE(QFile::copy(Video("pal.mpg"), video));
    ASSERT_TRUE(WriteAll(videoDir.filePath(u"test###1.t#t"_qs), "keep"));
    SessionRun run;
    // A folder in the output folder whose cell-times path holds `size` characters: the folder's
    // name lies between a "/" and "/pal_Celltimes.txt" (19 characters).
    const auto folderFor = [&](int size) {
        const QString folder = run.Out(QString(size - 19 - run.outDir.path().size(), u'x'));
        return QDir().mkpath(folder) ? folder : QString();
    };
    const QString longest = folderFor(250), tooLongFor = folderFor(251);
    const QString tooLong = u"Path/filename to long! Max. 235 characters."_qs;
    const struct {
        QString outDir, settled;
        bool german, allowed;
        const char* save;
        QStringList messages = {};
    } rows[] = {
        {run.outDir.path(), run.outDir.path(), false, true, "Save image+chapter"},
        {QString(), videoDir.path(), true, true, "Bild+Kapitel speichern"},
        {u"/proc"_qs, run.appDir.path(), false, true, "Save image+chapter"},
        {longest, longest, false, true, "Save image+chapter"},
        {tooLongFor, tooLongFor, false, false, "Save Current", {tooLong}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.outDir.toStdString());
        run.messages.messages.clear();
        run.Prepare(video);
        GlobalVars().OutDir = r.outDir;
        SetLangBase(r.german ? 2000 : 1000);
        ASSERT_TRUE(run.Start());
        EditorSession& s = *run.s;
        EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(video, 0));
        EXPECT_EQ(s.Caption, video + u"   OutDir="_qs + r.settled);
        EXPECT_EQ(s.SaveCaption, r.save);
        EXPECT_EQ(s.SaveAsCaption,
                  r.german ? "Als 00:00:00.000 erstellen" : "Save as 00:00:00.000");
        EXPECT_EQ(s.CellTimesPath, r.settled + u"/pal_Celltimes.txt"_qs);
        EXPECT_EQ(run.messages.texts(), r.messages);
        EXPECT_EQ(s.SaveEnabled(), r.allowed);
        EXPECT_EQ(s.CreateEnabled(), r.allowed);
        s.SetNoChapter(true);
        s.SetUseOffset(true);
        EXPECT_EQ(s.SaveEnabled(), r.allowed);
        EXPECT_EQ(s.CreateEnabled(), r.allowed);
    }
    EXPECT_EQ(ReadAll(videoDir.filePath(u"test###1.t#t"_qs)), "keep");
    EXPECT_EQ(FilesIn(videoDir.path()), (QStringList{u"pal.mpg"_qs, u"test###1.t#t"_qs}));
    EXPECT_TRUE(FilesIn(run.appDir.path()).isEmpty());
}

// What the start takes from an earlier run's cell-times file and from the command line.
TEST(SessionStart, EarlierChaptersAndCommandLineOptions) {
    const struct {
        QByteArray file; // the cell-times file of an earlier run; empty: none
        QStringList chapters;
        const char* times = "";
        QStringList fileChapters = {};
        int clipSeconds = 0;
        bool markOnly = false, crop = false, clips = false;
        const char* caption = "Save image+chapter";
    } rows[] = {
        {"00:05:00.000\r\n00:00:00.000\r\n", {Zero, "00:05:00.000"}},
        {"My chapters\r\n\r\n00:01:00.000,00:02:00.000\r\n", {"00:01:00.000", "00:02:00.000"}},
        {"00:00:00.000\n00:05:00.000,00:10:00.000\n", {Zero, "00:05:00.000", "00:10:00.000"}},
        {"no times here\r\n", {Zero}}, // nothing usable: the first entry stays
        {"", {}, "00:00:03.000,00:00:06.000", {Zero, "00:00:03.000", "00:00:06.000"}},
        {"", {}, "", {}, 10, true, true, true, "Set chapter mark"},
        {"", {}, "", {}, 3, false, false, true, "Save clip+chapter"},
        {"", {}, "", {}, 999},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.file.constData() << r.clipSeconds);
        SessionRun run;
        ASSERT_TRUE(r.file.isEmpty() || WriteAll(run.Out(u"pal_Celltimes.txt"_qs), r.file));
        run.Prepare(Video("pal.mpg"));
        GlobalVars().ChapterTimes = QString::fromLatin1(r.times);
        GlobalVars().ClipSeconds = r.clipSeconds;
        GlobalVars().MarkOnly = ToFlag(r.markOnly);
        GlobalVars().CropGiven = ToFlag(r.crop);
        ASSERT_TRUE(run.Start());
        const EditorSession& s = *run.s;
        EXPECT_EQ(s.Chapters, r.chapters);
        EXPECT_EQ(s.FileChapters, r.fileChapters);
        EXPECT_EQ(s.FileChaptersShown, !r.fileChapters.isEmpty());
        EXPECT_EQ(s.IconsBuilt, r.file.isEmpty());
        EXPECT_EQ(s.Clips, r.clips);
        EXPECT_EQ(s.ClipSecondsText, r.clips ? QString::number(r.clipSeconds) : u"10"_qs);
        EXPECT_EQ(s.KindsEnabled, !r.markOnly);
        EXPECT_EQ(s.Crop, r.crop);
        EXPECT_EQ(s.SaveCaption, QString::fromLatin1(r.caption));
        EXPECT_TRUE(run.messages.messages.empty());
    }
}

// Closing asks when the chapters do not start at zero; a playback is stopped first.
TEST(SessionStart, QueryUnload) {
    const struct {
        QByteArray list;
        bool playing;
        MessageResult answer;
        bool keepOpen, asked;
    } rows[] = {{"00:05:00.000\r\n", false, MessageResult::Cancel, true, true},
                {"00:05:00.000\r\n", false, MessageResult::Ok, false, true},
                {"00:00:00.000\r\n00:05:00.000\r\n", true, MessageResult::Ok, true, false},
                {"00:00:00.000\r\n00:05:00.000\r\n", false, MessageResult::Ok, false, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.list.constData() << r.playing);
        SessionRun run;
        ASSERT_TRUE(WriteAll(run.Out(u"pal_Celltimes.txt"_qs), r.list));
        ASSERT_TRUE(run.Start(Video("pal.mpg")));
        run.s->Playing = ToFlag(r.playing);
        run.messages.answers = {r.answer};
        EXPECT_EQ(run.s->QueryUnload(), r.keepOpen);
        EXPECT_EQ(run.s->Playing, FlagFalse);
        ASSERT_EQ(run.messages.messages.size(), size_t(r.asked));
        EXPECT_TRUE(!r.asked || (run.messages.messages[0].buttons == MessageButtons::OkCancel &&
                                 run.messages.texts()[0].startsWith(
                                     u"Warning: No chapter '00:00:00' created.\r\n"_qs)));
    }
}

// Playback shows at most one picture per frame period and holds the controls until Pause or Stop;
// at the end of the video it stops by itself.
TEST(SessionStart, Playback) {
    SessionRun run;
    ASSERT_TRUE(run.Start(Video("pal.mpg")));
    EditorSession& s = *run.s;
    QSignalSpy pictures(&s, &EditorSession::pictureChanged);
    QElapsedTimer clock;
    clock.start();
    s.Command2_Click();
    EXPECT_TRUE(s.ControlsHeld && !s.SaveEnabled());
    QTest::qWait(400);
    const int shown = int(pictures.count());
    const qint64 ms = clock.elapsed();
    s.Command2_Click(); // Pause
    EXPECT_FALSE(s.ControlsHeld);
    EXPECT_GE(shown, 2);
    EXPECT_LE(shown, int(ms / 40) + 1);
    QTest::qWait(100);
    EXPECT_EQ(pictures.count(), shown) << "no picture after the pause";
    s.Slider1_Change(32000);
    s.PreviousGopStep();
    s.SetClips(true);
    s.Command2_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.Playing == FlagFalse; }, 20000));
    EXPECT_TRUE(s.ControlsHeld) << "the controls wait for Stop";
    s.Command3_Click();
    EXPECT_FALSE(s.ControlsHeld || s.SaveEnabled()) << "clips start at GOPs only";
}

// Stream size, aspect, display aspect wanted => the size shown in a 720x576 picture area.
TEST(SessionStart, ShownPictureSizes) {
    const std::tuple<QSize, const char*, bool, QSize> rows[] = {
        {{720, 576}, "4:3", false, {720, 576}},  {{720, 576}, "4:3", true, {720, 540}},
        {{720, 576}, "16:9", true, {720, 405}},  {{480, 576}, "2.21:1", true, {720, 326}},
        {{352, 288}, "16:9", false, {352, 288}}, {{1920, 1080}, "1:1", true, {720, 405}},
        {{0, 576}, "4:3", true, {0, 576}},       {{720, 0}, "4:3", true, {720, 0}}};
    for (const auto& [stream, aspect, displayAspect, shown] : rows)
        EXPECT_EQ(ShownPictureSize(stream, aspect, displayAspect, {720, 576}), shown) << aspect;
}

} // namespace
