#include "editor/MpegLibForm.h"

#include "crop/CropBars.h"
#include "crop/CropDialog.h"
#include "crop/PictureBox.h"
#include "session/EditorSession.h"
#include "shell/GlobalVars.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

CropTargets CropTargetsOf(const MpegLibForm& form) {
    return {form.Check_Crop,    form.Picture1,      form.Picture_oben,
            form.Picture_unten, form.Picture_links, form.Picture_rechts};
}

} // namespace

void MpegLibForm::ConnectCrop() {
    connect(Check_Crop, &QCheckBox::stateChanged, this, [this] { Check_Crop_Click(); });
    connect(Command_CropDialog, &QPushButton::clicked, this,
            [this] { Command_CropDialog_Click(); });
}

void MpegLibForm::Command_CropDialog_Click() {
    const CropTargets targets = CropTargetsOf(*this);
    Crop_Dialog dialog(targets, this);
    dialog.exec();
}

void MpegLibForm::PlaceCropBars() {
    const Global_var_module& g = GlobalVars();
    const CropTargets targets = CropTargetsOf(*this);
    SetCropBarColor(targets, Qt::white);
    ::PlaceCropBars(targets, g.CropLeft, g.CropTop, g.CropRight, g.CropBottom);
}

void MpegLibForm::Check_Crop_Click() {
    const Global_var_module& g = GlobalVars();
    Session->SetCrop(Check_Crop->isChecked());
    if (Check_Crop->isChecked()) {
        // Bars of a zero margin keep whatever visibility they had.
        if (g.CropTop > 0)
            Picture_oben->show();
        if (g.CropLeft > 0)
            Picture_links->show();
        if (g.CropBottom > 0)
            Picture_unten->show();
        if (g.CropRight > 0)
            Picture_rechts->show();
    } else {
        for (PictureBox* bar : {Picture_oben, Picture_links, Picture_unten, Picture_rechts})
            bar->hide();
    }
}
