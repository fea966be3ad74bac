#pragma once

#include "chapters/ChapterFormats.h"

#include <QString>
#include <QStringList>

// The chapter list exported for another tool, into a file of its own.

// The file offered for `format` beside the cell-times file: `outDir` + the video's stem + the
// format's suffix (/out/film_dvdauthor.xml beside /out/film_Celltimes.txt).
QString ChapterExportPathFor(const QString& outDir, const QString& videoFile, ChapterFormat format);

// Writes the marks in `format` to `path` (see ExportChapters). An existing file stays whole until
// the new one is complete. False when it cannot be written.
bool WriteChapterExport(const QString& path, ChapterFormat format, const QStringList& marks,
                        const ChapterExportOptions& options);
