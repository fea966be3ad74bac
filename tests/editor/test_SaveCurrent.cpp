#include "crop/PictureBox.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Mark(QString timecode) {
    return timecode.replace(u':', u'_');
}

// Width, height and bits per pixel from a Windows bitmap's header.
struct BitmapInfo {
    int width = 0, height = 0, bits = 0;
};
BitmapInfo ReadBitmapInfo(const QString& path) {
    const QByteArray bytes = ReadAll(path);
    BitmapInfo info;
    if (bytes.size() < 54 || !bytes.startsWith("BM"))
        return info;
    auto le32 = [&](int at) {
        return qint32(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8 | quint8(bytes[at + 2]) << 16 |
                      quint8(bytes[at + 3]) << 24);
    };
    info.width = le32(18);
    info.height = le32(22);
    info.bits = quint8(bytes[28]) | quint8(bytes[29]) << 8;
    return info;
}

// The editor starts at byte 0, before the first GOP header; two GOP steps stand on the second GOP.
void StepPastTheFirstGop(MpegLibForm& f) {
    f.Session->NextGopStep();
    f.Session->NextGopStep();
    ASSERT_NE(f.Text1->text(), "00:00:00.000");
}

class SaveCurrent : public ::testing::Test {
protected:
    EditorFixture fx;
    void Start(const QString& video) {
        ASSERT_TRUE(fx.Start(TestVideo(video)));
        StepPastTheFirstGop(*fx.form);
    }
};

// One press for every row of the outcome table, with images and with clips.
TEST_F(SaveCurrent, OutcomeTable) {
    const struct {
        bool markOnly, noMark, saveAs, atGopStart, clips;
        bool markAdded;
        const char* nameKind; // "" none, "mark", "nc", "as"
    } rows[] = {
        {true, false, false, true, false, true, ""},
        {true, false, false, false, false, false, ""},
        {false, false, false, true, false, true, "mark"},
        {false, false, false, false, false, false, "nc"},
        {false, true, false, true, false, false, "nc"},
        {false, true, true, true, false, false, "as"},
        {false, false, false, true, true, true, "mark"},
        {false, false, false, false, true, false, "nc"},
        {false, true, false, true, true, false, "nc"},
        {false, true, true, false, true, false, "as"},
    };
    for (const auto& r : rows) {
        EditorFixture fx2;
        ASSERT_TRUE(fx2.Start(TestVideo(QStringLiteral("pal.mpg"))));
        MpegLibForm& f = *fx2.form;
        StepPastTheFirstGop(f);
        if (!r.atGopStart)
            f.Session->NextPictureStep();
        const QString shown = f.Text1->text();
        (r.clips ? f.Option_Clips : f.Option_Pics)->setChecked(true);
        f.Check_ChapterOnly->setChecked(r.markOnly);
        f.Check_NoChapter->setChecked(r.noMark);
        if (r.saveAs) {
            f.List1->addItem(QStringLiteral("00:00:00.000"));
            f.List1->setCurrentRow(0);
            f.List1_Click();
            f.Check_SaveAsZero->setChecked(true);
        }
        f.Command_SavePic_Click();

        const QString ext = r.clips ? QStringLiteral(".vob") : QStringLiteral(".bmp");
        QStringList expected;
        if (r.markAdded)
            expected << QStringLiteral("pal_Celltimes.txt");
        const QString kind = QString::fromLatin1(r.nameKind);
        if (kind == u"mark")
            expected << QStringLiteral("pal_") + Mark(shown) + ext;
        else if (kind == u"nc")
            expected << QStringLiteral("pal_NC_") + Mark(shown) + ext;
        else if (kind == u"as")
            expected << QStringLiteral("pal_00_00_00.000") + ext;
        expected.sort();
        const std::string row = std::to_string(r.markOnly) + std::to_string(r.noMark) +
                                std::to_string(r.saveAs) + std::to_string(r.atGopStart) +
                                std::to_string(r.clips);
        EXPECT_EQ(FilesIn(fx2.outDir.path()), expected) << row;
        EXPECT_TRUE(FilesIn(fx2.appDir.path()).isEmpty()) << row;
        EXPECT_EQ(Entries(f.List1).contains(shown), r.markAdded) << row;
        if (r.markAdded) {
            EXPECT_EQ(ReadAll(fx2.outDir.filePath(QStringLiteral("pal_Celltimes.txt"))),
                      shown.toLatin1() + "\r\n")
                << row;
            // The icon stands for the new mark.
            EXPECT_EQ(Tag(f.Label8.back()), shown) << row;
        }
        if (r.saveAs) {
            EXPECT_FALSE(f.Check_SaveAsZero->isChecked()) << row;
        }
        EXPECT_TRUE(fx2.messages.messages.empty()) << row;
    }
}

