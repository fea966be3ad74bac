#include "crop/PictureBox.h"
#include "editor/Tag.h"
#include "session/AutoRun.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A copy of a test video in a folder of its own (the load step writes beside it).
QString CopyVideo(const QTemporaryDir& dir, const QString& name, const QString& as = QString()) {
    const QString target = dir.filePath(as.isEmpty() ? name : as);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(TestVideo(name), target));
    return target;
}

class EditorStart : public ::testing::Test {
protected:
    void PrepareOverlongOutDir();
    EditorFixture fx;
    QTemporaryDir videoDir;
};

TEST_F(EditorStart, ShowsTheFirstPictureAndLabelsTheControls) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(f.Picture1->size(), QSize(720, 576));
    EXPECT_FALSE(f.Picture1->picture().isNull());
    EXPECT_EQ(f.Text1->text(), "00:00:00.000");
    EXPECT_EQ(f.Session->CurrentTimecode, "00:00:00.000");
    EXPECT_EQ(f.Session->FirstGopTimecode, "00:00:00.000");
    EXPECT_EQ(f.Session->CurrentPos, 0);
    EXPECT_EQ(f.Session->AtGopStart, FlagTrue);
    EXPECT_EQ(f.Session->SaveAllowed, FlagTrue);
    EXPECT_EQ(f.Session->FileLength, QFileInfo(TestVideo(QStringLiteral("pal.mpg"))).size());
    EXPECT_DOUBLE_EQ(f.Session->BytesPerStep, f.Session->FileLength / 32000.0);
    EXPECT_TRUE(f.Check_UseOffset->isHidden());
    EXPECT_EQ(f.windowTitle(), GlobalVars().VideoFile + "   OutDir=" + fx.outDir.path());
    EXPECT_EQ(f.Command_SavePic->text(), "Save image+chapter");
    EXPECT_EQ(f.Check_SaveAsZero->text(), "Save as 00:00:00.000");
    EXPECT_EQ(Tag(f.Check_SaveAsZero), "00:00:00.000");
    EXPECT_EQ(f.Label4->text(), "Automatic  creation WARNING: Deletes old Chapter List");
    EXPECT_EQ(f.Check_NoChapter->toolTip(), "No chapter marks, only images or clips");
    EXPECT_TRUE(GlobalVars().StreamHeader.isEmpty());
    // No cell-times file yet: an empty list, icons on and built.
    EXPECT_EQ(f.List1->count(), 0);
    EXPECT_TRUE(f.Check_ChapterIcons->isChecked());
    EXPECT_EQ(Tag(f.Check_ChapterIcons), "1");
    EXPECT_TRUE(fx.messages.messages.empty());
}

TEST_F(EditorStart, CaptionsFollowTheLanguage) {
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    SetLangBase(2000);
    ASSERT_TRUE(fx.Load());
    EXPECT_EQ(fx.form->Command4->text(), "Ende");
    EXPECT_EQ(fx.form->Check_SaveAsZero->text(), "Als 00:00:00.000 erstellen");
    EXPECT_EQ(fx.form->Command_SavePic->text(), "Bild+Kapitel speichern");
}

TEST_F(EditorStart, ElementaryStreamKeepsItsHeaderBytes) {
    const QString video = TestVideo(QStringLiteral("pal.m2v"));
    ASSERT_TRUE(fx.Start(video));
    const QByteArray file = ReadAll(video);
    const qsizetype gop = file.indexOf(QByteArray::fromHex("000001B8"));
    ASSERT_GT(gop, 0);
    EXPECT_EQ(GlobalVars().StreamHeader, file.left(gop));
}

TEST_F(EditorStart, ElementaryStreamWithoutGopHeaderEndsTheProgram) {
    QByteArray bytes = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    // Push the first GOP header out of the first 100000 bytes.
    const qsizetype gop = bytes.indexOf(QByteArray::fromHex("000001B8"));
    bytes.insert(gop, QByteArray(120000, char(0xFF)));
    const QString video = videoDir.filePath(QStringLiteral("nogop.m2v"));
    ASSERT_TRUE(WriteAll(video, bytes));
    EXPECT_FALSE(fx.Start(video));
    EXPECT_TRUE(fx.form->EndProgram);
    EXPECT_EQ(fx.messages.texts(), QStringList{"No GOP Header found"});
}

