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

void PictureBox::setStreamSize(QSize size) {
    streamSize_ = size;
    update();
}

QSizeF PictureBox::shownScale() const {
    if (!scaled())
        return {1.0, 1.0};
    return {double(width()) / streamSize_.width(), double(height()) / streamSize_.height()};
}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Only what the picture leaves free gets the background: a running video repaints the whole
    // box for every picture.
    // A scaled view comes at the box's size (the frame source scales it); drawing scales it only
    // until the box has followed a change of size.
    const bool stretched = scaled() && picture_.size() != size();
    const QRect covered = picture_.isNull() ? QRect()
                          : stretched       ? rect()
                                            : QRect(QPoint(0, 0), picture_.size());
    for (const QRect& free : QRegion(rect()).subtracted(covered))
        painter.fillRect(free, backColor_);
    if (picture_.isNull())
        return;
    if (stretched) {
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
