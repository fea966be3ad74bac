#include "editor/MpegLibForm.h"

#include "chapters/Timecode.h"
#include "editor/PositionSlider.h"
#include "shell/GlobalVars.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace {

// Playback stops by itself when the picture no longer changes this close to the end of the file.
constexpr qint64 EndZone = 100000;

constexpr qint64 NsPerMs = 1000000;

// Windows whose play loop is running. A Pause and a Play handled in the same wait hand the
// running loop back its work instead of starting a second loop inside it.
QList<const MpegLibForm*>& RunningLoops() {
    static QList<const MpegLibForm*> loops;
    return loops;
}

// Handles events until `deadlineNs` on `clock`; returns early once playback was stopped or the
// window is gone. Events are handled at least once, also when the step already used up the
// frame period. The wait blocks in the event loop, woken by the next event or by a timer shortly
// before the deadline, and sleeps the last fraction of a millisecond.
void WaitForFrameTime(const QPointer<MpegLibForm>& form, const QElapsedTimer& clock,
                      qint64 deadlineNs) {
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (form.isNull() || form->Playing == FlagFalse)
            return;
        const qint64 remaining = deadlineNs - clock.nsecsElapsed();
        if (remaining <= 0)
            return;
        if (remaining > NsPerMs) {
            // Whole milliseconds only: the timer must not wake the loop after the deadline.
            wake.start(int((remaining - 1) / NsPerMs));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            wake.stop();
        } else {
            QThread::usleep(static_cast<unsigned long>(remaining / 1000));
        }
    }
}

} // namespace

void MpegLibForm::ConnectPlayback() {
    connect(Command2, &QPushButton::clicked, this, &MpegLibForm::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MpegLibForm::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MpegLibForm::Command4_Click);
}

void MpegLibForm::StartPlayback() {
    // Playback that ended by itself or by a close leaves its controls disabled until Stop; a new
    // start from there keeps the state saved by the first one.
    if (Command_NextFrame->isEnabled())
        SavedCreateEnabled = ToFlag(Command_CreateChapters->isEnabled());
    Command_NextFrame->setEnabled(false);
    Command2->setText(QStringLiteral("Pause"));
    for (QWidget* control : std::initializer_list<QWidget*>{
             Command4, Command_NextIFrame, Command_StepBack, Check_ScaleRGB, Command_CreateChapters,
             Command_CreateChapters2, Command_CreateChapters3, Command_GetChapterFile,
             Command_Delete, List1, List2, Option_Clips, Option_Pics, Slider1, Check_UseOffset})
        control->setEnabled(false);
    EnableSaveButton(false);
    Playing = FlagTrue;
    if (RunningLoops().contains(this))
        return;

    RunningLoops().append(this);
    const QPointer<MpegLibForm> self(this);
    const qint64 period = FramePeriodNs(GlobalVars().FrameRate);
    QElapsedTimer clock;
    clock.start();
    // Frame start to frame start: a step that takes longer than the period is followed at once
    // by the next, and no picture is skipped to catch up.
    while (Playing != FlagFalse) {
        const qint64 target = clock.nsecsElapsed() + period;
        const qint64 before = CurrentPos;
        NextPictureStep();
        WaitForFrameTime(self, clock, target);
        if (self.isNull())
            break;
        if (FileLength - CurrentPos < EndZone && CurrentPos == before)
            Playing = FlagFalse;
    }
    RunningLoops().removeOne(this);
}

void MpegLibForm::RestorePlaybackControls() {
    Command_NextFrame->setEnabled(true);
    Command2->setText(QStringLiteral("Play"));
    for (QWidget* control : std::initializer_list<QWidget*>{Command4, Command_NextIFrame,
                                                            Command_StepBack, Check_ScaleRGB})
        control->setEnabled(true);
    if (Option_Pics->isChecked())
        EnableSaveButton(true);
    const bool create = SavedCreateEnabled != FlagFalse;
    Command_CreateChapters->setEnabled(create);
    Command_CreateChapters2->setEnabled(create);
    if (!List2->isHidden())
        Command_CreateChapters3->setEnabled(create);
    // The chapter file controls follow the chapter file's path, as the editor start set them:
    // a path too long keeps them off.
    const bool chapterFile = PathTooLong == FlagFalse;
    Command_GetChapterFile->setEnabled(chapterFile);
    Command_Delete->setEnabled(chapterFile);
    List1->setEnabled(chapterFile);
    List2->setEnabled(true);
    // "Mark only" keeps the choice between images and clips off.
    const bool kinds = !Check_ChapterOnly->isChecked();
    Option_Clips->setEnabled(kinds);
    Option_Pics->setEnabled(kinds);
    AtGopStart = FlagFalse;
    UpdateSaveButton();
    Slider1->setEnabled(true);
    if (!Check_UseOffset->isHidden())
        Check_UseOffset->setEnabled(true);
}

void MpegLibForm::Command2_Click() {
    if (Playing != FlagFalse) {
        Playing = FlagFalse;
        RestorePlaybackControls();
    } else {
        StartPlayback();
    }
}

void MpegLibForm::Command3_Click() {
    Playing = FlagFalse;
    // With no playback holding the controls there is nothing to restore; doing it anyway would
    // take the GOP start away from the picture shown.
    if (Command_NextFrame->isEnabled())
        return;
    RestorePlaybackControls();
}

void MpegLibForm::Command4_Click() {
    if (Playing == FlagFalse)
        close();
}