// Where the timecode is unknown ("???") nothing can be marked: no button, and a press that
// comes anyway saves nothing. Two ways there: a long stretch without GOP headers, and a time-code
// reset below the first GOP's time with the offset on.
TEST_F(SaveCurrent, NothingIsSavedWhereTheTimecodeIsUnknown) {
    const QByteArray pal = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    const qsizetype middleGop = pal.indexOf(QByteArray::fromHex("000001B8"), pal.size() / 2);
    ASSERT_GT(middleGop, 0);
    QTemporaryDir dir;
    const QString gap = dir.filePath(QStringLiteral("gap.m2v"));
    const QByteArray zeros(6 * 1024 * 1024, '\0');
    ASSERT_TRUE(WriteAll(gap, pal.left(middleGop) + zeros + pal.mid(middleGop)));
    const QString reset = dir.filePath(QStringLiteral("reset.m2v"));
    ASSERT_TRUE(WriteAll(reset, ReadAll(TestVideo(QStringLiteral("tc10h.m2v"))) + pal));

    for (const bool offset : {false, true}) {
        SCOPED_TRACE(offset ? "time-code reset" : "no GOP header near");
        EditorFixture fx2;
        ASSERT_TRUE(fx2.Start(offset ? reset : gap));
        MpegLibForm& f = *fx2.form;
        (offset ? f.Option_Pics : f.Option_Clips)->setChecked(true);
        if (offset) {
            f.Check_UseOffset->setChecked(true);
            for (int n = 0; n < 100 && f.Text1->text() != u"???"; ++n)
                f.Session->NextGopStep();
        } else {
            f.Slider1->setValue(int((middleGop + zeros.size() / 2) / f.Session->BytesPerStep));
            f.Slider1_Change();
        }
        ASSERT_EQ(f.Text1->text(), u"???"_qs);
        EXPECT_FALSE(f.Command_SavePic->isEnabled());
        f.Command_SavePic_Click();
        EXPECT_TRUE(FilesIn(fx2.outDir.path()).isEmpty());
        EXPECT_TRUE(FilesIn(fx2.appDir.path()).isEmpty());
        EXPECT_EQ(f.List1->count(), 0);
        // A timecode again brings the button back.
        f.Slider1->setValue(0);
        f.Slider1_Change();
        f.Session->NextGopStep();
        EXPECT_NE(f.Text1->text(), u"???"_qs);
        EXPECT_TRUE(f.Command_SavePic->isEnabled());
    }
}

TEST_F(SaveCurrent, DuplicateMarkSavesNothing) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    f.Command_SavePic_Click();
    const QStringList files = FilesIn(fx.outDir.path());
    const QByteArray cellTimes = ReadAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt")));
    QFile::remove(fx.outDir.filePath(QStringLiteral("pal_") + Mark(f.Text1->text()) + ".bmp"));
    f.Command_SavePic_Click();
    ASSERT_EQ(fx.messages.messages.size(), 1u);
    EXPECT_EQ(fx.messages.messages[0].text, "Chapter already defined!");
    EXPECT_EQ(fx.messages.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(FilesIn(fx.outDir.path()).size(), files.size() - 1); // no second image
    EXPECT_EQ(f.List1->count(), 1);
    EXPECT_EQ(ReadAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt"))), cellTimes);
}

TEST_F(SaveCurrent, MarksAreSortedInTheListAndTheFile) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    f.Check_ChapterOnly->setChecked(true);
    f.Session->NextGopStep();
    const QString later = f.Text1->text();
    f.Command_SavePic_Click();
    f.Session->PreviousGopStep();
    const QString earlier = f.Text1->text();
    f.Command_SavePic_Click();
    ASSERT_LT(earlier, later);
    EXPECT_EQ(Entries(f.List1), (QStringList{earlier, later}));
    EXPECT_EQ(ReadAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt"))),
              (earlier + "\r\n" + later + "\r\n").toLatin1());
}

