#pragma once

#include "viewer/Mpeg2Decoder.h"

#include <QEvent>
#include <QFile>
#include <QObject>
#include <QString>
#include <QWidget>

// Opens a video in a decoder of the test's own, set up as the program sets it up: 24-bit
// pictures, studio range stretched unless `scale` is 0. False when the open failed.
inline bool OpenTestDecoder(Mpeg2Decoder& decoder, const QString& path, int scale = 1) {
    const QByteArray name = QFile::encodeName(path);
    const qint32 rc = decoder.OpenMPEG2File(name.constData(), 0, -10000);
    decoder.SetMPEG2PixelFormat(1);
    decoder.SetRGBScaleFlag(scale);
    return rc == 0;
}

// Counts the paints of a widget (each picture drawn into the picture box paints it once, at once).
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
