#include "editor/MpegLibForm.h"

#include "session/EditorSession.h"

#include <QPushButton>

void MpegLibForm::ConnectPlayback() {
    connect(Command2, &QPushButton::clicked, this, &MpegLibForm::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MpegLibForm::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MpegLibForm::Command4_Click);
}

void MpegLibForm::Command2_Click() {
    Session->Command2_Click();
}

void MpegLibForm::Command3_Click() {
    Session->Command3_Click();
}

void MpegLibForm::Command4_Click() {
    if (Session->Playing == FlagFalse)
        close();
}
