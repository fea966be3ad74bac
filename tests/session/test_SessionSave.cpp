#include "support/SessionFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// Width, height and bits per pixel from a bitmap's header.
struct BitmapInfo {
    int width = 0, height = 0, bits = 0;
    bool operator==(const BitmapInfo&) const = default;
};
BitmapInfo ReadBitmapInfo(const QString& path) {
    const QByteArray b = ReadAll(path);
    if (b.size() < 54 || !b.startsWith("BM"))
        return {};
    const auto le = [&](int at, int n) {
        qint32 v = 0;
        for (int k = n - 1; k >= 0; --k)
            v = v << 8 | quint8(b[at + k]);
        return v;
    };
    return {le(18, 4), le(22, 4), le(28, 2)};
}

// The session on pal.mpg two GOP steps in, past the first GOP.
struct SavingRun : SessionRun {
    explicit SavingRun(const char* video = "pal.mpg") {
        started = Start(TestVideo(QString::fromLatin1(video)));
        if (started) {
            s->NextGopStep();
            s->NextGopStep();
        }
    }
    bool started = false;
};

// One press for every row of the outcome table, with images and with clips.
TEST(SessionSave, OutcomeTable) {
    const struct {
        bool markOnly, noMark, saveAs, atGopStart, clips;
        bool markAdded;
        const char* name; // "" none, else the file name after "pal_" ('*' is the shown mark)
    } rows[] = {
        {true, false, false, true, false, true, ""},
        {true, false, false, false, false, false, ""},
        {false, false, false, true, false, true, "*.bmp"},
        {false, false, false, false, false, false, "NC_*.bmp"},
        {false, true, false, true, false, false, "NC_*.bmp"},
        {false, true, true, true, false, false, "00_00_00.000.bmp"},
        {false, false, false, true, true, true, "*.vob"},
        {false, false, false, false, true, false, "NC_*.vob"},
        {false, true, false, true, true, false, "NC_*.vob"},
        {false, true, true, false, true, false, "00_00_00.000.vob"},
    };
    for (const auto& r : rows) {
        const std::string row = std::to_string(r.markOnly) + std::to_string(r.noMark) +
                                std::to_string(r.saveAs) + std::to_string(r.atGopStart) +
                                std::to_string(r.clips);
        SavingRun run;
        ASSERT_TRUE(run.started);
        EditorSession& s = *run.s;
        if (!r.atGopStart)
            s.NextPictureStep();
        const QString shown = s.ShownTimecode;
        s.SetClips(r.clips);
        s.SetChapterOnly(r.markOnly);
        s.SetNoChapter(r.noMark);
        if (r.saveAs) {
            s.SelectChapter(QStringLiteral("00:00:00.000"));
            s.SetSaveAsZero(true);
        }
        s.SaveCurrent();

        QStringList expected;
        if (r.markAdded)
            expected << QStringLiteral("pal_Celltimes.txt");
        if (*r.name)
            expected << u"pal_"_qs + QString::fromLatin1(r.name).replace(u'*', Mark(shown));
        expected.sort();
        EXPECT_EQ(run.Files(), expected) << row;
        EXPECT_TRUE(FilesIn(run.appDir.path()).isEmpty()) << row;
        EXPECT_EQ(s.Chapters.contains(shown), r.markAdded) << row;
        if (r.markAdded) {
            EXPECT_EQ(ReadAll(run.Out(u"pal_Celltimes.txt"_qs)), CellTimesOf({shown})) << row;
            ASSERT_FALSE(s.Marks.empty()) << row;
            EXPECT_EQ(s.Marks.back().timecode, shown) << row;
            EXPECT_EQ(s.Marks.back().sliderValue, s.SliderValue) << row;
        }
        EXPECT_FALSE(s.SaveAsZero) << row;
        EXPECT_TRUE(run.messages.messages.empty()) << row;
    }
}

