#include "export/CellTimes.h"

#include "chapters/Timecode.h"
#include "shell/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The file's bytes: every entry and CR LF. Empty optional when an entry is empty or holds a
// character outside printable ASCII: such an entry would break the one-mark-per-line layout or
// the single-byte text the front-end expects, so nothing is written at all.
std::optional<QByteArray> CellTimesBytes(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries) {
        if (entry.isEmpty())
            return std::nullopt;
        for (QChar c : entry)
            if (c.unicode() < 0x20 || c.unicode() > 0x7e)
                return std::nullopt;
        bytes += entry.toLatin1();
        bytes += "\r\n";
    }
    return bytes;
}

// Step 1 of reading: a line with a ":" joins the text, ended by ","; a line break inside it
// counts as a separator too.
void AppendLine(QString& joined, QString line) {
    if (!line.contains(u':'))
        return;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(","));
    line.replace(u'\r', u',');
    line.replace(u'\n', u',');
    joined += line;
    joined += u',';
}

// The entries of the joined text: pieces between commas (one trailing comma dropped). A lone
// piece counts only at 3 to 14 characters; then every piece of more than 2 characters that
// normalizes is a mark.
std::optional<QStringList> EntriesOf(QString joined) {
    if (joined.endsWith(u','))
        joined.chop(1);
    if (!joined.contains(u',') && (joined.size() < 3 || joined.size() > 14))
        return std::nullopt;

    QStringList marks;
    for (QStringView piece : QStringView(joined).tokenize(u',')) {
        if (piece.size() <= 2)
            continue;
        const QString timecode = NormalizeTimecode(piece.toString(), true);
        if (!timecode.isEmpty())
            marks += timecode;
    }
    return marks;
}

} // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered: a write error that only surfaced when a buffer is flushed inside commit() would
    // go unnoticed there, and the cut-off file would replace the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // On a failed write the unfinished temporary file is discarded together with `file`.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return false;
    return file.commit();
}

QString CellTimesPathFor(const QString& outDir, const QString& videoFile) {
    QString stem, extension;
    SplitFileName(videoFile, stem, extension);
    // A bare file name has no separator in its stem; without one the name would be glued onto
    // the folder's own name and land beside the output folder instead of inside it.
    if (!stem.startsWith(u'/'))
        stem.prepend(u'/');
    return outDir + stem + QStringLiteral("_Celltimes.txt");
}

bool WriteCellTimes(const QString& path, const QStringList& entries) {
    const std::optional<QByteArray> bytes = CellTimesBytes(entries);
    return bytes && SaveFileAtomically(path, *bytes);
}

QString WriteCellTimesOrFallback(const QString& primary, const QString& fallback,
                                 const QStringList& entries) {
    const std::optional<QByteArray> bytes = CellTimesBytes(entries);
    if (!bytes)
        return QString();
    if (SaveFileAtomically(primary, *bytes))
        return primary;
    if (SaveFileAtomically(fallback, *bytes))
        return fallback;
    return QString();
}

void RewriteCellTimesAfterDelete(const QString& path, const QStringList& entries) {
    if (entries.isEmpty()) {
        QFile::remove(path);
        return;
    }
    WriteCellTimes(path, entries);
}

std::optional<QStringList> ReadCellTimes(const QString& path) {
    // Only regular files: a folder cannot be read and a named pipe would block the editor.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(CellTimesReadLimit + 1);
    if (data.size() > CellTimesReadLimit) {
        // Past the cap the last line is cut somewhere inside; a cut time ("00:05:0") would still
        // read as a different mark, so only whole lines count.
        data.truncate(CellTimesReadLimit);
        data.truncate(data.lastIndexOf('\n') + 1);
    }

    QString joined;
    qsizetype from = 0;
    while (from < data.size()) {
        qsizetype end = data.indexOf('\n', from);
        if (end < 0)
            end = data.size();
        QByteArrayView line(data.constData() + from, end - from);
        if (line.endsWith('\r'))
            line.chop(1);
        AppendLine(joined, QString::fromLatin1(line));
        from = end + 1;
    }
    return EntriesOf(joined);
}

std::optional<QStringList> ParseCellTimes(const QStringList& lines) {
    QString joined;
    for (const QString& line : lines)
        AppendLine(joined, line);
    return EntriesOf(joined);
}
