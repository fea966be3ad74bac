#include "chapters/ChapterText.h"

#include "chapters/Timecode.h"

#include <algorithm>

namespace {

const QString ZeroTime = QStringLiteral("00:00:00.000");

// Entries this short cannot be a time and do not count as an entry.
constexpr qsizetype MinEntryLength = 3;
// A text without a separator is one entry only when it looks like a timecode: it begins with "0"
// and is at most a full timecode long.
constexpr qsizetype MaxSingleEntryLength = 12;

// True when the time is the start of the video, written with zeros only.
bool IsZeroTime(const QString& time) {
    return std::all_of(time.begin(), time.end(),
                       [](QChar c) { return c == u'0' || c == u'.' || c == u':'; });
}

} // namespace

ChapterTextResult ReadChapterText(const QString& text, ChapterTextSource source) {
    ChapterTextResult result;
    if (text.size() > MaxChapterTextLength)
        return result;
    if (source != ChapterTextSource::File && !text.contains(u':'))
        return result;

    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral(","));
    s.replace(u'\n', u',');
    if (s.endsWith(u','))
        s.chop(1);
    const QStringList entries = s.split(u',');
    if (entries.size() == 1 && !(s.startsWith(u'0') && s.size() <= MaxSingleEntryLength))
        return result;

    bool entryFound = false;
    for (const QString& entry : entries) {
        if (entry.size() < MinEntryLength)
            continue;
        entryFound = true;
        const QString time = NormalizeTimecode(entry, true);
        if (!time.isEmpty())
            result.entries << time;
    }
    std::sort(result.entries.begin(), result.entries.end());
    if (!result.entries.isEmpty() && !IsZeroTime(result.entries.first()))
        result.entries.prepend(ZeroTime);
    if (!entryFound)
        result.entries << ZeroTime;
    result.accepted = true;
    return result;
}

QString ChapterTextOfFile(const QByteArray& bytes) {
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    QString text;
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains(':'))
            text += QString::fromUtf8(line) + u',';
    }
    return text;
}

QString DefaultChapterFile(const QString& videoFile) {
    const qsizetype dot = videoFile.lastIndexOf(u'.');
    const qsizetype separator = qMax(videoFile.lastIndexOf(u'/'), videoFile.lastIndexOf(u'\\'));
    if (dot > separator)
        return videoFile.left(dot + 1) + QStringLiteral("txt");
    return videoFile + QStringLiteral(".txt");
}