TEST_F(EditorStart, OutputFolderIsSettledAndProbed) {
    const QString video = CopyVideo(videoDir, QStringLiteral("pal.mpg"));
    // No output folder given: the video's folder. An existing probe file is left alone.
    const QString existing = videoDir.filePath(QStringLiteral("test###1.t#t"));
    ASSERT_TRUE(WriteAll(existing, "keep"));
    fx.Prepare(video);
    GlobalVars().OutDir.clear();
    ASSERT_TRUE(fx.Load());
    EXPECT_EQ(GlobalVars().OutDir, videoDir.path());
    EXPECT_EQ(ReadAll(existing), "keep");
    EXPECT_EQ(FilesIn(videoDir.path()), (QStringList{"pal.mpg", "test###1.t#t"}));
    EXPECT_EQ(fx.form->Session->CellTimesPath,
              videoDir.filePath(QStringLiteral("pal_Celltimes.txt")));
}

TEST_F(EditorStart, UnwritableOutputFolderFallsBackToTheProgramFolder) {
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    GlobalVars().OutDir = QStringLiteral("/proc"); // even root cannot create files there
    ASSERT_TRUE(fx.Load());
    EXPECT_EQ(GlobalVars().OutDir, fx.appDir.path());
    EXPECT_TRUE(FilesIn(fx.appDir.path()).isEmpty());
    EXPECT_EQ(fx.form->Session->CellTimesPath,
              fx.appDir.filePath(QStringLiteral("pal_Celltimes.txt")));
}

// An output folder whose chapter file path is too long for saving.
void EditorStart::PrepareOverlongOutDir() {
    QString deep = fx.outDir.path();
    while (deep.size() < 260)
        deep += QStringLiteral("/folder_with_a_long_name_for_the_path_test");
    ASSERT_TRUE(QDir().mkpath(deep));
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    GlobalVars().OutDir = deep;
}

TEST_F(EditorStart, OverlongPathDisablesSaving) {
    ASSERT_NO_FATAL_FAILURE(PrepareOverlongOutDir());
    ASSERT_TRUE(fx.Load());
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(f.Session->PathTooLong, FlagTrue);
    EXPECT_EQ(f.Session->SaveAllowed, FlagFalse);
    EXPECT_FALSE(f.Command_SavePic->isEnabled());
    for (QWidget* w :
         {static_cast<QWidget*>(f.Command_CreateChapters),
          static_cast<QWidget*>(f.Command_GetChapterFile), static_cast<QWidget*>(f.Command_Delete),
          static_cast<QWidget*>(f.List1), static_cast<QWidget*>(f.Command_CropDialog)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(fx.messages.texts(), QStringList{"Path/filename to long! Max. 235 characters."});
    // "Use TimeOffset" does nothing then, and the button stays off whatever the options.
    f.Check_NoChapter->setChecked(true);
    EXPECT_FALSE(f.Command_SavePic->isEnabled());
}

TEST_F(EditorStart, OverlongPathIsNotReportedInAutomaticMode) {
    ASSERT_NO_FATAL_FAILURE(PrepareOverlongOutDir());
    GlobalVars().AutoMode = FlagTrue;
    EXPECT_EQ(RunAutomatic(GlobalVars()), 3);
    EXPECT_EQ(fx.messages.texts(), QStringList{"Sorry, automatic failed"});
}

TEST_F(EditorStart, ChaptersOfAnEarlierRunAreLoaded) {
    const struct {
        QByteArray file;
        QStringList expected;
        bool iconsBuilt;
    } cases[] = {
        {"00:00:00.000\r\n00:05:00.000\r\n", {"00:00:00.000", "00:05:00.000"}, false},
        {"My chapters\r\n\r\n00:01:00.000,00:02:00.000\r\n",
         {"00:01:00.000", "00:02:00.000"},
         false},
        {"00:00:00.000\n00:05:00.000,00:10:00.000\n",
         {"00:00:00.000", "00:05:00.000", "00:10:00.000"},
         false},
        // Nothing usable: the list keeps its design-time entry.
        {"no times here\r\n", {"00:00:00.000"}, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt")), c.file));
        ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
        EXPECT_EQ(Entries(fx.form->List1), c.expected) << c.file.constData();
        EXPECT_FALSE(fx.form->Check_ChapterIcons->isChecked());
        EXPECT_EQ(Tag(fx.form->Check_ChapterIcons), "0");
    }
}

TEST_F(EditorStart, StreamNotStartingAtZeroNeedsTheOffset) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("tc10h.m2v"))));
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(f.Text1->text(), "10:00:00.000");
    EXPECT_FALSE(f.Check_UseOffset->isHidden());
    EXPECT_FALSE(f.Check_UseOffset->isChecked());
    EXPECT_FALSE(f.Command_CreateChapters->isEnabled());
    EXPECT_FALSE(f.Command_CreateChapters2->isEnabled());
    EXPECT_FALSE(f.Command_CreateChapters3->isEnabled());
    EXPECT_EQ(f.Session->SaveAllowed, FlagFalse);
    EXPECT_EQ(f.Command_SavePic->text(), "Save image");

    f.Check_UseOffset->setChecked(true);
    EXPECT_EQ(f.Text1->text(), "00:00:00.000");
    EXPECT_EQ(f.Session->SaveAllowed, FlagTrue);
    EXPECT_TRUE(f.Command_CreateChapters->isEnabled());
    EXPECT_FALSE(f.Command_CreateChapters3->isEnabled()); // List2 is hidden
    EXPECT_EQ(f.Command_SavePic->text(), "Save image+chapter");

    f.Check_UseOffset->setChecked(false);
    EXPECT_EQ(f.Text1->text(), "10:00:00.000");
    EXPECT_EQ(f.Session->SaveAllowed, FlagFalse);
}

