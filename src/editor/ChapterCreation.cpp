#include "editor/MpegLibForm.h"

// Placeholder bodies so that the library links while the chapter runs are being written.
void MpegLibForm::ConnectChapterCreation() {}
void MpegLibForm::Command_CreateChapters_Click() {}
void MpegLibForm::Command_CreateChapters2_Click() {}
void MpegLibForm::CreateChaptersAuto(bool) {}
void MpegLibForm::Command_CreateChapters3_Click() {}
