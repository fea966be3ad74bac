#include "chapters/ChapterFileImport.h"
#include "chapters/ChapterFormats.h"
#include "support/SessionFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The session on pal.mpg two GOP steps in, past the first GOP.
struct SavingRun : SessionRun {
    SavingRun() {
        started = Start(Video("pal.mpg"));
        for (int n = 0; started && n < 2; ++n)
            s->NextGopStep();
    }
    bool started = false;
};

// One press in every save mode: the mark and the files it makes, in the program folder (the list
// without the video's stem) where the output folder takes nothing, reported where neither does.
TEST(SessionSave, OutcomeTable) {
    const struct {
        bool markOnly, noMark, saveAs, atGopStart, clips, markAdded;
        const char* name; // after "pal_", '*' for the shown timecode; "" none
        int folders = 0;  // 1: only the program folder takes files, 2: neither does
    } rows[] = {
        {1, 0, 0, 1, 0, 1, ""},         {1, 0, 0, 0, 0, 0, ""},
        {0, 0, 0, 1, 0, 1, "*.bmp"},    {0, 0, 0, 0, 0, 0, "NC_*.bmp"},
        {0, 1, 0, 1, 0, 0, "NC_*.bmp"}, {0, 1, 1, 1, 0, 0, "00_00_00.000.bmp"},
        {0, 0, 0, 1, 1, 1, "*.vob"},    {0, 0, 0, 0, 1, 0, "NC_*.vob"},
        {0, 1, 0, 1, 1, 0, "NC_*.vob"}, {0, 1, 1, 0, 1, 0, "00_00_00.000.vob"},
        {0, 0, 0, 1, 0, 1, "*.bmp", 1}, {0, 1, 0, 1, 1, 0, "NC_*.vob", 1},
        {0, 0, 0, 1, 0, 1, "*.bmp", 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.markOnly << r.noMark << r.saveAs << r.atGopStart << r.clips << r.folders);
        SavingRun run;
        ASSERT_TRUE(run.started);
        EditorSession& s = *run.s;
        if (!r.atGopStart)
            s.NextPictureStep();
        if (r.folders) {
            GlobalVars().OutDir = u"/proc/cueboard-missing"_qs;
            s.CellTimesPath = GlobalVars().OutDir + u"/pal_Celltimes.txt"_qs;
        }
        if (r.folders == 2)
            GlobalVars().AppPath = u"/proc/cueboard-missing-too"_qs;
        const QString shown = s.ShownTimecode;
        s.SetClips(r.clips);
        s.SetChapterOnly(r.markOnly);
        s.SetNoChapter(r.noMark);
        if (r.saveAs) {
            s.SelectChapter(u"00:00:00.000"_qs);
            s.SetSaveAsZero(true);
        }
        s.SaveCurrent();
        QStringList names, failed, texts; // names as in the output folder
        if (r.markAdded)
            names << u"pal_Celltimes.txt"_qs;
        if (*r.name)
            names << u"pal_"_qs + QString::fromLatin1(r.name).replace(u'*', Mark(shown));
        for (const QString& name : r.folders == 2 ? std::exchange(names, {}) : QStringList()) {
            failed << GlobalVars().OutDir + u'/' + name;
            texts << u"Could not write "_qs + failed.last();
        }
        if (r.folders == 1 && r.markAdded)
            names[0] = u"Celltimes.txt"_qs;
        names.sort();
        EXPECT_EQ(FilesIn(r.folders == 1 ? run.appDir.path() : run.outDir.path()), names);
        EXPECT_TRUE(FilesIn(r.folders == 1 ? run.outDir.path() : run.appDir.path()).isEmpty());
        EXPECT_EQ(
            ReadAll(r.folders == 1 ? run.appDir.filePath(u"Celltimes.txt"_qs) : s.CellTimesPath),
            CellTimesOf(r.folders == 2 ? QStringList() : s.Chapters));
        EXPECT_EQ(s.SaveFailures, failed);
        EXPECT_EQ(run.messages.texts(), texts);
        EXPECT_EQ(s.Chapters, r.markAdded ? QStringList{shown} : QStringList());
        ASSERT_EQ(s.Marks.size(), size_t(r.markAdded));
        EXPECT_TRUE(!r.markAdded || s.Marks[0].sliderValue == s.SliderValue);
        EXPECT_FALSE(s.SaveAsZero);
    }
}

