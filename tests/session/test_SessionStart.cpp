#include "session/AutoRun.h"
#include "support/SessionFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

TEST(SessionStart, TheStartShowsTheFirstPictureAndSettlesTheOptions) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    const EditorSession& s = *run.s;
    EXPECT_EQ(s.Picture().size(), QSize(720, 576));
    EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), 0));
    EXPECT_EQ(s.ShownTimecode, Zero);
    EXPECT_EQ(s.CurrentTimecode, Zero);
    EXPECT_EQ(s.FirstGopTimecode, Zero);
    EXPECT_EQ(s.CurrentPos, 0);
    EXPECT_EQ(s.AtGopStart, FlagTrue);
    EXPECT_EQ(s.SaveAllowed, FlagTrue);
    EXPECT_EQ(s.FileLength, QFileInfo(s.VideoFile()).size());
    EXPECT_DOUBLE_EQ(s.BytesPerStep, double(s.FileLength) / 32000);
    EXPECT_EQ(s.Caption, s.VideoFile() + u"   OutDir="_qs + run.outDir.path());
    EXPECT_EQ(s.SaveCaption, "Save image+chapter");
    EXPECT_EQ(s.SaveAsCaption, "Save as 00:00:00.000");
    EXPECT_EQ(s.Chapters, QStringList());
    EXPECT_FALSE(s.OffsetVisible);
    EXPECT_EQ(s.CellTimesPath, run.Out(u"pal_Celltimes.txt"_qs));
    EXPECT_TRUE(run.messages.messages.empty());

    SessionRun german;
    german.Prepare(TestVideo(u"pal.mpg"_qs));
    SetLangBase(2000);
    ASSERT_TRUE(german.Start());
    EXPECT_EQ(german.s->SaveAsCaption, "Als 00:00:00.000 erstellen");
    EXPECT_EQ(german.s->SaveCaption, "Bild+Kapitel speichern");
}

// The output folder: the video's own when none is given (the write probe leaves an existing
// probe file alone), the program folder when the given one takes no files, and saving off with a
// message when the chapter file's path is too long (no message in an automatic run, which fails).
TEST(SessionStart, OutputFolders) {
    QTemporaryDir videoDir;
    const QString video = videoDir.filePath(u"pal.mpg"_qs);
    ASSERT_TRUE(QFile::copy(TestVideo(u"pal.mpg"_qs), video));
    ASSERT_TRUE(WriteAll(videoDir.filePath(u"test###1.t#t"_qs), "keep"));
    SessionRun run;
    QString deep = run.outDir.path();
    while (deep.size() < 260)
        deep += u"/folder_with_a_long_name_for_the_path_test"_qs;
    ASSERT_TRUE(QDir().mkpath(deep));
    const struct {
        QString outDir;
        QString settled;
        bool allowed;
        QStringList messages;
    } rows[] = {
        {QString(), videoDir.path(), true, {}},
        {u"/proc"_qs, run.appDir.path(), true, {}},
        {deep, deep, false, {u"Path/filename to long! Max. 235 characters."_qs}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.outDir.toStdString());
        run.messages.messages.clear();
        run.Prepare(video);
        GlobalVars().OutDir = r.outDir;
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(GlobalVars().OutDir, r.settled);
        EXPECT_EQ(run.s->CellTimesPath, r.settled + u"/pal_Celltimes.txt"_qs);
        EXPECT_EQ(run.s->SaveAllowed, r.allowed ? FlagTrue : FlagFalse);
        EXPECT_EQ(run.s->PathTooLong, r.allowed ? FlagFalse : FlagTrue);
        EXPECT_EQ(run.s->SaveEnabled(), r.allowed);
        EXPECT_EQ(run.s->CreateEnabled(), r.allowed);
        EXPECT_EQ(run.messages.texts(), r.messages);
        run.s->SetNoChapter(true);
        EXPECT_EQ(run.s->SaveEnabled(), r.allowed);
    }
    EXPECT_EQ(ReadAll(videoDir.filePath(u"test###1.t#t"_qs)), "keep");
    EXPECT_EQ(FilesIn(videoDir.path()), (QStringList{u"pal.mpg"_qs, u"test###1.t#t"_qs}));
    EXPECT_TRUE(FilesIn(run.appDir.path()).isEmpty());

    run.messages.messages.clear();
    run.Prepare(video);
    GlobalVars().OutDir = deep;
    GlobalVars().AutoMode = FlagTrue;
    EXPECT_EQ(RunAutomatic(GlobalVars()), 3);
    EXPECT_EQ(run.messages.texts(), QStringList{u"Sorry, automatic failed"_qs});
}