TEST_F(SaveCurrent, CroppedAndSingleFieldBitmaps) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    const QImage frame = f.Picture1->picture().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(frame.size(), QSize(720, 576));
    const QString shown = f.Text1->text();
    f.Check_NoChapter->setChecked(true);

    // Crop 8/8/8/8: 704 x 560 pixels from (8, 8) of the frame.
    f.Check_Crop->setChecked(true);
    f.Command_SavePic_Click();
    const QString name = fx.outDir.filePath(QStringLiteral("pal_NC_") + Mark(shown) + ".bmp");
    const BitmapInfo info = ReadBitmapInfo(name);
    EXPECT_EQ(info.width, 704);
    EXPECT_EQ(info.height, 560);
    EXPECT_EQ(info.bits, 24);
    const QImage cropped = QImage(name).convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(cropped, frame.copy(8, 8, 704, 560));

    // Single field without crop: rows 2k and 2k+1 are row 2k of the frame.
    QFile::remove(name);
    f.Check_Crop->setChecked(false);
    f.Check_SingleField->setChecked(true);
    f.Command_SavePic_Click();
    const QImage doubled = QImage(name).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(doubled.size(), QSize(720, 576));
    for (int y = 0; y < 576; y += 2) {
        const QByteArray even(reinterpret_cast<const char*>(frame.constScanLine(y)), 720 * 3);
        ASSERT_EQ(QByteArray(reinterpret_cast<const char*>(doubled.constScanLine(y)), 720 * 3),
                  even)
            << y;
        ASSERT_EQ(QByteArray(reinterpret_cast<const char*>(doubled.constScanLine(y + 1)), 720 * 3),
                  even)
            << y;
    }

    // Margins larger than the picture: the frame is saved whole rather than nothing or a broken
    // file.
    QFile::remove(name);
    f.Check_SingleField->setChecked(false);
    GlobalVars().CropLeft = 500;
    GlobalVars().CropRight = 500;
    f.Check_Crop->setChecked(true);
    f.Command_SavePic_Click();
    EXPECT_EQ(ReadBitmapInfo(name).width, 720);
}

TEST_F(SaveCurrent, NamesFollowTheVideoName) {
    QTemporaryDir videoDir;
    const QString video = videoDir.filePath(QStringLiteral("a.b.mpg"));
    ASSERT_TRUE(QFile::copy(TestVideo(QStringLiteral("pal.mpg")), video));
    ASSERT_TRUE(fx.Start(video));
    MpegLibForm& f = *fx.form;
    StepPastTheFirstGop(f);
    const QString shown = f.Text1->text();
    f.Command_SavePic_Click();
    EXPECT_TRUE(QFile::exists(fx.outDir.filePath(QStringLiteral("a.b_") + Mark(shown) + ".bmp")));
    EXPECT_TRUE(QFile::exists(fx.outDir.filePath(QStringLiteral("a.b_Celltimes.txt"))));
}

TEST_F(SaveCurrent, UnwritableOutputFolderFallsBackToTheProgramFolder) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    GlobalVars().OutDir = QStringLiteral("/proc/cueboard-missing");
    f.Session->CellTimesPath = GlobalVars().OutDir + QStringLiteral("/pal_Celltimes.txt");
    const QString shown = f.Text1->text();
    f.Command_SavePic_Click();
    EXPECT_EQ(FilesIn(fx.appDir.path()),
              (QStringList{"Celltimes.txt", QStringLiteral("pal_") + Mark(shown) + ".bmp"}));
    EXPECT_EQ(ReadAll(fx.appDir.filePath(QStringLiteral("Celltimes.txt"))),
              shown.toLatin1() + "\r\n");
}

