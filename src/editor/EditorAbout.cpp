#include "editor/MpegLibForm.h"

// Placeholder body so that the library links while the about box is being written.
void MpegLibForm::Command1_Click() {}