// An elementary stream keeps the bytes before its first GOP header for clips; without a GOP
// header in its first 100000 bytes the program ends.
TEST(SessionStart, ElementaryStreamHeaders) {
    const QByteArray file = ReadAll(TestVideo(u"pal.m2v"_qs));
    const qsizetype gop = file.indexOf(QByteArray::fromHex("000001B8"));
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.m2v"_qs)));
    EXPECT_EQ(GlobalVars().StreamHeader, file.left(gop));

    QByteArray bytes = file;
    bytes.insert(gop, QByteArray(120000, char(0xFF)));
    QTemporaryDir dir;
    ASSERT_TRUE(WriteAll(dir.filePath(u"nogop.m2v"_qs), bytes));
    SessionRun none;
    EXPECT_FALSE(none.Start(dir.filePath(u"nogop.m2v"_qs)));
    EXPECT_TRUE(none.s->EndProgram);
    EXPECT_EQ(none.messages.texts(), QStringList{u"No GOP Header found"_qs});
}

TEST(SessionStart, ChaptersOfAnEarlierRunAndOfTheCommandLine) {
    const struct {
        QByteArray file; // the cell-times file of an earlier run; empty: none
        const char* times;
        QStringList chapters, fileChapters;
    } rows[] = {
        {"00:00:00.000\r\n00:05:00.000\r\n", "", {Zero, "00:05:00.000"}, {}},
        {"My chapters\r\n\r\n00:01:00.000,00:02:00.000\r\n",
         "",
         {"00:01:00.000", "00:02:00.000"},
         {}},
        {"00:00:00.000\n00:05:00.000,00:10:00.000\n",
         "",
         {Zero, "00:05:00.000", "00:10:00.000"},
         {}},
        {"no times here\r\n", "", {Zero}, {}}, // nothing usable: the first entry stays
        {"", "00:00:03.000,00:00:06.000", {}, {Zero, "00:00:03.000", "00:00:06.000"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file.constData());
        SessionRun run;
        if (!r.file.isEmpty()) {
            ASSERT_TRUE(WriteAll(run.Out(u"pal_Celltimes.txt"_qs), r.file));
        }
        run.Prepare(TestVideo(u"pal.mpg"_qs));
        GlobalVars().ChapterTimes = QString::fromLatin1(r.times);
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(run.s->Chapters, r.chapters);
        EXPECT_EQ(run.s->FileChapters, r.fileChapters);
        EXPECT_EQ(run.s->FileChaptersShown, !r.fileChapters.isEmpty());
        EXPECT_EQ(run.s->IconsBuilt, r.file.isEmpty());
        EXPECT_TRUE(run.messages.messages.empty());
    }
}

// A stream that does not start at zero shows its raw times and saves nothing until the offset is
// used.
TEST(SessionStart, StreamNotStartingAtZeroNeedsTheOffset) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"tc10h.m2v"_qs)));
    EditorSession& s = *run.s;
    const struct {
        bool offset;
        const char* shown;
        bool allowed;
        const char* caption;
    } rows[] = {{false, "10:00:00.000", false, "Save image"},
                {true, "00:00:00.000", true, "Save image+chapter"},
                {false, "10:00:00.000", false, "Save image"}};
    for (const auto& r : rows) {
        s.SetUseOffset(r.offset);
        EXPECT_TRUE(s.OffsetVisible);
        EXPECT_EQ(s.ShownTimecode, QString::fromLatin1(r.shown));
        EXPECT_EQ(s.SaveAllowed, r.allowed ? FlagTrue : FlagFalse);
        EXPECT_EQ(s.CreateEnabled(), r.allowed);
        EXPECT_EQ(s.ListsLocked(), !r.offset);
        EXPECT_EQ(s.SaveCaption, QString::fromLatin1(r.caption));
    }
    // Locked lists ignore visits.
    const qint64 before = s.CurrentPos;
    s.VisitChapter(u"10:00:01.000"_qs);
    EXPECT_EQ(s.CurrentPos, before);
    EXPECT_TRUE(run.messages.messages.empty());
}