// Where the timecode is unknown ("???") nothing is saved: a long stretch without GOP headers, and
// a time-code reset below the first GOP's time with the offset on.
TEST(SessionSave, NothingIsSavedWhereTheTimecodeIsUnknown) {
    const QByteArray pal = ReadAll(Video("pal.m2v"));
    const qsizetype middleGop = pal.indexOf(QByteArray::fromHex("000001B8"), pal.size() / 2);
    QTemporaryDir dir;
    const QByteArray zeros(6 * 1024 * 1024, '\0');
    ASSERT_TRUE(
        WriteAll(dir.filePath(u"gap.m2v"_qs), pal.left(middleGop) + zeros + pal.mid(middleGop)));
    ASSERT_TRUE(WriteAll(dir.filePath(u"reset.m2v"_qs), ReadAll(Video("tc10h.m2v")) + pal));
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        SessionRun run;
        ASSERT_TRUE(run.Start(dir.filePath(reset ? u"reset.m2v"_qs : u"gap.m2v"_qs)));
        EditorSession& s = *run.s;
        s.SetClips(!reset);
        if (reset)
            s.SetUseOffset(true);
        for (int n = 0; reset && n < 100 && s.ShownTimecode != u"???"; ++n)
            s.NextGopStep();
        if (!reset)
            s.Slider1_Change(int((middleGop + zeros.size() / 2) / s.BytesPerStep));
        ASSERT_EQ(s.ShownTimecode, u"???"_qs);
        EXPECT_FALSE(s.SaveEnabled());
        s.SaveCurrent();
        EXPECT_TRUE(run.Files().isEmpty());
        EXPECT_TRUE(FilesIn(run.appDir.path()).isEmpty());
        EXPECT_EQ(s.Chapters, QStringList());
        s.Slider1_Change(0);
        s.NextGopStep();
        EXPECT_TRUE(s.SaveEnabled()) << s.ShownTimecode.toStdString();
    }
}

// Crop and single field shape the saved bitmap; margins wider than the picture save it whole.
TEST(SessionSave, CroppedAndSingleFieldBitmaps) {
    SavingRun run;
    ASSERT_TRUE(run.started);
    EditorSession& s = *run.s;
    const QImage frame = s.Picture().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(frame.size(), QSize(720, 576));
    QImage doubled = frame;
    for (int y = 1; y < 576; y += 2)
        std::copy_n(frame.constScanLine(y - 1), 720 * 3, doubled.scanLine(y));
    s.SetNoChapter(true);
    const QString name = run.Out(u"pal_NC_"_qs + Mark(s.ShownTimecode) + u".bmp"_qs);
    const struct {
        bool crop, singleField;
        int leftRight;
        QImage saved;
    } rows[] = {{true, false, 8, frame.copy(8, 8, 704, 560)},
                {false, true, 8, doubled},
                {true, false, 500, frame}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.crop << r.singleField << r.leftRight);
        QFile::remove(name);
        GlobalVars().CropTop = GlobalVars().CropBottom = 8;
        GlobalVars().CropLeft = GlobalVars().CropRight = r.leftRight;
        s.SetCrop(r.crop);
        s.SetSingleField(r.singleField);
        s.SaveCurrent();
        EXPECT_EQ(ReadAll(name).mid(28, 2), QByteArray("\x18\0", 2)); // 24 bits per pixel
        EXPECT_EQ(QImage(name).convertToFormat(QImage::Format_RGB888), r.saved);
    }
}

