#include "editor/MpegLibForm.h"

#include "chapters/Timecode.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "viewer/MpegLibModule.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

void MpegLibForm::ConnectSaveOptions() {
    connect(Text1, &QLineEdit::textChanged, this, [this] { EnableSaveButton(SaveButtonWanted); });
    // A box's handler runs whenever its value changes, also when the program sets it.
    connect(Check_ChapterOnly, &QCheckBox::stateChanged, this,
            [this] { Check_ChapterOnly_Click(); });
    connect(Check_NoChapter, &QCheckBox::stateChanged, this, [this] { Check_NoChapter_Click(); });
    connect(Check_UseOffset, &QCheckBox::stateChanged, this, [this] { Check_UseOffset_Click(); });
    connect(Check_SingleField, &QCheckBox::stateChanged, this,
            [this] { Check_SingleField_Click(); });
    connect(Check_ScaleRGB, &QCheckBox::stateChanged, this, [this] { Check_ScaleRGB_Click(); });
    connect(Option_Pics, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Pics_Click();
    });
    connect(Option_Clips, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Clips_Click();
    });
}

void MpegLibForm::UpdateSaveButton() {
    if (PathTooLong != FlagFalse) {
        EnableSaveButton(false);
        return;
    }
    const bool markAllowed = SaveAllowed != FlagFalse && AtGopStart != FlagFalse;
    if (Check_ChapterOnly->isChecked()) {
        Command_SavePic->setText(LoadLangString(265));
        EnableSaveButton(markAllowed);
        return;
    }
    const bool clip = Option_Clips->isChecked();
    if (Check_NoChapter->isChecked()) {
        Check_SaveAsZero->setEnabled(true);
        Command_SavePic->setText(LoadLangString(clip ? 247 : 246));
        return;
    }
    Check_SaveAsZero->setEnabled(false);
    Check_SaveAsZero->setChecked(false);
    if (markAllowed)
        Command_SavePic->setText(LoadLangString(clip ? 245 : 244));
    else
        Command_SavePic->setText(LoadLangString(clip ? 247 : 246));
}

void MpegLibForm::EnableSaveButton(bool enabled) {
    SaveButtonWanted = enabled;
    Command_SavePic->setEnabled(enabled && ShownTimecodeKnown());
}

bool MpegLibForm::ShownTimecodeKnown() const {
    return IsTimecode(Text1->text());
}

void MpegLibForm::Option_Pics_Click() {
    if (Option_Pics->isChecked()) {
        Option_Clips->setChecked(false);
        EnableSaveButton(true);
    } else {
        Option_Clips->setChecked(true);
        EnableSaveButton(AtGopStart != FlagFalse);
    }
    UpdateSaveButton();
}

void MpegLibForm::Option_Clips_Click() {
    // A clip can start only at a GOP start.
    if (Option_Clips->isChecked()) {
        Option_Pics->setChecked(false);
        EnableSaveButton(AtGopStart != FlagFalse);
    } else {
        Option_Pics->setChecked(true);
        EnableSaveButton(true);
    }
    UpdateSaveButton();
}

void MpegLibForm::Check_ChapterOnly_Click() {
    // "Mark only" and "No Mark" are never both checked.
    if (Check_ChapterOnly->isChecked()) {
        Check_NoChapter->setChecked(false);
        Option_Pics->setEnabled(false);
        Option_Clips->setEnabled(false);
    } else {
        Option_Pics->setEnabled(true);
        Option_Clips->setEnabled(true);
    }
    UpdateSaveButton();
}

void MpegLibForm::Check_NoChapter_Click() {
    if (Check_NoChapter->isChecked())
        Check_ChapterOnly->setChecked(false);
    UpdateSaveButton();
}

void MpegLibForm::Check_UseOffset_Click() {
    if (PathTooLong != FlagFalse)
        return;
    const bool on = Check_UseOffset->isChecked();
    Text1->setText(on ? DisplayTimecode(CurrentTimecode) : CurrentTimecode);
    Command_CreateChapters->setEnabled(on);
    Command_CreateChapters2->setEnabled(on);
    Command_CreateChapters3->setEnabled(on && !List2->isHidden());
    SaveAllowed = ToFlag(on);
    UpdateSaveButton();
}

void MpegLibForm::Check_SingleField_Click() {
    GlobalVars().SingleField = ToFlag(Check_SingleField->isChecked());
}

void MpegLibForm::Check_ScaleRGB_Click() {
    MpegLib().ScaleRgb = ToFlag(Check_ScaleRGB->isChecked());
    // Reopening through the slider's jump hands the new flag to the decoder and redraws.
    Slider1_Change();
}

QString MpegLibForm::DisplayTimecode(const QString& timecode) {
    if (!Check_UseOffset->isChecked())
        return timecode;
    const OffsetTimecode shifted =
        ApplyTimeOffset(timecode, FirstGopTimecode, !Check_UseOffset->isHidden());
    if (shifted.beforeFirstGop)
        setWindowTitle(GlobalVars().VideoFile + QStringLiteral("  Wrong timecode found!!!"));
    return shifted.text;
}