// Command-line options set the save controls; clip lengths out of range leave the design.
TEST(SessionStart, CommandLineOptions) {
    const struct {
        int clipSeconds;
        bool markOnly, crop;
        bool clips;
        const char* seconds;
        const char* caption;
    } rows[] = {{10, true, true, true, "10", "Set chapter mark"},
                {3, false, false, true, "3", "Save clip+chapter"},
                {0, false, false, false, "10", "Save image+chapter"},
                {999, false, false, false, "10", "Save image+chapter"},
                {5000, false, false, false, "10", "Save image+chapter"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.clipSeconds);
        SessionRun run;
        run.Prepare(TestVideo(u"pal.mpg"_qs));
        GlobalVars().ClipSeconds = r.clipSeconds;
        GlobalVars().MarkOnly = r.markOnly ? FlagTrue : FlagFalse;
        GlobalVars().CropGiven = r.crop ? FlagTrue : FlagFalse;
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(run.s->Clips, r.clips);
        EXPECT_EQ(run.s->ClipSecondsText, QString::fromLatin1(r.seconds));
        EXPECT_EQ(run.s->ChapterOnly, r.markOnly);
        EXPECT_EQ(run.s->KindsEnabled, !r.markOnly);
        EXPECT_EQ(run.s->Crop, r.crop);
        EXPECT_EQ(run.s->SaveCaption, QString::fromLatin1(r.caption));
    }
}

// Closing asks when the chapters do not start at zero; a playback is stopped first.
TEST(SessionStart, QueryUnload) {
    const struct {
        QByteArray list;
        bool playing;
        MessageResult answer;
        bool keepOpen;
        int messages;
    } rows[] = {{"00:05:00.000\r\n", false, MessageResult::Cancel, true, 1},
                {"00:05:00.000\r\n", false, MessageResult::Ok, false, 1},
                {"00:00:00.000\r\n00:05:00.000\r\n", true, MessageResult::Ok, true, 0},
                {"00:00:00.000\r\n00:05:00.000\r\n", false, MessageResult::Ok, false, 0}};
    for (const auto& r : rows) {
        SessionRun run;
        ASSERT_TRUE(WriteAll(run.Out(u"pal_Celltimes.txt"_qs), r.list));
        ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
        run.s->Playing = r.playing ? FlagTrue : FlagFalse;
        run.messages.answers = {r.answer};
        EXPECT_EQ(run.s->QueryUnload(), r.keepOpen) << r.list.constData() << r.playing;
        EXPECT_EQ(run.s->Playing, FlagFalse);
        ASSERT_EQ(int(run.messages.messages.size()), r.messages);
        if (r.messages) {
            const MessageRequest& m = run.messages.messages[0];
            EXPECT_EQ(m.buttons, MessageButtons::OkCancel);
            EXPECT_EQ(m.text.split(u"\r\n"_qs).size(), 3);
            EXPECT_TRUE(m.text.startsWith(u"Warning: No chapter '00:00:00' created."_qs));
        }
    }
}

// Imports fill the file-chapter list: clipboard text (a refused import keeps the list before
// it), command-line times, chapter files.
TEST(SessionStart, Imports) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    EditorSession& s = *run.s;
    const QStringList fiveTen = {Zero, "00:05:00.000", "00:10:00.000"};
    const struct {
        const char* text;
        bool accepted;
        QStringList entries;
    } clipboard[] = {
        {"5:00.120", false, {}},
        {"", false, {}},
        {"00:05:00.000\r\n00:10:00.000\r\n", true, fiveTen},
        {"no time", false, fiveTen},
        {"00:05:00.120", true, {Zero, "00:05:00.120"}},
        {"xx:yy,zz:ww", true, {}}, // entries that are not times: an empty list, shown
    };
    for (const auto& c : clipboard) {
        run.messages.messages.clear();
        s.ImportClipboardText(QString::fromLatin1(c.text));
        EXPECT_EQ(run.messages.texts(),
                  c.accepted ? QStringList() : QStringList{u"Wrong Format!"_qs})
            << c.text;
        EXPECT_EQ(s.FileChapters, c.entries) << c.text;
        EXPECT_EQ(s.FileChaptersShown, c.accepted || !c.entries.isEmpty()) << c.text;
    }
    EXPECT_EQ(s.Chapters, QStringList());

    const struct {
        const char* times;
        QStringList entries; // empty: refused
    } commandLine[] = {{"00:05:00.000,00:10:00.000", {Zero, "00:05:00.000", "00:10:00.000"}},
                       {"00:05:00.120", {Zero, "00:05:00.120"}},
                       {"5:00", {}},
                       {"00:05:00.000;00:10:00.000", {}}};
    for (const auto& c : commandLine) {
        run.messages.messages.clear();
        s.FileChapters.clear();
        GlobalVars().ChapterTimes = QString::fromLatin1(c.times);
        s.ImportChapterList();
        EXPECT_EQ(s.FileChapters, c.entries) << c.times;
        EXPECT_EQ(run.messages.texts(), c.entries.isEmpty() ? QStringList{u"Wrong Format!\r\n"_qs +
                                                                          QLatin1String(c.times)}
                                                            : QStringList())
            << c.times;
    }

    const struct {
        const char* what;
        QByteArray bytes;
        QStringList entries; // empty: nothing imported
    } files[] = {
        {"one time", "00:00:05.000\r\n", {Zero, "00:00:05.000"}},
        {"LF lines", "00:00:02.000\n00:00:04.000\n", {Zero, "00:00:02.000", "00:00:04.000"}},
        {"words around times",
         "Chapter 1\r\n00:00:03.000\r\nChapter 2 00:00:05\r\n00:00:06.000\r\n",
         {Zero, "00:00:03.000", "00:00:06.000"}},
        {"words only", "Chapter 1\r\nChapter 2 00:00:05\r\n", {}},
        {"binary garbage", RandomBytes(200000, 4711), {}},
        {"one line of 1 MB", "00:00:01.000," + QByteArray(1 << 20, '9') + "\r\n", {}},
        {"10000 entries", TimeLines(10000), {}},
    };
    for (const auto& c : files) {
        s.FileChapters.clear();
        run.messages.messages.clear();
        ASSERT_TRUE(WriteAll(run.Out(u"film.txt"_qs), c.bytes));
        s.ImportChapterFile(run.Out(u"film.txt"_qs));
        EXPECT_EQ(s.FileChapters, c.entries) << c.what;
        EXPECT_TRUE(run.messages.messages.empty()) << c.what;
    }
    s.ImportChapterFile(run.Out(u"gone.txt"_qs));
    EXPECT_EQ(run.messages.texts(), QStringList{u"File not found"_qs});
    s.ImportClipboardText(u"00:00:05.000"_qs);
    s.DeleteFileChapter(Zero);
    EXPECT_EQ(s.FileChapters, QStringList{u"00:00:05.000"_qs});
}

