#include "editor/MpegLibForm.h"

#include "editor/PositionSlider.h"
#include "session/EditorSession.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

void MpegLibForm::ConnectSaveOptions() {
    // A box's handler runs whenever its value changes by the user; the session's answer is shown
    // without running the handlers again.
    connect(Check_ChapterOnly, &QCheckBox::stateChanged, this,
            [this] { Check_ChapterOnly_Click(); });
    connect(Check_NoChapter, &QCheckBox::stateChanged, this, [this] { Check_NoChapter_Click(); });
    connect(Check_UseOffset, &QCheckBox::stateChanged, this, [this] { Check_UseOffset_Click(); });
    connect(Check_SingleField, &QCheckBox::stateChanged, this,
            [this] { Check_SingleField_Click(); });
    connect(Check_ScaleRGB, &QCheckBox::stateChanged, this, [this] { Check_ScaleRGB_Click(); });
    connect(Check_SaveAsZero, &QCheckBox::stateChanged, this,
            [this] { Session->SetSaveAsZero(Check_SaveAsZero->isChecked()); });
    connect(Text_Sec, &QLineEdit::textChanged, this,
            [this](const QString& text) { Session->SetClipSecondsText(text); });
    connect(Option_Pics, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Pics_Click();
    });
    connect(Option_Clips, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Clips_Click();
    });
}

void MpegLibForm::Option_Pics_Click() {
    Session->SetClips(!Option_Pics->isChecked());
}

void MpegLibForm::Option_Clips_Click() {
    Session->SetClips(Option_Clips->isChecked());
}

void MpegLibForm::Check_ChapterOnly_Click() {
    Session->SetChapterOnly(Check_ChapterOnly->isChecked());
}

void MpegLibForm::Check_NoChapter_Click() {
    Session->SetNoChapter(Check_NoChapter->isChecked());
}

void MpegLibForm::Check_UseOffset_Click() {
    Session->SetUseOffset(Check_UseOffset->isChecked());
}

void MpegLibForm::Check_SingleField_Click() {
    Session->SetSingleField(Check_SingleField->isChecked());
}

void MpegLibForm::Check_ScaleRGB_Click() {
    Session->SetScaleRgb(Check_ScaleRGB->isChecked(), Slider1->value());
}
