#include "chapters/Timecode.h"
#include "crop/PictureBox.h"
#include "editor/Tag.h"
#include "session/AutoRun.h"
#include "support/DecoderSupport.h"
#include "support/EditorFixture.h"
#include "support/GopReference.h"
#include "viewer/Mpeg2Decoder.h"

#include "support/GopScan.h"
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

QString Mark(QString timecode) {
    return timecode.replace(u':', u'_');
}

// The cell-times file a list of marks gives.
QByteArray CellTimesOf(const QStringList& marks) {
    QByteArray bytes;
    for (const QString& mark : marks)
        bytes += mark.toLatin1() + "\r\n";
    return bytes;
}

// The files a run over `marks` leaves in the output folder: the cell-times file and one image or
// clip per mark.
QStringList ExpectedFiles(const QString& stem, const QStringList& marks, const char* suffix) {
    QStringList files{stem + QStringLiteral("_Celltimes.txt")};
    for (const QString& mark : marks)
        files << stem + u'_' + Mark(mark) + QLatin1String(suffix);
    files.sort();
    return files;
}

const Gop* GopNamed(const std::vector<Gop>& gops, const QString& text) {
    for (const Gop& gop : gops)
        if (gop.text == text)
            return &gop;
    return nullptr;
}

// The two GOPs around a time: the last one at or before it and the first one at or after it.
std::pair<const Gop*, const Gop*> GopsAround(const std::vector<Gop>& gops, double seconds) {
    const Gop* before = nullptr;
    const Gop* after = nullptr;
    for (const Gop& gop : gops) {
        if (gop.seconds <= seconds + 1e-6)
            before = &gop;
        if (!after && gop.seconds >= seconds - 1e-6)
            after = &gop;
    }
    return {before, after};
}

// ---- Pictures, compared by hash -------------------------------------------------------------

quint64 HashRows(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    quint64 hash = 14695981039346656037ULL;
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width() * 3; ++x)
            hash = (hash ^ row[x]) * 1099511628211ULL;
    }
    return hash ^ quint64(rgb.width()) << 48 ^ quint64(rgb.height()) << 32;
}

// The picture a decoder of its own shows entering the file at a GOP header (1-based position).
quint64 GopPictureHash(const QString& path, qint64 headerPos) {
    Mpeg2Decoder decoder;
    OpenTestDecoder(decoder, path);
    decoder.MPEG2Seek(headerPos - 1);
    const uchar* bytes = decoder.GetMPEG2Frame();
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    if (!bytes || info.Width <= 0 || info.Height <= 0)
        return 0;
    // Bottom-up rows of blue, green and red.
    const QImage bottomUp(bytes, info.Width, info.Height, info.Width * 3, QImage::Format_BGR888);
    return HashRows(bottomUp.mirrored(false, true));
}

// ---- A generated video longer than a few minutes' interval ----------------------------------

