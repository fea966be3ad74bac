#include "editor/MpegLibForm.h"

// Placeholder bodies so that the library links while playback is being written.
void MpegLibForm::ConnectPlayback() {}
void MpegLibForm::StartPlayback() {}
void MpegLibForm::RestorePlaybackControls() {}
void MpegLibForm::Command2_Click() {}
void MpegLibForm::Command3_Click() {}
void MpegLibForm::Command4_Click() {}
