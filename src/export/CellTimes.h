#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The cell-times file: the chapter list of one video on disk, one timecode per line, every line
// ended by CR LF, ASCII, in list order. The authoring front-end reads it; the editor reads it
// back when the same video is opened again.

// At most this many bytes of a cell-times file are read; a longer file is read up to its last
// whole line within the limit and the rest is ignored.
inline constexpr qint64 CellTimesReadLimit = 4 * 1024 * 1024;

// Writes `bytes` to `path` so that an interrupted write (crash, full disk, power cut) leaves the
// file as it was: they go to a temporary file beside it that replaces it only once complete.
// False when the file cannot be written.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes);

// `OutDir` + the video's stem + "_Celltimes.txt" (/out + /film + _Celltimes.txt). A video name
// without a folder still gives a file inside `outDir`.
QString CellTimesPathFor(const QString& outDir, const QString& videoFile);

// Writes the whole list to `path`, in the order given (the caller keeps it sorted); an empty list
// gives an empty file. The old file stays whole until the new one is complete (it is written
// beside it and renamed over it). A process killed during the write can leave that unfinished
// temporary file behind (the file's name, a dot and six letters or digits) where the file system
// cannot create unnamed files; it is never picked up as the list and is not cleaned up later.
// False when the file cannot be written, and also, with nothing written, when an entry is empty or
// holds anything but printable ASCII, since it would break the one-mark-per-line layout.
bool WriteCellTimes(const QString& path, const QStringList& entries);

// Writes the list after a mark was added: to `primary`, or, when that cannot be written, to
// `fallback`. Returns the path written, empty when neither could be.
QString WriteCellTimesOrFallback(const QString& primary, const QString& fallback,
                                 const QStringList& entries);

// After a mark was deleted: rewrites `path` with the remaining entries (nothing happens when it
// cannot be written), and deletes it when no entry remains.
void RewriteCellTimesAfterDelete(const QString& path, const QStringList& entries);

// The chapters of a cell-times file (or any text in its form): lines with a ":" count, several
// times on a line are separated by commas, each time is normalized to HH:MM:SS(.mmm). Empty
// optional when the file holds no usable entry (the list then keeps what it had); the list can
// still be empty when entries were found but none normalized. Lines end in CR LF or LF; the bytes
// are read one character each, so anything but ASCII fails to normalize. A missing file, a
// folder or anything else that is not a regular file gives an empty optional.
std::optional<QStringList> ReadCellTimes(const QString& path);

// The same rule on the file's lines.
std::optional<QStringList> ParseCellTimes(const QStringList& lines);