// A small program stream of `seconds` at 25 pictures per second with GOPs of 12 pictures;
// empty when ffmpeg could not make it.
QString MakeVideo(const QTemporaryDir& dir, int seconds) {
    const QString path = dir.filePath(QStringLiteral("long.mpg"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin",
                  "-hide_banner",
                  "-loglevel",
                  "error",
                  "-y",
                  "-fflags",
                  "+bitexact",
                  "-f",
                  "lavfi",
                  "-i",
                  QStringLiteral("testsrc2=size=176x144:rate=25:duration=%1").arg(seconds),
                  "-an",
                  "-c:v",
                  "mpeg2video",
                  "-flags",
                  "+bitexact",
                  "-threads",
                  "1",
                  "-g",
                  "12",
                  "-bf",
                  "2",
                  "-b:v",
                  "400k",
                  "-f",
                  "vob",
                  path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
        return QString();
    return path;
}

class ChapterCreation : public ::testing::Test {
protected:
    EditorFixture fx;
    void Start(const char* video) { ASSERT_TRUE(fx.Start(TestVideo(QString::fromLatin1(video)))); }
    QByteArray CellTimes(const char* stem = "pal") const {
        return ReadAll(fx.outDir.filePath(QLatin1String(stem) + QStringLiteral("_Celltimes.txt")));
    }
};

// ---- Counts and intervals out of range --------------------------------------------------------

TEST_F(ChapterCreation, OutOfRangeCountsAndIntervalsOnlyShowAMessage) {
    const QString countMessage = QStringLiteral("Only 1 to 99 Chapters possible!");
    const QString intervalMessage =
        countMessage + QStringLiteral("\r\nTry one Chapter each 2 or 3 minutes...");
    const struct {
        bool interval;
        const char* text;
    } cases[] = {
        {false, "0"}, {false, "100"}, {false, "abc"}, {false, ""},   {false, "0.5"}, {false, "-2"},
        {true, "0"},  {true, "600"},  {true, "547"},  {true, "abc"}, {true, "0.49"}, {true, "-1"},
    };
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    f.Session->NextGopStep();
    const QString shown = f.Text1->text();
    const QStringList before = Entries(f.List1);
    for (const auto& c : cases) {
        fx.messages.messages.clear();
        QLineEdit* box = c.interval ? f.Text_ChapTime : f.Text_NumChap;
        box->setText(QString::fromLatin1(c.text));
        (c.interval ? f.Command_CreateChapters2 : f.Command_CreateChapters)->click();
        EXPECT_EQ(fx.messages.texts(), QStringList{c.interval ? intervalMessage : countMessage})
            << c.text;
        EXPECT_EQ(Entries(f.List1), before) << c.text;
        EXPECT_EQ(f.Text1->text(), shown) << c.text;
    }
    EXPECT_TRUE(FilesIn(fx.outDir.path()).isEmpty());
}

// ---- Runs by count and by interval ------------------------------------------------------------

TEST_F(ChapterCreation, CountRunMarksGopsEvenlyOverTheVideo) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    const std::vector<Gop> gops = ScanGops(GlobalVars().VideoFile);
    const double duration = GlobalVars().DurationSeconds;
    ASSERT_NEAR(duration, 12.0, 0.05);
    // Where the user stands is where the viewer returns to.
    f.Session->NextGopStep();
    f.Session->NextGopStep();
    f.Session->NextGopStep();
    const QString shown = f.Text1->text();
    const qint64 shownPos = f.Session->CurrentPos;
    // Left over from earlier work: replaced by the run.
    f.List1->addItem(QStringLiteral("00:00:05.000"));
    f.Check_NoChapter->setChecked(true);

    f.Text_NumChap->setText(QStringLiteral("5"));
    f.Command_CreateChapters->click();

    const QStringList marks = Entries(f.List1);
    ASSERT_EQ(marks.size(), 5) << marks.join(u' ').toStdString();
    EXPECT_EQ(marks.first(), Zero);
    for (int i = 1; i < 5; ++i) {
        const double target = i * duration / 5;
        const auto [before, after] = GopsAround(gops, target);
        ASSERT_TRUE(before && after);
        EXPECT_TRUE(marks[i] == before->text || marks[i] == after->text)
            << marks[i].toStdString() << " for " << target;
    }
    EXPECT_EQ(CellTimes(), CellTimesOf(marks));
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("pal"), marks, ".bmp"));
    EXPECT_TRUE(FilesIn(fx.appDir.path()).isEmpty());
    EXPECT_EQ(IconTags(f), marks);
    EXPECT_FALSE(f.Check_NoChapter->isChecked());
    EXPECT_EQ(f.Text1->text(), shown);
    EXPECT_EQ(f.Session->CurrentPos, shownPos);
    EXPECT_TRUE(fx.messages.messages.empty()) << fx.messages.texts().join(u'|').toStdString();
}

