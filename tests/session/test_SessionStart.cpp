#include "support/SessionFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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
    QString deep = run.outDir.path();
    while (deep.size() < 260)
        deep += u"/folder_with_a_long_name_for_the_path_test"_qs;
    ASSERT_TRUE(QDir().mkpath(deep));
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
        {deep, deep, false, false, "Save Current", {tooLong}},
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

// Without a GOP header in its first 100000 bytes an elementary stream cannot be edited.
TEST(SessionStart, ElementaryStreamWithoutAGopHeader) {
    QByteArray bytes = ReadAll(Video("pal.m2v"));
    bytes.insert(bytes.indexOf(QByteArray::fromHex("000001B8")), QByteArray(120000, char(0xFF)));
    SessionRun run;
    ASSERT_TRUE(WriteAll(run.Out(u"nogop.m2v"_qs), bytes));
    EXPECT_FALSE(run.Start(run.Out(u"nogop.m2v"_qs)));
    EXPECT_TRUE(run.s->EndProgram);
    EXPECT_EQ(run.messages.texts(), QStringList{u"No GOP Header found"_qs});
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

// Imports fill the file-chapter list: clipboard text (a refused import keeps the list before it),
// command-line times, chapter files (unusable or hostile ones are passed over without a message).
TEST(SessionStart, Imports) {
    SessionRun run;
    ASSERT_TRUE(run.Start(Video("pal.mpg")));
    EditorSession& s = *run.s;
    const QStringList fiveTen = {Zero, "00:05:00.000", "00:10:00.000"};
    const QString wrong = u"Wrong Format!"_qs;
    const struct {
        int source; // 0 clipboard, 1 command line, 2 file
        QByteArray text;
        QStringList entries, messages;
    } rows[] = {
        {0, "5:00.120", {}, {wrong}},
        {0, "00:05:00.000\r\n00:10:00.000\r\n", fiveTen, {}},
        {0, "no time", fiveTen, {wrong}},
        {0, "xx:yy,zz:ww", {}, {}}, // entries that are not times: an empty list, shown
        {1, "00:05:00.000,00:10:00.000", fiveTen, {}},
        {1, "5:00", fiveTen, {wrong + u"\r\n5:00"_qs}},
        {2, "Chapter 1\r\n00:00:03.000\r\nChapter 2 00:00:05\r\n", {Zero, "00:00:03.000"}, {}},
        {2, "Chapter 1\r\nChapter 2 00:00:05\r\n", {Zero, "00:00:03.000"}, {}},
        {2, RandomBytes(200000, 4711), {Zero, "00:00:03.000"}, {}},
        {2, "00:00:01.000," + QByteArray(1 << 20, '9') + "\r\n", {Zero, "00:00:03.000"}, {}},
        {2, TimeLines(10000), {Zero, "00:00:03.000"}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text.left(40).constData());
        run.messages.messages.clear();
        if (r.source == 0)
            s.ImportClipboardText(QString::fromLatin1(r.text));
        GlobalVars().ChapterTimes = QString::fromLatin1(r.text);
        if (r.source == 1)
            s.ImportChapterList();
        if (r.source == 2 && WriteAll(run.Out(u"film.txt"_qs), r.text))
            s.ImportChapterFile(run.Out(u"film.txt"_qs));
        EXPECT_EQ(s.FileChapters, r.entries);
        EXPECT_EQ(run.messages.texts(), r.messages);
    }
    EXPECT_EQ(s.Chapters, QStringList());
    s.ImportChapterFile(run.Out(u"gone.txt"_qs));
    EXPECT_EQ(run.messages.texts(), QStringList{u"File not found"_qs});
    s.DeleteFileChapter(Zero);
    EXPECT_EQ(s.FileChapters, QStringList{u"00:00:03.000"_qs});
}

// Playback shows at most one picture per frame period (25 a second where the rate is unusable),
// holds the controls until Pause or Stop, and stops by itself at the end of the video.
TEST(SessionStart, Playback) {
    const struct {
        const char* video;
        float frameRate; // 0: as scanned
        double periodMs;
    } rows[] = {{"pal.mpg", 0, 40.0}, {"ntsc_df.mpg", 0, 1001.0 / 30.0}, {"pal_dvd.vob", -1, 40.0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(Video(r.video)));
        EditorSession& s = *run.s;
        if (r.frameRate != 0)
            GlobalVars().FrameRate = r.frameRate;
        QSignalSpy pictures(&s, &EditorSession::pictureChanged);
        QElapsedTimer clock;
        clock.start();
        s.Command2_Click();
        EXPECT_TRUE(s.ControlsHeld);
        EXPECT_FALSE(s.SaveEnabled());
        QTest::qWait(400);
        const int shown = int(pictures.count());
        const qint64 ms = clock.elapsed();
        s.Command2_Click(); // Pause
        EXPECT_FALSE(s.ControlsHeld);
        EXPECT_GE(shown, 2);
        EXPECT_LE(shown, int(ms / r.periodMs) + 1);
        QTest::qWait(100);
        EXPECT_EQ(pictures.count(), shown) << "no picture after the pause";
        EXPECT_TRUE(s.SaveEnabled());
        s.Slider1_Change(32000);
        s.PreviousGopStep();
        s.SetClips(true);
        s.Command2_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.Playing == FlagFalse; }, 20000));
        EXPECT_TRUE(s.ControlsHeld) << "the controls wait for Stop";
        s.Command3_Click();
        EXPECT_FALSE(s.ControlsHeld);
        EXPECT_FALSE(s.SaveEnabled()) << "clips start at GOPs only";
    }
}

} // namespace
