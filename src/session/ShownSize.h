#pragma once

#include <QSize>
#include <QString>

// The size a picture of `stream` pixels is shown at in a picture area of `area`: with
// `displayAspect` a 4:3, 16:9 or 2.21:1 picture is widened (or narrowed) to its display aspect
// at its own height; a picture larger than the area is then scaled down to fit it, its aspect
// kept. A picture that fits is shown pixel for pixel.
QSize ShownPictureSize(QSize stream, const QString& aspectText, bool displayAspect, QSize area);

// Cueboard's own setting "Display aspect" (not the front-end's store); off unless set.
bool ReadDisplayAspect();
void WriteDisplayAspect(bool on);
