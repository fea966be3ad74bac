#include "crop/PictureBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRegion>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

QImage& PictureBox::pictureToFill(int width, int height) {
    if (picture_.width() != width || picture_.height() != height ||
        picture_.format() != QImage::Format_BGR888)
        picture_ = QImage(width, height, QImage::Format_BGR888);
    return picture_;
}

void PictureBox::clearPicture() {
    picture_ = QImage();
    update();
}

void PictureBox::setScaled(bool scaled) {
    scaled_ = scaled;
    update();
}

QSizeF PictureBox::shownScale() const {
    if (!scaled_ || picture_.isNull())
        return {1.0, 1.0};
    return {double(width()) / picture_.width(), double(height()) / picture_.height()};
}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Only what the picture leaves free gets the background: a running video repaints the whole
    // box for every picture.
    const QRect covered = picture_.isNull() ? QRect()
                          : scaled_         ? rect()
                                            : QRect(QPoint(0, 0), picture_.size());
    for (const QRect& free : QRegion(rect()).subtracted(covered))
        painter.fillRect(free, backColor_);
    if (picture_.isNull())
        return;
    if (scaled_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture_);
    } else {
        painter.drawImage(QPoint(0, 0), picture_);
    }
}

void PictureBox::keyReleaseEvent(QKeyEvent* event) {
    // A held key sends a release with every repeat; the step belongs to the real release only.
    if (!event->isAutoRepeat())
        emit keyReleased(event->key());
    QWidget::keyReleaseEvent(event);
}
