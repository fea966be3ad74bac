#include "editor/MpegLibForm.h"

#include "shell/AboutDialog.h"

void MpegLibForm::Command1_Click() {
    Dialog_About about(this);
    about.exec();
}