// Each image shows the picture of the GOP whose timecode names it, whichever way the search went
// to find it.
TEST_F(ChapterCreation, EachImageIsThePictureOfTheGopThatNamesIt) {
    for (const char* video : {"pal.mpg", "pal.m2v", "pal_dvd.vob", "ntsc_df.mpg"}) {
        // Six chapters 2 s apart; seven 1.7 s apart, the last of which is dropped.
        for (const auto& [count, chapters] : {std::pair{"6", 6}, std::pair{"7", 6}}) {
            EditorFixture run;
            const QString path = TestVideo(QString::fromLatin1(video));
            ASSERT_TRUE(run.Start(path));
            MpegLibForm& f = *run.form;
            const std::vector<Gop> gops = ScanGops(path);
            f.Text_NumChap->setText(QString::fromLatin1(count));
            f.Command_CreateChapters->click();
            const QStringList marks = Entries(f.List1);
            EXPECT_EQ(marks.size(), chapters) << video;
            const QString stem = QFileInfo(path).completeBaseName();
            for (const QString& mark : marks) {
                const std::string where = std::string(video) + " " + mark.toStdString();
                const QImage saved(run.outDir.filePath(stem + u'_' + Mark(mark) + ".bmp"));
                ASSERT_FALSE(saved.isNull()) << where;
                const Gop* gop = GopNamed(gops, mark);
                ASSERT_TRUE(gop) << where;
                EXPECT_EQ(HashRows(saved), GopPictureHash(path, gop->pos)) << where;
            }
            EXPECT_TRUE(run.messages.messages.empty()) << video;
        }
    }
}

// How many chapters a run makes on the 12-second video: the last one needs room for its image or
// clip, and a run always makes the one at the start.
TEST_F(ChapterCreation, ChapterCountsOnAShortVideo) {
    const struct {
        const char* what;
        bool interval;
        const char* value;
        const char* clipSeconds; // null: images
        int chapters;
    } cases[] = {
        {"count 1", false, "1", nullptr, 1},
        {"interval longer than the video", true, "1", nullptr, 1},
        {"images, last chapter 2.4 s before the end", false, "5", nullptr, 5},
        {"images, last chapter 1 s before the end", false, "12", nullptr, 11},
        {"clips of 1 s, last chapter 3 s before the end", false, "4", "1", 4},
        {"clips of 3 s, last chapter 3 s before the end", false, "4", "3", 3},
        {"clips of 10 s, last chapter 4 s before the end", false, "3", "10", 2},
    };
    for (const auto& c : cases) {
        EditorFixture run;
        ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("pal.mpg"))));
        MpegLibForm& f = *run.form;
        f.Session->NextGopStep();
        if (c.clipSeconds) {
            f.Option_Clips->setChecked(true);
            f.Text_Sec->setText(QString::fromLatin1(c.clipSeconds));
        }
        (c.interval ? f.Text_ChapTime : f.Text_NumChap)->setText(QString::fromLatin1(c.value));
        (c.interval ? f.Command_CreateChapters2 : f.Command_CreateChapters)->click();
        const QStringList marks = Entries(f.List1);
        EXPECT_EQ(marks.size(), c.chapters) << c.what;
        EXPECT_EQ(marks.value(0), Zero) << c.what;
        EXPECT_EQ(ReadAll(run.outDir.filePath(QStringLiteral("pal_Celltimes.txt"))),
                  CellTimesOf(marks))
            << c.what;
        EXPECT_EQ(FilesIn(run.outDir.path()),
                  ExpectedFiles(QStringLiteral("pal"), marks, c.clipSeconds ? ".vob" : ".bmp"))
            << c.what;
        EXPECT_TRUE(run.messages.messages.empty()) << c.what;
    }
}

