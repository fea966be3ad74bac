#include "export/ChapterExport.h"

#include "export/CellTimes.h"

QString ChapterExportPathFor(const QString& outDir, const QString& videoFile,
                             ChapterFormat format) {
    QString path = CellTimesPathFor(outDir, videoFile);
    path.chop(QStringLiteral("_Celltimes.txt").size());
    return path + QLatin1String(InfoOf(format).fileSuffix);
}

bool WriteChapterExport(const QString& path, ChapterFormat format, const QStringList& marks,
                        const ChapterExportOptions& options) {
    return SaveFileAtomically(path, ExportChapters(format, marks, options));
}