// Where the timecode is unknown ("???") nothing can be saved: a long stretch without GOP headers,
// and a time-code reset below the first GOP's time with the offset on.
TEST(SessionSave, NothingIsSavedWhereTheTimecodeIsUnknown) {
    const QByteArray pal = ReadAll(TestVideo(u"pal.m2v"_qs));
    const qsizetype middleGop = pal.indexOf(QByteArray::fromHex("000001B8"), pal.size() / 2);
    QTemporaryDir dir;
    const QByteArray zeros(6 * 1024 * 1024, '\0');
    ASSERT_TRUE(
        WriteAll(dir.filePath(u"gap.m2v"_qs), pal.left(middleGop) + zeros + pal.mid(middleGop)));
    ASSERT_TRUE(WriteAll(dir.filePath(u"reset.m2v"_qs), ReadAll(TestVideo(u"tc10h.m2v"_qs)) + pal));
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "time-code reset" : "no GOP header near");
        SessionRun run;
        ASSERT_TRUE(run.Start(dir.filePath(reset ? u"reset.m2v"_qs : u"gap.m2v"_qs)));
        EditorSession& s = *run.s;
        s.SetClips(!reset);
        if (reset) {
            s.SetUseOffset(true);
            for (int n = 0; n < 100 && s.ShownTimecode != u"???"; ++n)
                s.NextGopStep();
        } else {
            s.Slider1_Change(int((middleGop + zeros.size() / 2) / s.BytesPerStep));
        }
        ASSERT_EQ(s.ShownTimecode, u"???"_qs);
        EXPECT_FALSE(s.SaveEnabled());
        s.SaveCurrent();
        EXPECT_TRUE(run.Files().isEmpty());
        EXPECT_TRUE(FilesIn(run.appDir.path()).isEmpty());
        EXPECT_EQ(s.Chapters, QStringList());
        // A timecode again brings the button back.
        s.Slider1_Change(0);
        s.NextGopStep();
        EXPECT_NE(s.ShownTimecode, u"???"_qs);
        EXPECT_TRUE(s.SaveEnabled());
    }
}

TEST(SessionSave, MarksAreKeptOnceAndSortedInTheListAndTheFile) {
    SavingRun run;
    ASSERT_TRUE(run.started);
    EditorSession& s = *run.s;
    s.SaveCurrent();
    const QString first = s.ShownTimecode;
    const QString image = run.Out(u"pal_"_qs + Mark(first) + u".bmp"_qs);
    ASSERT_TRUE(QFile::remove(image));
    s.SaveCurrent();
    ASSERT_EQ(run.messages.texts(), QStringList{u"Chapter already defined!"_qs});
    EXPECT_EQ(run.messages.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(image));

    s.SetChapterOnly(true);
    s.NextGopStep();
    const QString later = s.ShownTimecode;
    s.SaveCurrent();
    s.PreviousGopStep();
    s.PreviousGopStep();
    const QString earlier = s.ShownTimecode;
    s.SaveCurrent();
    ASSERT_LT(earlier, first);
    EXPECT_EQ(s.Chapters, (QStringList{earlier, first, later}));
    EXPECT_EQ(ReadAll(run.Out(u"pal_Celltimes.txt"_qs)), CellTimesOf({earlier, first, later}));
}

// Crop and single field shape the saved bitmap; margins larger than the picture save it whole.
TEST(SessionSave, CroppedAndSingleFieldBitmaps) {
    SavingRun run;
    ASSERT_TRUE(run.started);
    EditorSession& s = *run.s;
    const QImage frame = s.Picture().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(frame.size(), QSize(720, 576));
    s.SetNoChapter(true);
    const QString name = run.Out(u"pal_NC_"_qs + Mark(s.ShownTimecode) + u".bmp"_qs);
    const struct {
        bool crop, singleField;
        int left, right;
        BitmapInfo info;
    } rows[] = {{true, false, 8, 8, {704, 560, 24}},
                {false, true, 8, 8, {720, 576, 24}},
                {true, false, 500, 500, {720, 576, 24}}};
    for (const auto& r : rows) {
        QFile::remove(name);
        GlobalVars().CropLeft = GlobalVars().CropTop = GlobalVars().CropBottom = 8;
        GlobalVars().CropLeft = r.left;
        GlobalVars().CropRight = r.right;
        s.SetCrop(r.crop);
        s.SetSingleField(r.singleField);
        s.SaveCurrent();
        EXPECT_EQ(ReadBitmapInfo(name), r.info) << r.crop << r.singleField << r.left;
        const QImage saved = QImage(name).convertToFormat(QImage::Format_RGB888);
        if (r.crop && r.left == 8) {
            EXPECT_EQ(saved, frame.copy(8, 8, 704, 560));
        }
        for (int y = 0; r.singleField && y < 576; y += 2) {
            const QByteArray even(reinterpret_cast<const char*>(frame.constScanLine(y)), 720 * 3);
            for (int k : {0, 1})
                ASSERT_EQ(
                    QByteArray(reinterpret_cast<const char*>(saved.constScanLine(y + k)), 720 * 3),
                    even)
                    << y + k;
        }
    }
}