TEST_F(SaveCurrent, SavesThatCannotBeWrittenAnywhereAreReported) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    GlobalVars().OutDir = QStringLiteral("/proc/cueboard-missing");
    GlobalVars().AppPath = QStringLiteral("/proc/cueboard-missing-too");
    f.Session->CellTimesPath = GlobalVars().OutDir + QStringLiteral("/pal_Celltimes.txt");
    const QString shown = f.Text1->text();
    f.Command_SavePic_Click();
    const QString image = GlobalVars().OutDir + QStringLiteral("/pal_") + Mark(shown) + ".bmp";
    EXPECT_EQ(f.Session->SaveFailures, (QStringList{f.Session->CellTimesPath, image}));
    ASSERT_EQ(fx.messages.messages.size(), 2u);
    EXPECT_EQ(fx.messages.messages[0].text,
              QStringLiteral("Could not write ") + f.Session->CellTimesPath);
    EXPECT_EQ(fx.messages.messages[1].text, QStringLiteral("Could not write ") + image);
    EXPECT_EQ(fx.messages.messages[1].icon, MessageIcon::Exclamation);
}

// Clips: the bytes of the source from the right start, decodable, long enough.
TEST_F(SaveCurrent, ClipsAreCutFromTheShownGop) {
    for (const char* name : {"pal.mpg", "pal.m2v"}) {
        EditorFixture fx2;
        const QString video = TestVideo(QString::fromLatin1(name));
        ASSERT_TRUE(fx2.Start(video));
        MpegLibForm& f = *fx2.form;
        StepPastTheFirstGop(f);
        f.Session->NextGopStep();
        const qint64 gop = f.Session->ClipStartPos - 1; // 0-based offset of the GOP header
        f.Option_Clips->setChecked(true);
        f.Text_Sec->setText(QStringLiteral("2"));
        f.Check_NoChapter->setChecked(true);
        f.Command_SavePic_Click();
        QString stem = QFileInfo(video).completeBaseName();
        const QString clipName =
            fx2.outDir.filePath(stem + QStringLiteral("_NC_") + Mark(f.Text1->text()) + ".vob");
        const QByteArray clip = ReadAll(clipName);
        const QByteArray source = ReadAll(video);
        ASSERT_FALSE(clip.isEmpty()) << name;
        if (QString::fromLatin1(name).endsWith(u".m2v")) {
            // The stream header, then the source from the GOP header on.
            const QByteArray header = GlobalVars().StreamHeader;
            EXPECT_EQ(clip.left(header.size()), header);
            EXPECT_EQ(clip.mid(header.size()), source.mid(gop, clip.size() - header.size()));
        } else {
            // From the pack before the sequence header before the GOP.
            const qsizetype seq = source.lastIndexOf(QByteArray::fromHex("000001B3"), gop);
            const qsizetype pack = source.lastIndexOf(QByteArray::fromHex("000001BA"), seq);
            ASSERT_GE(pack, 0);
            EXPECT_EQ(clip, source.mid(pack, clip.size()));
        }
        // Decodable MPEG-2 with at least 2 s x 25 + 20 pictures.
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                     QStringLiteral("-select_streams"), QStringLiteral("v"),
                     QStringLiteral("-show_entries"),
                     QStringLiteral("stream=codec_name,nb_read_frames"), QStringLiteral("-of"),
                     QStringLiteral("csv=p=0"), clipName});
        ASSERT_TRUE(probe.waitForFinished(60000));
        const QStringList fields = QString::fromLatin1(probe.readAllStandardOutput())
                                       .trimmed()
                                       .split(u',', Qt::SkipEmptyParts);
        ASSERT_EQ(fields.size(), 2) << name;
        EXPECT_EQ(fields[0], "mpeg2video");
        EXPECT_GE(fields[1].toInt(), 70) << name;
        // The editor shows the same GOP again afterwards.
        EXPECT_EQ(f.Session->ClipStartPos, gop + 1);
        EXPECT_TRUE(fx2.messages.messages.empty());
    }
}

TEST_F(SaveCurrent, StaleIndexFileIsRemovedBesideANewClip) {
    Start(QStringLiteral("pal.mpg"));
    MpegLibForm& f = *fx.form;
    f.Option_Clips->setChecked(true);
    f.Text_Sec->setText(QStringLiteral("1"));
    const QString base = fx.outDir.filePath(QStringLiteral("pal_") + Mark(f.Text1->text()));
    ASSERT_TRUE(WriteAll(base + ".d2v", "old index"));
    f.Command_SavePic_Click();
    EXPECT_FALSE(QFile::exists(base + ".d2v"));
    EXPECT_TRUE(QFile::exists(base + ".vob"));
}

} // namespace
