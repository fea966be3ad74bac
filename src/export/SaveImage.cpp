#include "export/SaveImage.h"

#include <QImageWriter>
#include <QSaveFile>
#include <cstring>

QImage LineDoubled(const QImage& picture) {
    QImage result(picture.size(), picture.format());
    const qsizetype rowBytes = qMin<qsizetype>(picture.bytesPerLine(), result.bytesPerLine());
    for (int y = 0; y < picture.height(); y += 2) {
        std::memcpy(result.scanLine(y), picture.constScanLine(y), size_t(rowBytes));
        if (y + 1 < picture.height())
            std::memcpy(result.scanLine(y + 1), picture.constScanLine(y), size_t(rowBytes));
    }
    return result;
}

QImage Cropped(const QImage& picture, int left, int top, int right, int bottom) {
    const int width = picture.width() - left - right;
    const int height = picture.height() - top - bottom;
    if (left < 0 || top < 0 || right < 0 || bottom < 0 || width <= 0 || height <= 0)
        return picture;
    return picture.copy(left, top, width, height);
}

bool WriteBitmap(const QImage& picture, const QString& path) {
    if (picture.isNull())
        return false;
    // 24 bits per pixel whatever the picture holds.
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "bmp");
    if (!writer.write(rgb)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
