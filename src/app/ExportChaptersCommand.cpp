#include "app/ExportChaptersCommand.h"

#include "chapters/ChapterFormats.h"
#include "export/CellTimes.h"
#include "stream/MpegScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

void Fail(const QString& message) {
    const QByteArray bytes = (QStringLiteral("cueboard: ") + message + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

int Usage() {
    std::fputs(ExportChaptersUsage(), stderr);
    return 2;
}

// The folder without a trailing separator, as the output folder is kept.
QString OutDirOf(const QString& given, const QString& video) {
    QString dir =
        given.isEmpty() ? QFileInfo(video).absolutePath() : QDir::fromNativeSeparators(given);
    while (dir.size() > 1 && dir.endsWith(u'/'))
        dir.chop(1);
    return dir;
}

} // namespace

const char* ExportChaptersUsage() {
    return "Usage: cueboard --export-chapters FORMAT VIDEO [OUTDIR] [--names=TEMPLATE]\n"
           "FORMAT: dvdauthor (project file for dvdauthor -x), markers (list for dvdauthor -c),\n"
           "        ogm (mkvmerge simple chapters), mkvxml (Matroska XML chapters),\n"
           "        ffmetadata (ffmpeg metadata file), youtube (list for video sites)\n"
           "TEMPLATE: the chapters' names, %1 the chapter's number (default \"Chapter %1\")\n";
}

int RunExportChapters(const QStringList& given) {
    // The name template may stand anywhere after the format; the rest are the places.
    QStringList args;
    std::optional<QString> names;
    for (const QString& arg : given) {
        if (arg.startsWith(QLatin1String("--names=")) && !names)
            names = arg.mid(8);
        else
            args << arg;
    }
    if (args.size() < 2 || args.size() > 3)
        return Usage();
    const std::optional<ChapterFormat> format = ChapterFormatNamed(args[0]);
    if (!format) {
        Fail(QStringLiteral("unknown chapter format \"%1\"").arg(args[0]));
        return Usage();
    }
    const QString video = QDir::fromNativeSeparators(args[1]);
    const QString path = CellTimesPathFor(OutDirOf(args.value(2), video), video);

    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        Fail(QStringLiteral("%1: no chapter list").arg(path));
        return 1;
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("%1: cannot be read").arg(path));
        return 2;
    }
    const bool blank = file.read(CellTimesReadLimit).trimmed().isEmpty();
    file.close();
    const QStringList marks = ReadCellTimes(path).value_or(QStringList());
    // An empty file is an empty list; a file with text in it but no time is not a chapter list.
    if (!blank && ChapterStartsMs(marks).isEmpty()) {
        Fail(QStringLiteral("%1: holds no chapter times").arg(path));
        return 2;
    }

    ChapterExportOptions options;
    options.videoFile = video;
    options.nameTemplate = names.value_or(QString());
    if (*format == ChapterFormat::FfMetadata && !marks.isEmpty()) {
        StreamProperties props;
        if (!ScanMpegHeaders(video, props)) {
            Fail(QStringLiteral("%1: the play time cannot be read").arg(video));
            return 2;
        }
        options.durationSeconds = props.DurationSeconds;
    }
    if (*format == ChapterFormat::DvdauthorProject) {
        StreamProperties props;
        if (ScanMpegHeaders(video, props))
            options.videoFormat = DvdVideoFormatOf(props.FrameRate);
    }
    const QByteArray bytes = ExportChapters(*format, marks, options);
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0) {
        Fail(QStringLiteral("the chapters cannot be written to standard output"));
        return 2;
    }
    return 0;
}
