#include "editor/MpegLibForm.h"

// Placeholder bodies so that the library links while the import is being written.
void MpegLibForm::ConnectChapterImport() {}
void MpegLibForm::ImportChapterList() {}
void MpegLibForm::Command_GetChapterFile_Click() {}
void MpegLibForm::Command_GetChapterClipBoard_Click() {}
