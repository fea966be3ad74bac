#include "editor/MpegLibForm.h"

#include "chapters/Timecode.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "export/CellTimes.h"
#include "shell/FileNames.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "viewer/MpegLibModule.h"
#include "viewer/PictureBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

namespace {

constexpr int MaxCellTimesPath = 250;
constexpr qint32 HeaderBlock = 100000;

// The first free name "test###<n>.t#t" in the folder.
QString WriteProbeName(const QString& folder) {
    for (int n = 1; n < 1000000; ++n) {
        const QString name = QDir(folder).filePath(QStringLiteral("test###%1.t#t").arg(n));
        if (!QFileInfo::exists(name))
            return name;
    }
    return QString();
}

// True when a new file can be made in the folder; the probe file is removed again.
bool CanWriteProbe(const QString& folder) {
    const QString name = WriteProbeName(folder);
    if (name.isEmpty())
        return false;
    QFile probe(name);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

// The slider control here has no value tooltip, so there is nothing to switch.
int SetSliderTipActive(QWidget*, bool) {
    return 0;
}

bool MpegLibForm::Form_Load() {
    Global_var_module& g = GlobalVars();

    // 1-2: place and captions.
    setGeometry(80, 25, 885, 700);
    Command1->setText(LoadLangString(209));
    Command4->setText(LoadLangString(210));
    Check_NoChapter->setText(LoadLangString(222));
    Check_NoChapter->setToolTip(LoadLangString(264));
    Check_UseOffset->setText(LoadLangString(223));
    Command_Delete->setText(LoadLangString(224));
    Frame3->setTitle(LoadLangString(225));
    Frame2->setTitle(LoadLangString(226));
    Frame1->setTitle(LoadLangString(227));
    Label6->setText(LoadLangString(228));
    Label7->setText(LoadLangString(229));
    Command_SavePic->setText(LoadLangString(230));
    Text2->setText(LoadLangString(231));
    Option_Pics->setText(LoadLangString(232));
    Label5->setText(LoadLangString(233));
    Label4->setText(LoadLangString(234));
    Label1->setText(LoadLangString(235));
    Label3->setText(LoadLangString(236));
    Label2->setText(LoadLangString(237));
    Check_ChapterOnly->setText(LoadLangString(262));
    Check_ChapterOnly->setToolTip(LoadLangString(263));
    const QString zero = QStringLiteral("00:00:00.000");
    Check_SaveAsZero->setText(LoadLangString(261, {QStringLiteral("|1"), zero}));
    SetTag(Check_SaveAsZero, zero);

    // 3-6.
    SetSliderTipActive(Slider1, false);
    Text3->setText(QStringLiteral("00:00:00"));
    const QFontMetrics metrics(Picture1->font());
    const QString widest = QStringLiteral("00:00:000");
    // The box's own frame and margins come on top of the text.
    Text3->resize(metrics.horizontalAdvance(widest) + 8, metrics.height() + 4);
    RepeatAction = 0;
    Playing = FlagFalse;
    MpegLib().ScaleRgb = FlagTrue;
    Dragging = FlagFalse;
    ActiveList = 1;
    ArrangeControls();

    // 7-8: options given on the command line.
    if (g.CropGiven != FlagFalse)
        Check_Crop->setChecked(true);
    if (g.MarkOnly != FlagFalse)
        Check_ChapterOnly->setChecked(true);

    // 9-12: output folder, proven writable.
    FileLength = FileSizeOf(g.VideoFile);
    if (g.OutDir.isEmpty())
        g.OutDir = g.VideoFile.left(qMax<qsizetype>(0, g.VideoFile.lastIndexOf(u'/')));
    if (!CanWriteProbe(g.OutDir))
        g.OutDir = g.AppPath;

    // 13-14: the header bytes an elementary stream needs before any later GOP.
    g.StreamHeader.clear();
    if (g.Muxed == 0) {
        QByteArray head;
        const qint32 got = ReadFileBlockAt(g.VideoFile, HeaderBlock, 0, head);
        const qsizetype gop =
            got > 0 ? FindFirst(QByteArrayView(head.constData(), got), Pattern(StartCode::Gop)) : 0;
        if (gop == 0) {
            ShowMessage(this, LoadLangString(208));
            EndProgram = true;
            return false;
        }
        g.StreamHeader = head.left(gop - 1);
    }

    // 15-16.
    BytesPerStep = double(FileLength) / 32000.0;
    DragThreshold = float(std::floor(32000.0 / (12855.0 / TwipsPerPixelX())) * BytesPerStep);
    setWindowTitle(g.VideoFile + QStringLiteral("   OutDir=") + g.OutDir);

    // 17-18: the first GOP's time code; a stream that does not start at zero needs the offset.
    FirstGopTimecode = ReadFirstGopTimecode(g.VideoFile, g.FrameRate, g.DropFrame != FlagFalse);
    Text1->setText(FirstGopTimecode);
    CurrentTimecode = FirstGopTimecode;
    SaveAllowed = FlagTrue;
    if (Text1->text() != zero) {
        Check_UseOffset->setChecked(false);
        Check_UseOffset->setVisible(true);
        Command_CreateChapters->setEnabled(false);
        Command_CreateChapters2->setEnabled(false);
        Command_CreateChapters3->setEnabled(false);
        SaveAllowed = FlagFalse;
    }

    // 19: the first picture.
    MpegLib().OpenDecoder(true);
    MpegLib().SeekAndRender(0);
    CurrentPos = 0;
    ClipStartPos = 0;
    AtGopStart = FlagTrue;

    // 20-22: the run's chapter file.
    CellTimesPath = CellTimesPathFor(g.OutDir, g.VideoFile);
    if (CellTimesPath.size() > MaxCellTimesPath) {
        SaveAllowed = FlagFalse;
        PathTooLong = FlagTrue;
        for (QWidget* control :
             {static_cast<QWidget*>(Command_CreateChapters),
              static_cast<QWidget*>(Command_CreateChapters2),
              static_cast<QWidget*>(Command_CreateChapters3),
              static_cast<QWidget*>(Command_GetChapterFile),
              static_cast<QWidget*>(Command_GetChapterClipBoard),
              static_cast<QWidget*>(Command_Delete), static_cast<QWidget*>(List1),
              static_cast<QWidget*>(Command_CropDialog)})
            control->setEnabled(false);
        if (g.AutoMode == FlagFalse)
            ShowMessage(this, QStringLiteral("Path/filename to long! Max. 235 characters."));
    } else {
        PathTooLong = FlagFalse;
    }
    UpdateSaveButton();

    // 23: the chapters of an earlier run, or the times given on the command line.
    if (g.AutoMode != FlagFalse) {
        if (!g.ChapterTimes.isEmpty())
            ImportChapterList();
    } else if (FileExists(CellTimesPath)) {
        if (const std::optional<QStringList> entries = ReadCellTimes(CellTimesPath)) {
            List1->clear();
            List1->addItems(*entries);
        }
    } else {
        List1->clear();
        if (!g.ChapterTimes.isEmpty())
            ImportChapterList();
    }
    update();

    // 25: icons are built lazily once chapters came from a file.
    const bool empty = List1->count() == 0;
    SetTag(Check_ChapterIcons, empty ? QStringLiteral("1") : QStringLiteral("0"));
    Check_ChapterIcons->setChecked(empty);

    // 26-27.
    PlaceCropBars();
    if (g.ClipSeconds > 0 && g.ClipSeconds < 999) {
        Text_Sec->setText(QString::number(g.ClipSeconds));
        Option_Clips->setChecked(true);
    }

    // 28: the automatic run.
    if (List2->count() >= 1 && g.AutoMode != FlagFalse && SaveAllowed != FlagFalse) {
        Command_CreateChapters3_Click();
    } else if (g.AutoMode != FlagFalse) {
        ShowMessage(this, QStringLiteral("Sorry, automatic failed"));
        AutoRunFailed = true;
        Timer1->setInterval(10);
        Timer1->start();
    }
    return true;
}

void MpegLibForm::Form_QueryUnload(bool& cancel) {
    if (Playing != FlagFalse) {
        Playing = FlagFalse;
        cancel = true;
        return;
    }
    if (List1->count() >= 1 && List1->item(0)->text() != u"00:00:00.000") {
        const QString lineBreak = QStringLiteral("\r\n");
        const QString question =
            LoadLangString(260, {QStringLiteral("|1"), lineBreak, QStringLiteral("|2"), lineBreak});
        if (ShowMessage(this, question, MessageIcon::Exclamation, MessageButtons::OkCancel) ==
            MessageResult::Cancel)
            cancel = true;
    }
}

void MpegLibForm::Form_Unload() {
    Timer1->stop();
    MpegLib().CloseDecoder();
}
