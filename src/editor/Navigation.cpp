#include "editor/MpegLibForm.h"

#include "chapters/GopLocator.h"
#include "chapters/Timecode.h"
#include "editor/EventWatch.h"
#include "editor/PositionSlider.h"
#include "shell/GlobalVars.h"
#include "viewer/MpegLibModule.h"
#include "viewer/PictureBox.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <functional>

namespace {

// The step buttons repeat while held: the first repeat after FirstRepeatMs, then as fast as the
// steps allow.
constexpr int FirstRepeatMs = 300;
constexpr int NextRepeatMs = 10;

// A program stream is entered this many bytes before a GOP header (when it lies beyond
// SeekBackLimit), so that the decoder meets the pack that carries the header.
constexpr qint64 SeekBack = 256;
constexpr qint64 SeekBackLimit = 300;

// The thumb's centre runs from ThumbMargin to width - ThumbMargin; a press counts as a grab
// within ThumbGrab pixels of it.
constexpr int ThumbMargin = 13;
constexpr int ThumbGrab = 8;
// Text3 stands this far left of the pointer, roughly centred over it.
constexpr int Text3PointerOffset = 12;
constexpr int Text3Chars = 8;

enum RepeatStep : qint16 { NoRepeat = 0, RepeatPicture = 1, RepeatNextGop = 2, RepeatBackGop = 3 };

// A byte position computed from the slider: rounded to the 1/10000 byte that positions carry, then
// cut to whole bytes, so that a product a hair below a whole byte counts as that byte.
qint64 WholeBytes(double bytes) {
    return TruncatePosition(std::nearbyint(bytes * 10000.0) / 10000.0);
}

} // namespace

void MpegLibForm::ConnectNavigation() {
    const struct {
        QPushButton* button;
        qint16 action;
        void (MpegLibForm::*click)();
    } steps[] = {
        {Command_NextFrame, RepeatPicture, &MpegLibForm::Command_NextFrame_Click},
        {Command_NextIFrame, RepeatNextGop, &MpegLibForm::Command_NextIFrame_Click},
        {Command_StepBack, RepeatBackGop, &MpegLibForm::Command_StepBack_Click},
    };
    // A button emits released before clicked, so a held button stops repeating before the
    // click's own step runs.
    for (const auto& step : steps) {
        connect(step.button, &QPushButton::clicked, this, step.click);
        connect(step.button, &QPushButton::pressed, this,
                [this, action = step.action] { StepButton_MouseDown(action); });
        connect(step.button, &QPushButton::released, this, &MpegLibForm::StepButton_MouseUp);
    }
    connect(Timer1, &QTimer::timeout, this, &MpegLibForm::Timer1_Timer);

    connect(Slider1, &PositionSlider::keyDown, this, &MpegLibForm::Slider1_KeyDown);
    connect(Slider1, &PositionSlider::mouseDown, this, &MpegLibForm::Slider1_MouseDown);
    connect(Slider1, &PositionSlider::mouseMove, this, &MpegLibForm::Slider1_MouseMove);
    connect(Slider1, &PositionSlider::mouseUp, this, &MpegLibForm::Slider1_MouseUp);
    connect(Slider1, &PositionSlider::userChanged, this, [this] { Slider1_Change(); });

    connect(Picture1, &PictureBox::keyReleased, this, &MpegLibForm::Picture1_KeyUp);
    // Text1 shows the timecode that becomes chapter names and file names: keys are not typed
    // into it but move the focus on to the slider.
    new EventWatch(
        Text1, QEvent::KeyPress, [this](int key) { Text1_KeyDown(key); }, true);
}

// ---- Shared steps ---------------------------------------------------------------------------

void MpegLibForm::ShowTimecode() {
    Text1->setText(DisplayTimecode(CurrentTimecode));
}

qint64 MpegLibForm::SeekTarget(qint64 pos) const {
    if (GlobalVars().StreamHeader.isEmpty() && pos > SeekBackLimit)
        return pos - SeekBack;
    return pos;
}

void MpegLibForm::SetSlider() {
    int value = 0;
    if (BytesPerStep > 0) {
        const double steps = std::floor(double(CurrentPos) / BytesPerStep);
        value = int(qBound(0.0, steps, double(PositionSlider::Maximum)));
    }
    SliderBusy = FlagTrue;
    Slider1->setValue(value);
    SliderBusy = FlagFalse;
}

void MpegLibForm::JumpToGop() {
    ClipStartPos = CurrentPos;
    const qint64 target = SeekTarget(CurrentPos);
    UsePreviewPos = FlagFalse;
    MpegLib().OpenDecoder(false);
    MpegLib().SeekAndRender(target);
    SetSlider();
}

QString MpegLibForm::FindGop(qint64 pos, SearchDirection direction, bool move) {
    const GopSearchResult result = FindGopTimecode(SearchContext(), pos, direction);
    if (move && result.found)
        CurrentPos = result.headerPos;
    return result.timecode;
}

// ---- Steps ----------------------------------------------------------------------------------

void MpegLibForm::NextPictureStep() {
    const qint64 before = CurrentPos;
    MpegLib().RenderNextFrame(CurrentPos);
    // The decoder's position stands still once the last picture is out.
    if (CurrentPos == before)
        return;
    CurrentTimecode = StepTimecode(CurrentTimecode, Text1->text(), GlobalVars().FrameRate);
    ShowTimecode();
    SetSlider();
    // During playback this button is disabled and the save button is left to playback.
    if (Command_NextFrame->isEnabled())
        EnableSaveButton(Option_Pics->isChecked());
    AtGopStart = FlagFalse;
    UpdateSaveButton();
}

