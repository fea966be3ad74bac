#pragma once

#include "stream/StreamProperties.h"

#include <QByteArrayView>
#include <QString>
#include <functional>

// Reads a few blocks of the video (the first 100000 bytes, up to ten blocks forward when the
// sequence header is not in the first, and up to fifty blocks back from the end) and writes what
// the headers say into `props`. Returns true when a sequence header was found and read; a failed
// scan leaves the picture properties of an earlier scan as they were.
bool ScanMpegHeaders(const QString& path, StreamProperties& props);

// The 33-bit system clock reference base of the pack header whose start code begins at the
// 1-based position `pos1` of the block; 0 when its marker bits are wrong.
qint64 DecodePackScr(QByteArrayView block, qsizetype pos1);

// The clock of the last pack header in the block whose marker bits are right, walking back over
// broken ones (each step to a pack header that ends at least 10 bytes before the broken one's
// start); 0 when there is none.
qint64 LastPackScr(QByteArrayView block);

// The file report: one entry per line, labels fetched by text offset through `text`.
QStringList FileReportLines(const StreamProperties& props, const std::function<QString(int)>& text);

// Writes a number the way the report shows it: up to 7 significant digits for single precision,
// 15 for double precision, "." as decimal separator.
QString ReportNumber(float value);
QString ReportNumber(double value);
