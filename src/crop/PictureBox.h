#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A picture box: shows its picture unscaled at its top-left corner over its background colour,
// or, when it is a scaled view of a stream, drawn over the whole box. The editor's frame view, its
// work surfaces and the crop bars are picture boxes.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The picture as given (a copy is kept; a scaled box scales it only when drawing).
    const QImage& picture() const { return picture_; }
    void setPicture(const QImage& picture);
    // The picture to be filled in place with a 24-bit picture of the given size (reused from the
    // last one when the size is the same, so a running video allocates nothing per picture).
    QImage& pictureToFill(int width, int height);
    void clearPicture();

    // The size of the stream the picture shows. A picture of another size is a scaled view of
    // the stream, drawn over the whole box.
    void setStreamSize(QSize size);
    QSize streamSize() const { return streamSize_; }
    bool scaled() const { return !streamSize_.isEmpty() && streamSize_ != picture_.size(); }
    // Box pixels per stream pixel, across and down (1 for an unscaled box).
    QSizeF shownScale() const;

    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color);

signals:
    // Key releases reach the editor's navigation (the arrow keys step by GOP).
    void keyReleased(int key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QImage picture_;
    QColor backColor_ = Qt::black;
    QSize streamSize_;
};