// Where the output folder takes nothing the program folder does (under a name without the video's
// stem for the chapter list); where neither does, each file is reported.
TEST(SessionSave, FallbackFolderAndReportedFailures) {
    for (const bool appWritable : {true, false}) {
        SavingRun run;
        ASSERT_TRUE(run.started);
        EditorSession& s = *run.s;
        GlobalVars().OutDir = u"/proc/cueboard-missing"_qs;
        if (!appWritable)
            GlobalVars().AppPath = u"/proc/cueboard-missing-too"_qs;
        s.CellTimesPath = GlobalVars().OutDir + u"/pal_Celltimes.txt"_qs;
        const QString shown = s.ShownTimecode;
        s.SaveCurrent();
        const QString image = u"pal_"_qs + Mark(shown) + u".bmp"_qs;
        if (appWritable) {
            EXPECT_EQ(FilesIn(run.appDir.path()), (QStringList{u"Celltimes.txt"_qs, image}));
            EXPECT_EQ(ReadAll(run.appDir.filePath(u"Celltimes.txt"_qs)), CellTimesOf({shown}));
            EXPECT_TRUE(s.SaveFailures.isEmpty());
            continue;
        }
        const QString lost = GlobalVars().OutDir + u'/' + image;
        EXPECT_EQ(s.SaveFailures, (QStringList{s.CellTimesPath, lost}));
        EXPECT_EQ(run.messages.texts(), (QStringList{u"Could not write "_qs + s.CellTimesPath,
                                                     u"Could not write "_qs + lost}));
    }
}

// Clips are the source's bytes from the right start, decodable and long enough; a stale index
// file beside a new clip goes. Names follow the video's name up to its last dot.
TEST(SessionSave, ClipsAreCutFromTheShownGop) {
    QTemporaryDir dir;
    for (const char* name : {"pal.mpg", "pal.m2v"}) {
        SCOPED_TRACE(name);
        const QString video = dir.filePath(u"a.b."_qs + QString::fromLatin1(name));
        ASSERT_TRUE(QFile::copy(TestVideo(QString::fromLatin1(name)), video));
        SessionRun run;
        ASSERT_TRUE(run.Start(video));
        EditorSession& s = *run.s;
        for (int n = 0; n < 3; ++n)
            s.NextGopStep();
        const qint64 gop = s.ClipStartPos - 1;
        s.SetClips(true);
        s.SetClipSecondsText(u"2"_qs);
        const QString base =
            run.Out(QFileInfo(video).completeBaseName() + u'_' + Mark(s.ShownTimecode));
        ASSERT_TRUE(WriteAll(base + u".d2v"_qs, "old index"));
        s.SaveCurrent();
        EXPECT_FALSE(QFile::exists(base + u".d2v"_qs));
        const QByteArray clip = ReadAll(base + u".vob"_qs);
        const QByteArray source = ReadAll(video);
        ASSERT_FALSE(clip.isEmpty());
        if (video.endsWith(u".m2v")) {
            const QByteArray header = GlobalVars().StreamHeader;
            EXPECT_EQ(clip.left(header.size()), header);
            EXPECT_EQ(clip.mid(header.size()), source.mid(gop, clip.size() - header.size()));
        } else {
            const qsizetype seq = source.lastIndexOf(QByteArray::fromHex("000001B3"), gop);
            const qsizetype pack = source.lastIndexOf(QByteArray::fromHex("000001BA"), seq);
            ASSERT_GE(pack, 0);
            EXPECT_EQ(clip, source.mid(pack, clip.size()));
        }
        EXPECT_GE(DecodedPictures(base + u".vob"_qs), 70); // 2 s x 25 and the margin
        EXPECT_EQ(s.ClipStartPos, gop + 1);
        EXPECT_TRUE(
            QFile::exists(run.Out(QFileInfo(video).completeBaseName() + u"_Celltimes.txt"_qs)));
        EXPECT_TRUE(run.messages.messages.empty());
    }
}

