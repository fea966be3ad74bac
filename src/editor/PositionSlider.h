#pragma once

#include <QSlider>

// The editor's position slider: horizontal, 0 to 32000 (one step is 1/32000 of the file).
// It reports raw input to its window and tells a change made by the user apart from the
// program's own setValue calls, which never emit `userChanged`.
//
// The thumb is ThumbLength pixels long, so its centre runs from 13 px to width - 13 px; the
// editor's thumb hit test relies on those end margins.
class PositionSlider : public QSlider {
    Q_OBJECT
public:
    static constexpr int Maximum = 32000;
    static constexpr int ThumbLength = 26;
    // Arrow keys and the wheel move 1/1000 of the file, page keys and groove clicks 1/20.
    static constexpr int SingleStep = 32;
    static constexpr int PageStep = 1600;

    explicit PositionSlider(QWidget* parent = nullptr);

signals:
    // Before the slider handles a key; a receiver that sets *handled keeps the slider still.
    void keyDown(int key, bool* handled);
    // Mouse input with x in the slider's own pixels. `mouseDown` comes before the slider reacts
    // (value() is still the value under the press); `mouseMove` and `mouseUp` after it.
    void mouseDown(int x);
    void mouseMove(int x);
    void mouseUp(int x);
    // Once per change by the user, with the final value: a drag or groove click when the button
    // is released (after `mouseUp`), each key or wheel step that moved the slider.
    void userChanged(int value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    bool mouseHeld_ = false;
    bool mouseActed_ = false; // the slider moved itself (drag, page step) while the button was held
    int valueAtPress_ = 0;
    int lastX_ = 0;
};
