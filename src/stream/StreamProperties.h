#pragma once

#include "stream/Flag.h"

#include <QString>

// What the header scanner learns about a video. The program-wide record carries these fields;
// each scan overwrites the ones it reaches.
struct StreamProperties {
    qint16 VideoWidth = 0;
    qint16 VideoHeight = 0;
    float FrameRate = 0.0f;
    QString AspectRatioText;
    QString MpegType;
    qint64 FileSizeBytes = 0;
    qint32 FileSizeMB = 0;
    double DurationSeconds = 0.0;
    QString DurationText;
    double ScrDurationSeconds = 0.0;
    QString ScrDurationText;
    qint16 Muxed = 0; // 1 for a program stream, 0 for an elementary stream
    qint16 MuxOK = 0; // 1 when DVD navigation packets were seen
    Flag DropFrame = FlagFalse;
    qint64 LastGopPos = 0; // 1-based position of the last GOP header found near the end
};
