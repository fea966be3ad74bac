#include "editor/PositionSlider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QWheelEvent>

namespace {

class ThumbStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_SliderLength)
            return PositionSlider::ThumbLength;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

int XOf(const QMouseEvent* event) {
    return event->position().toPoint().x();
}

} // namespace

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, Maximum);
    setSingleStep(SingleStep);
    setPageStep(PageStep);
    setFocusPolicy(Qt::StrongFocus);

    // A widget does not own its style; the proxy owns its base style and the slider owns the proxy.
    auto* style = new ThumbStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(this);
    setStyle(style);

    // Drags and groove clicks run through triggerAction; setValue never does.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (mouseHeld_ && action != SliderNoAction)
            mouseActed_ = true;
    });
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    emit keyDown(event->key(), &handled);
    if (handled) {
        event->accept();
        return;
    }
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before)
        emit userChanged(value());
}

void PositionSlider::wheelEvent(QWheelEvent* event) {
    const int before = value();
    QSlider::wheelEvent(event);
    if (value() != before)
        emit userChanged(value());
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(XOf(event));
    if (!mouseHeld_) {
        mouseHeld_ = true;
        mouseActed_ = false;
        valueAtPress_ = value();
        lastX_ = XOf(event);
    }
    QSlider::mousePressEvent(event);
}

void PositionSlider::mouseMoveEvent(QMouseEvent* event) {
    // The value depends on x alone, and a move that keeps x would still snap the value to that
    // pixel's value: a press on the thumb with a shaking hand is no change.
    if (!mouseHeld_ || XOf(event) != lastX_)
        QSlider::mouseMoveEvent(event);
    lastX_ = XOf(event);
    emit mouseMove(lastX_);
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    emit mouseUp(XOf(event));
    // Only the release of the last held button ends the gesture.
    if (!mouseHeld_ || event->buttons() != Qt::NoButton)
        return;
    mouseHeld_ = false;
    if (mouseActed_ && value() != valueAtPress_)
        emit userChanged(value());
}

void PositionSlider::sliderChange(SliderChange change) {
    if (change != SliderValueChange) {
        QSlider::sliderChange(change);
        return;
    }
    // A move repaints the band of the groove and the thumb only, so that the controls overlapping
    // the slider's edges are not drawn again with every step.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect thumb =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const QRect band = groove.united(thumb);
    update(0, band.top(), width(), band.height());
}