void MpegLibForm::NextGopStep() {
    if (CurrentPos + GopWalkStep >= GlobalVars().LastGopPos)
        return;
    MpegLib().CloseDecoder();
    CurrentPos = CurrentPos + GopWalkStep;
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Forward, true);
    ShowTimecode();
    JumpToGop();
    EnableSaveButton(true);
    AtGopStart = FlagTrue;
    UpdateSaveButton();
}

void MpegLibForm::PreviousGopStep() {
    if (CurrentPos <= GopWalkStep)
        return;
    MpegLib().CloseDecoder();
    CurrentPos = CurrentPos - GopWalkStep;
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Backward, true);
    ShowTimecode();
    JumpToGop();
    EnableSaveButton(true);
    AtGopStart = FlagTrue;
    UpdateSaveButton();
}

void MpegLibForm::Command_NextFrame_Click() {
    NextPictureStep();
}

void MpegLibForm::Command_NextIFrame_Click() {
    NextGopStep();
}

void MpegLibForm::Command_StepBack_Click() {
    PreviousGopStep();
}

// ---- Held buttons and the timer -------------------------------------------------------------

void MpegLibForm::StepButton_MouseDown(qint16 action) {
    RepeatAction = action;
    Timer1->setInterval(FirstRepeatMs);
    Timer1->start();
}

void MpegLibForm::StepButton_MouseUp() {
    RepeatAction = NoRepeat;
    Timer1->stop();
}

void MpegLibForm::Timer1_Timer() {
    if (GlobalVars().AutoMode != FlagFalse) {
        // One tick ends the automatic run. Stopped first: a close the user cancels must not be
        // asked again on every later tick, nor from inside the question's own event loop.
        Timer1->stop();
        close();
        return;
    }
    Timer1->setInterval(NextRepeatMs);
    switch (RepeatAction) {
    case RepeatPicture:
        NextPictureStep();
        break;
    case RepeatNextGop:
        NextGopStep();
        break;
    case RepeatBackGop:
        PreviousGopStep();
        break;
    default:
        break;
    }
}

// ---- Keys -----------------------------------------------------------------------------------

void MpegLibForm::Slider1_KeyDown(int key, bool* handled) {
    if (key != Qt::Key_Right)
        return;
    NextGopStep();
    // The GOP step replaces the slider's own small step.
    if (handled)
        *handled = true;
}

void MpegLibForm::Picture1_KeyUp(int key) {
    if (key == Qt::Key_Right)
        NextGopStep();
    else if (key == Qt::Key_Left)
        PreviousGopStep();
}

void MpegLibForm::Text1_KeyDown(int) {
    Slider1->setFocus();
}

// ---- Slider ---------------------------------------------------------------------------------

void MpegLibForm::Slider1_MouseDown(int x) {
    const double thumb = ThumbMargin + double(Slider1->width() - 2 * ThumbMargin) *
                                           Slider1->value() / PositionSlider::Maximum;
    if (!(thumb - ThumbGrab < x && x < thumb + ThumbGrab))
        return;
    MpegLib().DecoderPos = CurrentPos;
    Dragging = FlagTrue;
    Text3->setText(Text1->text().left(Text3Chars));
    Text3->move(Slider1->x() + x - Text3PointerOffset, Text3->y());
    Text3->show();
}

void MpegLibForm::Slider1_MouseMove(int x) {
    if (Dragging == FlagFalse)
        return;
    if (std::abs(Slider1->value() * BytesPerStep - double(CurrentPos)) > DragThreshold)
        PreviewSliderPosition(x);
}

void MpegLibForm::PreviewSliderPosition(int x) {
    MpegLib().CloseDecoder();
    CurrentPos = WholeBytes(Slider1->value() * BytesPerStep);
    Text3->move(Slider1->x() + x - Text3PointerOffset, Text3->y());
    const qint64 target = SeekTarget(CurrentPos);
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Backward, false);
    Text3->setText(DisplayTimecode(CurrentTimecode).left(Text3Chars));
    UsePreviewPos = FlagTrue;
    MpegLib().OpenDecoder(false);
    MpegLib().SeekAndRender(target);
    Slider1->update();
}

void MpegLibForm::Slider1_MouseUp(int) {
    Dragging = FlagFalse;
    Text3->hide();
    if (UsePreviewPos == FlagFalse)
        return;
    // A drag that previewed but ends on the value it started from raises no change event: the
    // picture would stay on the preview while CurrentPos and the timecode describe the preview
    // position and Text1 the old one. The change event, when one comes, follows this handler at
    // once and clears UsePreviewPos; otherwise the jump is made here, one turn of the loop later.
    QTimer::singleShot(0, this, [this] {
        if (UsePreviewPos != FlagFalse && Dragging == FlagFalse)
            Slider1_Change();
    });
}

void MpegLibForm::Slider1_Change() {
    if (SliderBusy != FlagFalse)
        return;
    Dragging = FlagFalse;
    MpegLib().CloseDecoder();
    // After a preview the jump starts from where the decoder actually entered the stream.
    CurrentPos = UsePreviewPos != FlagFalse ? MpegLib().DecoderPos
                                            : WholeBytes(Slider1->value() * BytesPerStep);
    UsePreviewPos = FlagFalse;
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Backward, true);
    ShowTimecode();
    JumpToGop();
    AtGopStart = FlagTrue;
}
