#include "editor/MpegLibForm.h"

#include "crop/PictureBox.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "session/EditorSession.h"
#include "shell/LangStrings.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

// The slider control here has no value tooltip, so there is nothing to switch.
int SetSliderTipActive(QWidget*, bool) {
    return 0;
}

bool MpegLibForm::Form_Load() {

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
    Dragging = FlagFalse;
    ActiveList = 1;
    ArrangeControls();

    if (!Session->Start()) {
        EndProgram = Session->EndProgram;
        return false;
    }
    DragThreshold =
        float(std::floor(32000.0 / (12855.0 / TwipsPerPixelX())) * Session->BytesPerStep);
    if (Session->PathTooLong != FlagFalse) {
        for (QWidget* control :
             {static_cast<QWidget*>(Command_GetChapterFile),
              static_cast<QWidget*>(Command_GetChapterClipBoard),
              static_cast<QWidget*>(Command_Delete), static_cast<QWidget*>(List1),
              static_cast<QWidget*>(Command_CropDialog)})
            control->setEnabled(false);
    }
    ShowPicture();
    ShowPosition();
    ShowChapters();
    ShowFileChapters();
    // Icons are built lazily once chapters came from a file.
    Check_ChapterIcons->setChecked(Session->IconsBuilt);
    PlaceCropBars();
    {
        const QSignalBlocker blocker(Check_Crop);
        Check_Crop->setChecked(Session->Crop);
    }
    if (Session->Crop)
        Check_Crop_Click();
    update();
    return true;
}

void MpegLibForm::Form_QueryUnload(bool& cancel) {
    cancel = Session->QueryUnload();
}

void MpegLibForm::Form_Unload() {
    Timer1->stop();
    Session->Unload();
}