// Playback shows at most one picture per frame period (25 a second where the rate is unusable),
// holds the controls until Pause or Stop, and stops by itself at the end of the video.
TEST(SessionStart, Playback) {
    const struct {
        const char* video;
        float frameRate; // 0: as scanned
        double periodMs;
    } rows[] = {{"pal.mpg", 0, 40.0}, {"ntsc_df.mpg", 0, 1001.0 / 30.0}, {"pal.m2v", -1, 40.0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(r.video))));
        EditorSession& s = *run.s;
        if (r.frameRate != 0)
            GlobalVars().FrameRate = r.frameRate;
        QSignalSpy pictures(&s, &EditorSession::pictureChanged);
        QElapsedTimer clock;
        clock.start();
        s.Command2_Click();
        EXPECT_EQ(s.Playing, FlagTrue);
        EXPECT_TRUE(s.ControlsHeld);
        EXPECT_FALSE(s.SaveEnabled());
        EXPECT_FALSE(s.CreateEnabled());
        QTest::qWait(600);
        const int shown = int(pictures.count());
        const qint64 ms = clock.elapsed();
        s.Command2_Click(); // Pause
        EXPECT_EQ(s.Playing, FlagFalse);
        EXPECT_FALSE(s.ControlsHeld);
        EXPECT_GE(shown, 2);
        EXPECT_LE(shown, int(ms / r.periodMs) + 1);
        QTest::qWait(100);
        EXPECT_EQ(pictures.count(), shown) << "no picture after the pause";
        EXPECT_EQ(s.AtGopStart, FlagFalse);
        EXPECT_TRUE(s.SaveEnabled());
        EXPECT_EQ(s.SaveCaption, "Save image");
    }
    for (const char* video : {"pal.mpg", "pal_dvd.vob"}) {
        SCOPED_TRACE(video);
        SessionRun run;
        ASSERT_TRUE(run.Start(TestVideo(QString::fromLatin1(video))));
        EditorSession& s = *run.s;
        s.Slider1_Change(32000);
        s.PreviousGopStep();
        s.SetClips(true);
        s.Command2_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.Playing == FlagFalse; }, 20000));
        EXPECT_TRUE(s.ControlsHeld) << "the controls wait for Stop";
        const qint64 end = s.CurrentPos;
        s.NextPictureStep();
        EXPECT_EQ(s.CurrentPos, end) << "stopped at the last picture";
        s.Command3_Click();
        EXPECT_FALSE(s.ControlsHeld);
        EXPECT_FALSE(s.SaveEnabled()) << "clips start at GOPs only";
        EXPECT_EQ(s.SaveCaption, "Save clip");
    }
}

} // namespace