TEST_F(EditorStart, CommandLineOptionsSetTheSaveControls) {
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    Global_var_module& g = GlobalVars();
    g.ClipSeconds = 10;
    g.MarkOnly = FlagTrue;
    g.CropGiven = FlagTrue;
    g.CropLeft = 16;
    g.CropTop = 0;
    g.CropRight = 4;
    g.CropBottom = 12;
    ASSERT_TRUE(fx.Load());
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(f.Text_Sec->text(), "10");
    EXPECT_TRUE(f.Option_Clips->isChecked());
    EXPECT_TRUE(f.Check_ChapterOnly->isChecked());
    EXPECT_FALSE(f.Option_Pics->isEnabled());
    EXPECT_EQ(f.Command_SavePic->text(), "Set chapter mark");
    EXPECT_TRUE(f.Check_Crop->isChecked());
    // Bars of margins above 0 are shown, on the edges of the picture.
    const QRect frame = f.Picture1->geometry();
    EXPECT_TRUE(f.Picture_oben->isHidden());
    EXPECT_FALSE(f.Picture_links->isHidden());
    EXPECT_EQ(f.Picture_links->geometry(), QRect(frame.left(), frame.top(), 16, frame.height()));
    EXPECT_EQ(f.Picture_rechts->geometry(),
              QRect(frame.right() + 1 - 4, frame.top(), 4, frame.height()));
    EXPECT_EQ(f.Picture_unten->geometry(),
              QRect(frame.left(), frame.bottom() + 1 - 12, frame.width(), 12));
    EXPECT_EQ(f.Picture_links->backColor(), QColor(Qt::white));
}

TEST_F(EditorStart, ClipLengthOutOfRangeLeavesTheDesign) {
    for (int seconds : {0, 999, 5000}) {
        fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
        GlobalVars().ClipSeconds = seconds;
        ASSERT_TRUE(fx.Load());
        EXPECT_TRUE(fx.form->Option_Pics->isChecked()) << seconds;
        EXPECT_EQ(fx.form->Text_Sec->text(), "10") << seconds;
    }
}

TEST_F(EditorStart, ClosingAsksWhenTheListDoesNotStartAtZero) {
    ASSERT_TRUE(
        WriteAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt")), "00:05:00.000\r\n"));
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    f.show();
    fx.messages.answers = {MessageResult::Cancel};
    f.close();
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(fx.messages.messages.size(), 1u);
    EXPECT_EQ(fx.messages.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(fx.messages.messages[0].text.split(QStringLiteral("\r\n")).size(), 3);
    EXPECT_TRUE(fx.messages.messages[0].text.startsWith(
        QStringLiteral("Warning: No chapter '00:00:00' created.")));
    fx.messages.answers = {MessageResult::Ok};
    f.close();
    EXPECT_FALSE(f.isVisible());
}

TEST_F(EditorStart, ClosingWithZeroFirstOrWhilePlaying) {
    ASSERT_TRUE(WriteAll(fx.outDir.filePath(QStringLiteral("pal_Celltimes.txt")),
                         "00:00:00.000\r\n00:05:00.000\r\n"));
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    f.show();
    f.Session->Playing = FlagTrue;
    f.close();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Session->Playing, FlagFalse);
    f.close();
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(fx.messages.messages.empty());
}

} // namespace
