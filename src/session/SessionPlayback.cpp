#include "session/EditorSession.h"

#include "chapters/Timecode.h"

namespace {

// Playback stops by itself when the picture no longer changes this close to the end of the file.
constexpr qint64 EndZone = 100000;
constexpr qint64 NsPerMs = 1000000;
constexpr qint64 LateTickNs = 2 * NsPerMs;

} // namespace

void EditorSession::StartPlayback() {
    ControlsHeld = true;
    EnableSaveButton(false);
    Playing = FlagTrue;
    emit playingChanged();
    // A Pause and a Play before the next picture's time keep the running pace.
    if (playTimer_.isActive())
        return;
    playClock_.start();
    nextFrameNs_ = 0;
    PlaybackTick();
}

// One picture per frame period, frame start to frame start: a step that takes longer than the
// period is followed at once by the next, and no picture is skipped to catch up.
void EditorSession::PlaybackTick() {
    if (Playing == FlagFalse)
        return;
    // A tick that comes a timer's granularity late keeps the schedule; a step that took longer
    // than the period starts the next frame now.
    const qint64 nowNs = playClock_.nsecsElapsed();
    const qint64 startNs = nowNs <= nextFrameNs_ + LateTickNs ? nextFrameNs_ : nowNs;
    nextFrameNs_ = startNs + FramePeriodNs(g.FrameRate);
    const qint64 before = CurrentPos;
    NextPictureStep();
    if (FileLength - CurrentPos < EndZone && CurrentPos == before) {
        Playing = FlagFalse;
        emit playingChanged();
        return;
    }
    // Whole milliseconds, rounded up: the timer must not fire before the frame's time.
    const qint64 waitNs = qMax<qint64>(0, nextFrameNs_ - playClock_.nsecsElapsed());
    playTimer_.start(int((waitNs + NsPerMs - 1) / NsPerMs));
}

void EditorSession::RestorePlaybackControls() {
    ControlsHeld = false;
    if (!Clips)
        EnableSaveButton(true);
    AtGopStart = FlagFalse;
    UpdateSaveButton();
    emit playingChanged();
}

void EditorSession::Command2_Click() {
    if (Playing != FlagFalse) {
        Playing = FlagFalse;
        RestorePlaybackControls();
    } else {
        StartPlayback();
    }
}

void EditorSession::Command3_Click() {
    Playing = FlagFalse;
    // With no playback holding the controls there is nothing to restore; doing it anyway would
    // take the GOP start away from the picture shown.
    if (!ControlsHeld) {
        emit playingChanged();
        return;
    }
    RestorePlaybackControls();
}