// A clip is the source's bytes from the pack before the shown GOP's sequence header (an elementary
// stream's from the GOP, behind the stream's header), as long as asked at the video's rate, also
// above 4 GiB in a sparse 5 GiB VOB whose end starts at 10:00:00; a stale index file goes. Names
// keep the dots of the stem.
TEST(SessionSave, ClipsAreCutFromTheShownGop) {
    QTemporaryDir dir;
    ASSERT_TRUE(MakeSparseFile(dir.filePath(u"a.b.big.vob"_qs), qint64(5) << 30,
                               ReadAll(Video("pal_dvd.vob")), ReadAll(Video("tc10h.vob"))));
    const auto bytesAt = [](const QString& path, qint64 pos, qint64 size) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.seek(pos) ? file.read(size) : QByteArray();
    };
    for (const char* name : {"pal.mpg", "pal.m2v", "big.vob", "ntsc_df.mpg"}) {
        SCOPED_TRACE(name);
        const QString video = dir.filePath(u"a.b."_qs + QString::fromLatin1(name));
        ASSERT_TRUE(QFile::exists(video) || QFile::copy(Video(name), video));
        SessionRun run;
        ASSERT_TRUE(run.Start(video));
        EditorSession& s = *run.s;
        EXPECT_EQ(s.FileLength, QFileInfo(video).size());
        s.Slider1_Change(32000);
        const qint64 last = s.CurrentPos;
        EXPECT_EQ(last, GlobalVars().LastGopPos);
        s.PreviousGopStep();
        EXPECT_LT(s.CurrentPos, last);
        EXPECT_GT(s.CurrentPos, s.FileLength * 9 / 10);
        const QString time = video.endsWith(u"big.vob") ? u"10:00:02.000"_qs : u"00:00:02.000"_qs;
        ASSERT_TRUE(s.GoToTimecode(time));
        EXPECT_TRUE(s.ShownTimecode.startsWith(time.left(7))) << s.ShownTimecode.toStdString();
        EXPECT_EQ(s.SliderValue, int(double(s.CurrentPos) / s.BytesPerStep));
        const qint64 gop = s.ClipStartPos - 1;
        s.SetClips(true);
        s.SetClipSecondsText(u"2"_qs);
        const QString stem = u"a.b."_qs + QString::fromLatin1(name).section(u'.', 0, 0);
        const QString clipName = stem + u'_' + Mark(s.ShownTimecode) + u".vob"_qs;
        ASSERT_TRUE(WriteAll(run.Out(clipName).replace(u".vob"_qs, u".d2v"_qs), "old index"));
        s.SaveCurrent();
        EXPECT_EQ(run.Files(), (QStringList{clipName, stem + u"_Celltimes.txt"_qs}));
        const QByteArray clip = ReadAll(run.Out(clipName));
        ASSERT_FALSE(clip.isEmpty());
        if (video.endsWith(u".m2v")) {
            const QByteArray head = bytesAt(video, 0, 100000);
            const QByteArray header = head.left(head.indexOf(QByteArray::fromHex("000001B8")));
            EXPECT_EQ(clip, header + bytesAt(video, gop, clip.size() - header.size()));
        } else {
            const QByteArray before = bytesAt(video, gop - 100000, 100000);
            const qsizetype seq = before.lastIndexOf(QByteArray::fromHex("000001B3"));
            ASSERT_GE(seq, 0);
            const qint64 pack =
                gop - 100000 + before.lastIndexOf(QByteArray::fromHex("000001BA"), seq);
            EXPECT_EQ(clip, bytesAt(video, pack, clip.size()));
        }
        // 2 s at the video's rate and the pictures the mux puts ahead, but not a second more.
        const qint64 pictures = DecodedPictures(run.Out(clipName));
        const qint64 asked = std::lround(2 * GlobalVars().FrameRate);
        EXPECT_TRUE(pictures >= asked + 15 && pictures <= asked + 30) << pictures;
        EXPECT_TRUE(s.SaveFailures.isEmpty());
        EXPECT_TRUE(run.messages.messages.empty());
    }
}

// Marks are kept once and sorted; delete removes a chapter, its icon and files and rewrites the
// list (the last one removes it). A click on a chapter retargets "Save as" only with "No Mark".
TEST(SessionSave, MarksDeleteAndSelect) {
    SavingRun run;
    ASSERT_TRUE(run.started);
    EditorSession& s = *run.s;
    s.NextGopStep();
    s.SaveCurrent();
    const QString middle = s.ShownTimecode, base = run.Out(u"pal_"_qs + Mark(middle));
    ASSERT_TRUE(QFile::remove(base + u".bmp"_qs));
    s.SaveCurrent();
    ASSERT_EQ(run.messages.texts(), QStringList{u"Chapter already defined!"_qs});
    EXPECT_EQ(run.messages.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(base + u".bmp"_qs));
    s.NextGopStep();
    const QString later = s.ShownTimecode;
    s.SaveCurrent();
    for (int n = 0; n < 3; ++n)
        s.PreviousGopStep();
    const QString earlier = s.ShownTimecode;
    s.SaveCurrent();
    EXPECT_EQ(s.Chapters, (QStringList{earlier, middle, later}));
    EXPECT_EQ(ReadAll(s.CellTimesPath), CellTimesOf(s.Chapters));
    ASSERT_TRUE(WriteAll(base + u".vob"_qs, "clip") && WriteAll(base + u".d2v"_qs, "index") &&
                WriteAll(base + u".bmp"_qs, "image"));
    s.DeleteChapter(middle);
    ASSERT_TRUE(WriteAll(base + u".bmp"_qs, "image"));
    s.DeleteChapter(middle); // no longer listed: its files stay
    EXPECT_TRUE(QFile::remove(base + u".bmp"_qs));
    EXPECT_EQ(s.Chapters, (QStringList{earlier, later}));
    ASSERT_EQ(s.Marks.size(), 2u);
    EXPECT_EQ(s.Marks[0].timecode, later);
    EXPECT_EQ(ReadAll(s.CellTimesPath), CellTimesOf({earlier, later}));
    QFile::remove(run.Out(u"pal_"_qs + Mark(later) + u".bmp"_qs));
    s.DeleteChapter(earlier);
    s.DeleteChapter(later);
    EXPECT_TRUE(s.Chapters.isEmpty());
    EXPECT_TRUE(run.Files().isEmpty());
    EXPECT_EQ(run.messages.messages.size(), 1u);
    s.SelectChapter(u"00:05:00.120"_qs);
    EXPECT_EQ(s.SaveAsTarget, "00:00:00.000");
    s.SetNoChapter(true);
    s.SelectChapter(u"00:05:00.120"_qs);
    EXPECT_EQ(s.SaveAsTarget, "00:05:00.120");
    EXPECT_EQ(s.SaveAsCaption, "Save as 00:05:00.120");
}

} // namespace
