#include "editor/MpegLibForm.h"

#include "about/AboutDialog.h"

void MpegLibForm::Command1_Click() {
    Dialog_About about(this);
    about.exec();
}
