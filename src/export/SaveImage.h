#pragma once

#include <QImage>
#include <QString>

// The still images saved for chapters.

// The first field of the picture, each of its (even) rows shown twice: rows 2k and 2k+1 of the
// result are row 2k of the picture.
QImage LineDoubled(const QImage& picture);

// The picture without the margins. When the margins leave nothing of the picture, it is returned
// whole: a chapter still gets its image.
QImage Cropped(const QImage& picture, int left, int top, int right, int bottom);

// Writes a 24-bit Windows bitmap. The file appears only when complete (an existing one is
// replaced whole); false when it could not be written.
bool WriteBitmap(const QImage& picture, const QString& path);
