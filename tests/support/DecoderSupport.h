#pragma once

#include "viewer/Mpeg2Decoder.h"

#include <QFile>
#include <QString>

// Opens a video in a decoder of the test's own, set up as the program sets it up: 24-bit
// pictures, studio range stretched unless `scale` is 0. False when the open failed.
inline bool OpenTestDecoder(Mpeg2Decoder& decoder, const QString& path, int scale = 1) {
    const QByteArray name = QFile::encodeName(path);
    const qint32 rc = decoder.OpenMPEG2File(name.constData(), 0, -10000);
    decoder.SetMPEG2PixelFormat(1);
    decoder.SetRGBScaleFlag(scale);
    return rc == 0;
}