TEST_F(ChapterCreation, IntervalRunOverALongerVideo) {
    QTemporaryDir dir;
    const QString video = MakeVideo(dir, 123);
    ASSERT_FALSE(video.isEmpty()) << "ffmpeg could not make the video";
    const struct {
        const char* what;
        bool clips;
        QStringList minutes; // the chapters, as whole minutes of the video
    } cases[] = {
        {"images", false, {"00:00", "01:00", "02:00"}},
        // A 3-second clip at 2:00 would run into the video's last second.
        {"clips of 3 s", true, {"00:00", "01:00"}},
    };
    for (const auto& c : cases) {
        EditorFixture run;
        ASSERT_TRUE(run.Start(video));
        ASSERT_NEAR(GlobalVars().DurationSeconds, 123.0, 0.05);
        MpegLibForm& f = *run.form;
        const std::vector<Gop> gops = ScanGops(video);
        if (c.clips) {
            f.Option_Clips->setChecked(true);
            f.Text_Sec->setText(QStringLiteral("3"));
        }
        f.Text_ChapTime->setText(QStringLiteral("1"));
        f.Command_CreateChapters2->click();
        const QStringList marks = Entries(f.List1);
        ASSERT_EQ(marks.size(), c.minutes.size()) << c.what;
        for (int i = 0; i < marks.size(); ++i) {
            const auto [before, after] = GopsAround(gops, 60.0 * i);
            EXPECT_TRUE(marks[i] == before->text || marks[i] == after->text)
                << c.what << " " << marks[i].toStdString();
        }
        EXPECT_EQ(FilesIn(run.outDir.path()),
                  ExpectedFiles(QStringLiteral("long"), marks, c.clips ? ".vob" : ".bmp"))
            << c.what;
        EXPECT_TRUE(run.messages.messages.empty()) << c.what;
    }
}

// A run started after a single-picture step stands on GOP starts all the same: every chapter
// gets its mark.
TEST_F(ChapterCreation, RunAfterASinglePictureStepStillMarks) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    f.Session->NextGopStep();
    f.Session->NextPictureStep();
    ASSERT_EQ(f.Session->AtGopStart, FlagFalse);
    f.Text_NumChap->setText(QStringLiteral("3"));
    f.Command_CreateChapters->click();
    const QStringList marks = Entries(f.List1);
    ASSERT_EQ(marks.size(), 3);
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("pal"), marks, ".bmp"));
}

TEST_F(ChapterCreation, RunStopsAtATimeWithoutAGopAndKeepsWhatItMade) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    const QString good = GlobalVars().VideoFile;
    const std::vector<Gop> gops = ScanGops(good);
    // From a little past the middle on, the GOP headers are gone.
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("pal.mpg"));
    QByteArray bytes = ReadAll(good);
    const qsizetype from = bytes.size() * 55 / 100;
    QByteArray tail = bytes.mid(from);
    tail.replace(QByteArray::fromHex("000001B8"), QByteArray::fromHex("000001B9"));
    bytes = bytes.left(from) + tail;
    ASSERT_TRUE(WriteAll(broken, bytes));
    GlobalVars().VideoFile = broken;
    f.Session->NextGopStep();
    f.Session->NextGopStep();
    const QString shown = f.Text1->text();

    f.Text_NumChap->setText(QStringLiteral("5"));
    f.Command_CreateChapters->click();

    // 2.4 and 4.8 seconds lie before the break, 7.2 seconds behind it.
    const QStringList marks = Entries(f.List1);
    ASSERT_EQ(marks.size(), 3) << marks.join(u' ').toStdString();
    EXPECT_EQ(fx.messages.texts(), QStringList{"ERROR: Cannot find time 00:00:07 !!!"});
    EXPECT_EQ(CellTimes(), CellTimesOf(marks));
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("pal"), marks, ".bmp"));
    // The viewer stays on the last chapter made, not where the run started.
    EXPECT_NE(f.Text1->text(), shown);
    EXPECT_EQ(f.Text1->text(), marks.last());
    const Gop* last = GopNamed(gops, marks.last());
    ASSERT_TRUE(last);
    EXPECT_EQ(f.Session->CurrentPos, last->pos);
    EXPECT_EQ(HashRows(f.Picture1->picture()), GopPictureHash(good, last->pos));
}

// A stream that starts at 10:00:00 makes its chapters in times counted from its start.
TEST_F(ChapterCreation, CountRunWithTheTimeOffset) {
    Start("tc10h.m2v");
    MpegLibForm& f = *fx.form;
    ASSERT_FALSE(f.Command_CreateChapters->isEnabled());
    f.Check_UseOffset->setChecked(true);
    f.Text_NumChap->setText(QStringLiteral("3"));
    f.Command_CreateChapters->click();
    const QStringList marks = Entries(f.List1);
    ASSERT_EQ(marks.size(), 3);
    EXPECT_EQ(marks[0], Zero);
    for (const QString& mark : marks)
        EXPECT_TRUE(mark.startsWith(QStringLiteral("00:00:0"))) << mark.toStdString();
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("tc10h"), marks, ".bmp"));
    EXPECT_TRUE(fx.messages.messages.empty());
}