// Delete removes the chapter, its icon and its files and rewrites the list; the last one removes
// the list file. A click on a chapter retargets "Save as" only with "No Mark".
TEST(SessionSave, DeleteAndSelectChapters) {
    SavingRun run;
    ASSERT_TRUE(run.started);
    EditorSession& s = *run.s;
    QStringList marks;
    for (int i = 0; i < 3; ++i) {
        s.NextGopStep();
        marks << s.ShownTimecode;
        s.SaveCurrent();
    }
    ASSERT_EQ(s.Chapters, marks);
    ASSERT_EQ(s.Marks.size(), 3u);
    const QString base = run.Out(u"pal_"_qs + Mark(marks[1]));
    ASSERT_TRUE(WriteAll(base + u".vob"_qs, "clip"));
    ASSERT_TRUE(WriteAll(base + u".d2v"_qs, "index"));
    s.DeleteChapter(marks[1]);
    EXPECT_EQ(s.Chapters, (QStringList{marks[0], marks[2]}));
    ASSERT_EQ(s.Marks.size(), 2u);
    EXPECT_EQ(s.Marks[1].timecode, marks[2]);
    for (const char* ext : {".bmp", ".vob", ".d2v"})
        EXPECT_FALSE(QFile::exists(base + QLatin1String(ext))) << ext;
    EXPECT_EQ(ReadAll(s.CellTimesPath), CellTimesOf({marks[0], marks[2]}));
    s.DeleteChapter(u"00:59:00.000"_qs); // not in the list: nothing happens
    EXPECT_EQ(s.Chapters.size(), 2);
    QFile::remove(run.Out(u"pal_"_qs + Mark(marks[2]) + u".bmp"_qs));
    s.DeleteChapter(marks[0]);
    s.DeleteChapter(marks[2]);
    EXPECT_TRUE(s.Chapters.isEmpty());
    EXPECT_FALSE(QFile::exists(s.CellTimesPath));
    EXPECT_TRUE(run.messages.messages.empty());

    s.SelectChapter(u"00:05:00.120"_qs);
    EXPECT_EQ(s.SaveAsTarget, "00:00:00.000");
    s.SetNoChapter(true);
    s.SelectChapter(u"00:05:00.120"_qs);
    EXPECT_EQ(s.SaveAsTarget, "00:05:00.120");
    EXPECT_EQ(s.SaveAsCaption, "Save as 00:05:00.120");
}

// The icons of a list read at the start are built by visiting each chapter, then the session
// returns to where it stood.
TEST(SessionSave, ChapterIconsAreBuiltByVisits) {
    QStringList marks;
    std::vector<int> values;
    SessionRun run;
    {
        SavingRun first;
        ASSERT_TRUE(first.started);
        for (int i = 0; i < 3; ++i) {
            first.s->NextGopStep();
            marks << first.s->ShownTimecode;
            values.push_back(first.s->SliderValue);
            first.s->SaveCurrent();
        }
        ASSERT_TRUE(
            QFile::copy(first.Out(u"pal_Celltimes.txt"_qs), run.Out(u"pal_Celltimes.txt"_qs)));
    }
    ASSERT_TRUE(run.Start(TestVideo(u"pal.mpg"_qs)));
    EditorSession& s = *run.s;
    ASSERT_EQ(s.Chapters, marks);
    EXPECT_FALSE(s.IconsBuilt);
    EXPECT_TRUE(s.Marks.empty());
    s.NextGopStep();
    const QString here = s.ShownTimecode;
    s.BuildChapterIcons();
    EXPECT_TRUE(s.IconsBuilt);
    ASSERT_EQ(s.Marks.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.Marks[i].timecode, marks[i]);
        EXPECT_EQ(s.Marks[i].sliderValue, values[i]);
    }
    EXPECT_EQ(s.ShownTimecode, here);
}

