#include "editor/MpegLibForm.h"

#include "crop/PictureBox.h"
#include "editor/EventWatch.h"
#include "editor/PositionSlider.h"
#include "session/EditorSession.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

namespace {

// The step buttons repeat while held: the first repeat after FirstRepeatMs, then as fast as the
// steps allow.
constexpr int FirstRepeatMs = 300;
constexpr int NextRepeatMs = 10;

// The thumb's centre runs from ThumbMargin to width - ThumbMargin; a press counts as a grab
// within ThumbGrab pixels of it.
constexpr int ThumbMargin = 13;
constexpr int ThumbGrab = 8;
// Text3 stands this far left of the pointer, roughly centred over it.
constexpr int Text3PointerOffset = 12;
constexpr int Text3Chars = 8;

enum RepeatStep : qint16 { NoRepeat = 0, RepeatPicture = 1, RepeatNextGop = 2, RepeatBackGop = 3 };

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

// ---- Steps ----------------------------------------------------------------------------------

void MpegLibForm::Command_NextFrame_Click() {
    Session->NextPictureStep();
}

void MpegLibForm::Command_NextIFrame_Click() {
    Session->NextGopStep();
}

void MpegLibForm::Command_StepBack_Click() {
    Session->PreviousGopStep();
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
    Timer1->setInterval(NextRepeatMs);
    switch (RepeatAction) {
    case RepeatPicture:
        Session->NextPictureStep();
        break;
    case RepeatNextGop:
        Session->NextGopStep();
        break;
    case RepeatBackGop:
        Session->PreviousGopStep();
        break;
    default:
        break;
    }
}

// ---- Keys -----------------------------------------------------------------------------------

void MpegLibForm::Slider1_KeyDown(int key, bool* handled) {
    if (key != Qt::Key_Right)
        return;
    Session->NextGopStep();
    // The GOP step replaces the slider's own small step.
    if (handled)
        *handled = true;
}

void MpegLibForm::Picture1_KeyUp(int key) {
    if (key == Qt::Key_Right)
        Session->NextGopStep();
    else if (key == Qt::Key_Left)
        Session->PreviousGopStep();
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
    Session->BeginDrag();
    Dragging = FlagTrue;
    Text3->setText(Text1->text().left(Text3Chars));
    Text3->move(Slider1->x() + x - Text3PointerOffset, Text3->y());
    Text3->show();
}

void MpegLibForm::Slider1_MouseMove(int x) {
    if (Dragging == FlagFalse)
        return;
    if (std::abs(Slider1->value() * Session->BytesPerStep - double(Session->CurrentPos)) >
        DragThreshold) {
        previewX_ = x;
        Session->PreviewSliderPosition(Slider1->value());
    }
}

void MpegLibForm::Slider1_MouseUp(int) {
    Dragging = FlagFalse;
    Text3->hide();
    if (Session->UsePreviewPos == FlagFalse)
        return;
    // A drag that previewed but ends on the value it started from raises no change event: the
    // picture would stay on the preview while CurrentPos and the timecode describe the preview
    // position and Text1 the old one. The change event, when one comes, follows this handler at
    // once and clears UsePreviewPos; otherwise the jump is made here, one turn of the loop later.
    QTimer::singleShot(0, this, [this] {
        if (Session->UsePreviewPos != FlagFalse && Dragging == FlagFalse)
            Slider1_Change();
    });
}

void MpegLibForm::Slider1_Change() {
    if (SliderBusy != FlagFalse)
        return;
    Dragging = FlagFalse;
    Session->Slider1_Change(Slider1->value());
}

void MpegLibForm::ShowPreview() {
    Text3->move(Slider1->x() + previewX_ - Text3PointerOffset, Text3->y());
    Text3->setText(Session->PreviewTimecode.left(Text3Chars));
    Slider1->update();
}