// ---- The run over the file-chapter list --------------------------------------------------------

TEST_F(ChapterCreation, FileChapterRunMakesAChapterForEachTime) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    QGuiApplication::clipboard()->setText(QStringLiteral("00:00:03.000,00:00:06.000"));
    f.Command_GetChapterClipBoard->click();
    ASSERT_EQ(Entries(f.List2), (QStringList{Zero, "00:00:03.000", "00:00:06.000"}));
    ASSERT_TRUE(f.Command_CreateChapters3->isEnabled());
    f.Session->NextGopStep();
    f.Session->NextGopStep();
    const QString shown = f.Text1->text();
    const qint64 shownPos = f.Session->CurrentPos;
    f.List1->addItem(QStringLiteral("00:00:09.000"));
    f.Check_NoChapter->setChecked(true);

    f.Command_CreateChapters3->click();

    // The chapters lie where a visit to each time goes.
    QStringList expected;
    for (const QString& time : Entries(f.List2)) {
        EditorFixture visit;
        ASSERT_TRUE(visit.Start(TestVideo(QStringLiteral("pal.mpg"))));
        ASSERT_TRUE(visit.form->Session->GoToTimecode(time));
        expected << visit.form->Text1->text();
    }
    const QStringList marks = Entries(f.List1);
    EXPECT_EQ(marks, expected);
    EXPECT_EQ(CellTimes(), CellTimesOf(marks));
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("pal"), marks, ".bmp"));
    EXPECT_EQ(IconTags(f), marks);
    EXPECT_FALSE(f.Check_NoChapter->isChecked());
    EXPECT_EQ(f.Text1->text(), shown);
    EXPECT_EQ(f.Session->CurrentPos, shownPos);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_TRUE(fx.messages.messages.empty());
}

TEST_F(ChapterCreation, FileChapterTimesOfOneGopMakeOneChapterWithoutAMessage) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    QGuiApplication::clipboard()->setText(QStringLiteral("00:00:03.000,00:00:03.010"));
    f.Command_GetChapterClipBoard->click();
    f.Command_CreateChapters3->click();
    EXPECT_EQ(Entries(f.List1).size(), 2); // 00:00:00.000 and the one GOP
    EXPECT_TRUE(fx.messages.messages.empty());
}

TEST_F(ChapterCreation, FileChapterRunStopsAtATimeItCannotFind) {
    Start("pal.mpg");
    MpegLibForm& f = *fx.form;
    QGuiApplication::clipboard()->setText(
        QStringLiteral("00:00:03.000\r\n00:00:30.000\r\n00:00:40.000"));
    f.Command_GetChapterClipBoard->click();
    ASSERT_EQ(f.List2->count(), 4);
    f.Session->NextGopStep();
    const QString shown = f.Text1->text();
    f.Command_CreateChapters3->click();
    EXPECT_EQ(fx.messages.texts(), QStringList{"ERROR: Cannot find time 00:00:30.000 !!!"});
    const QStringList marks = Entries(f.List1);
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks.first(), Zero);
    EXPECT_EQ(CellTimes(), CellTimesOf(marks));
    EXPECT_EQ(f.Text1->text(), shown);
}

TEST_F(ChapterCreation, AutomaticRunMakesTheChaptersWithoutAWindow) {
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    GlobalVars().AutoMode = FlagTrue;
    GlobalVars().ChapterTimes = QStringLiteral("00:00:04.000,00:00:08.000");
    EXPECT_EQ(RunAutomatic(GlobalVars()), 0);
    const QStringList marks =
        QString::fromLatin1(CellTimes()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(marks.size(), 3);
    EXPECT_EQ(marks.first(), Zero);
    EXPECT_EQ(CellTimes(), CellTimesOf(marks));
    EXPECT_EQ(FilesIn(fx.outDir.path()), ExpectedFiles(QStringLiteral("pal"), marks, ".bmp"));
    EXPECT_TRUE(fx.messages.messages.empty());
}

} // namespace