// A 5 GiB VOB (sparse: a DVD video at its start, one whose time codes start at 10:00:00 at its
// end): slider, GOP steps, time search and clips above 4 GiB.
TEST(SessionSave, LargeVideosAboveFourGiB) {
    constexpr qint64 FourGiB = qint64(4) << 30, Size = qint64(5) << 30;
    const QByteArray tail = ReadAll(TestVideo(u"tc10h.vob"_qs));
    QTemporaryDir dir;
    const QString video = dir.filePath(u"big.vob"_qs);
    ASSERT_TRUE(MakeSparseFile(video, Size, ReadAll(TestVideo(u"pal_dvd.vob"_qs)), tail));
    SessionRun run;
    ASSERT_TRUE(run.Start(video));
    EditorSession& s = *run.s;
    EXPECT_EQ(s.FileLength, Size);
    s.Slider1_Change(32000);
    const qint64 last = s.CurrentPos;
    EXPECT_GT(last, Size - tail.size());
    EXPECT_TRUE(s.ShownTimecode.startsWith(u"10:00:0")) << s.ShownTimecode.toStdString();
    s.PreviousGopStep();
    EXPECT_LT(s.CurrentPos, last);
    EXPECT_GT(s.CurrentPos, FourGiB);
    s.Slider1_Change(0);
    EXPECT_EQ(s.ShownTimecode, u"00:00:00.000"_qs);
    ASSERT_TRUE(s.GoToTimecode(u"10:00:02.000"_qs));
    EXPECT_GT(s.CurrentPos, Size - tail.size());
    EXPECT_EQ(s.SliderValue, int(double(s.CurrentPos) / s.BytesPerStep));

    s.SetClips(true);
    s.SetClipSecondsText(u"1"_qs);
    s.SaveCurrent();
    const QByteArray clip = ReadAll(run.Out(u"big_"_qs + Mark(s.ShownTimecode) + u".vob"_qs));
    ASSERT_GT(clip.size(), 2048);
    const qsizetype inTail = tail.indexOf(clip.left(2048));
    ASSERT_GE(inTail, 0);
    EXPECT_GT(Size - tail.size() + inTail, FourGiB);
    EXPECT_LT(Size - tail.size() + inTail, s.ClipStartPos);
    EXPECT_EQ(clip, tail.mid(inTail, clip.size()));
    EXPECT_TRUE(s.SaveFailures.isEmpty());
    EXPECT_TRUE(run.messages.messages.empty());
}

} // namespace

// Chapters of a stream whose time code starts at 10 hours count from its first GOP once the
// offset is used; the export hands those times to mkvmerge as they stand in the list.
TEST(SessionSave, OffsetChaptersAreExportedAsListed) {
    SessionRun run;
    ASSERT_TRUE(run.Start(TestVideo(u"tc10h.vob"_qs)));
    EditorSession& s = *run.s;
    s.SetUseOffset(true);
    s.SetChapterOnly(true);
    for (int gops : {3, 4}) {
        for (int i = 0; i < gops; ++i)
            s.NextGopStep();
        s.SaveCurrent();
    }
    ASSERT_EQ(s.Chapters.size(), 2);
    EXPECT_TRUE(s.Chapters[0].startsWith(u"00:00:0"_qs)) << s.Chapters[0].toStdString();
    const QString chapters = s.ChapterExportPath(ChapterFormat::Ogm);
    EXPECT_EQ(QFileInfo(chapters).path(), run.outDir.path());
    ASSERT_TRUE(s.ExportChapterList(chapters, ChapterFormat::Ogm));
    const QString mkv = run.Out(u"tc10h.mkv"_qs);
    QProcess mkvmerge;
    mkvmerge.start(u"mkvmerge"_qs,
                   {u"-q"_qs, u"-o"_qs, mkv, u"--chapters"_qs, chapters, s.VideoFile()});
    ASSERT_TRUE(mkvmerge.waitForFinished(60000));
    ASSERT_LT(mkvmerge.exitCode(), 2);
    QProcess extract;
    extract.start(u"mkvextract"_qs, {mkv, u"chapters"_qs, u"-s"_qs, u"-"_qs});
    ASSERT_TRUE(extract.waitForFinished(60000));
    QStringList times;
    for (const QByteArray& line : extract.readAllStandardOutput().split('\n'))
        if (line.startsWith("CHAPTER") && !line.contains("NAME"))
            times << QString::fromLatin1(line.mid(line.indexOf('=') + 1, 12));
    EXPECT_EQ(times, QStringList{u"00:00:00.000"_qs} + s.Chapters);
    EXPECT_TRUE(run.messages.messages.empty());
}
