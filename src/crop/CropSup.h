#pragma once

#include <QByteArray>
#include <QString>

// The crop subtitle file: a stream of DVD subpicture units that lays an opaque band over the top
// and the bottom crop margin for the whole length of a video, for authoring tools to multiplex as
// a subpicture track. Each entry is a 14-byte header ("SP", a 90 kHz time stamp, 0, then the
// unit's own two header words) followed by the rest of the unit; only the time stamp differs from
// entry to entry. Each unit shows its bands for just under two seconds, and there is one entry
// every two seconds.

// The whole entry header.
inline constexpr int CropSupHeaderBytes = 14;

// Presentation times are 32-bit: the last entry that can be written is the one at this many
// seconds (47720 × 90000 fits, 47722 × 90000 does not).
inline constexpr qint64 CropSupLastSecond = 47720;

// The part of every entry after its header: the run-length lines of both fields, the two
// control sequences and the closing byte. Line y (2 ≤ y ≤ H − 2) is opaque when y ≤ cropTop or
// y ≥ H − cropBottom, transparent otherwise; every line takes two bytes whatever the margins are.
// Empty for a height without a layout (there are layouts for 576 and 480 lines only).
QByteArray CropSupBody(int videoHeight, int cropTop, int cropBottom);

// The 14-byte header of an entry shown at `time` (90 kHz units) in front of a body of `bodySize`
// bytes.
QByteArray CropSupHeader(quint32 time, int bodySize);

// Entries of a video this long: one at 0, then one for each even second up to the whole seconds
// of the duration, but none past CropSupLastSecond. A negative duration, or one that is not a
// number, counts as 0.
qint64 CropSupEntryCount(double durationSeconds);

// The file beside the video: its folder, its name without the extension, "_crop.sup". Empty for
// an empty video path.
QString CropSupPath(const QString& videoFile);

// Writes the whole file at `path`. The file appears complete or not at all: it is written to a
// temporary file beside it that replaces an existing file of the name only once every entry is
// written. False, and nothing written, for a height without a layout, an empty path or when the
// file could not be written.
bool WriteCropSup(const QString& path, int videoHeight, double durationSeconds, int cropTop,
                  int cropBottom);
