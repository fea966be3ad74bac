#include "chapters/ChapterFileImport.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>
#include <QtNumeric>
#include <algorithm>
#include <cctype>

namespace {

constexpr qint64 MsPerDay = 86400000;

QByteArray WithoutByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

// The text's lines without their line ends (LF or CR LF).
QStringList LinesOf(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(WithoutByteOrderMark(bytes)).split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

bool AllDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// "[[h:]m:]s[.frac]" in milliseconds (the fraction cut after three digits); empty when it is not
// such a time or lies a day or more after the start.
std::optional<qint64> ClockMs(const QString& text) {
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() > 3)
        return std::nullopt;
    qint64 minutes = 0; // of the hours and minutes before the seconds
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (!AllDigits(parts[i]) || parts[i].size() > 9)
            return std::nullopt;
        minutes = minutes * 60 + parts[i].toLongLong();
    }
    const QString last = parts.last();
    const qsizetype dot = last.indexOf(u'.');
    const QString whole = dot < 0 ? last : last.left(dot);
    QString fraction = dot < 0 ? QString() : last.mid(dot + 1);
    if (!AllDigits(whole) || whole.size() > 9 || (dot >= 0 && !AllDigits(fraction)))
        return std::nullopt;
    fraction = (fraction + QStringLiteral("000")).left(3);
    const qint64 ms = (minutes * 60 + whole.toLongLong()) * 1000 + fraction.toLongLong();
    if (ms >= MsPerDay)
        return std::nullopt;
    return ms;
}

// The bytes an XML reader gets: no byte-order mark and nothing before the first "<".
QByteArray XmlBytes(const QByteArray& bytes) {
    const QByteArray content = WithoutByteOrderMark(bytes);
    return content.mid(content.indexOf('<') < 0 ? content.size() : content.indexOf('<'));
}

// The name of the root element; empty when the text is not XML up to it.
QString RootElement(const QByteArray& bytes) {
    const QByteArray content = WithoutByteOrderMark(bytes);
    const qsizetype first = std::find_if(content.begin(), content.end(),
                                         [](char c) { return !std::isspace(uchar(c)); }) -
                            content.begin();
    if (first >= content.size() || content[first] != '<')
        return QString();
    QXmlStreamReader xml(content.mid(first));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.name().toString();
    return QString();
}

// Times of the chapters attribute of the first <vob> of the titles.
std::optional<QList<qint64>> DvdauthorTimes(const QByteArray& bytes) {
    QXmlStreamReader xml(XmlBytes(bytes));
    QStringList path;
    QList<qint64> times;
    bool taken = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        } else if (token == QXmlStreamReader::StartElement) {
            path << xml.name().toString();
            const QStringView chapters = xml.attributes().value(QStringLiteral("chapters"));
            if (taken || path.last() != u"vob" || !path.contains(QStringLiteral("titles")) ||
                chapters.isNull())
                continue;
            taken = true;
            for (const QString& item : chapters.toString().split(u',', Qt::SkipEmptyParts))
                if (const std::optional<qint64> ms = ClockMs(item))
                    times << *ms;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return times;
}

// Start times of the chapters of the first edition.
std::optional<QList<qint64>> MatroskaTimes(const QByteArray& bytes) {
    QXmlStreamReader xml(XmlBytes(bytes));
    QStringList path;
    QList<qint64> times;
    int editions = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        } else if (token == QXmlStreamReader::StartElement) {
            path << xml.name().toString();
            if (path.size() == 2 && path[1] == u"EditionEntry")
                ++editions;
            if (editions == 1 && path.size() == 4 && path[2] == u"ChapterAtom" &&
                path[3] == u"ChapterTimeStart") {
                const std::optional<qint64> ms = ClockMs(xml.readElementText());
                path.removeLast();
                if (ms)
                    times << *ms;
            }
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return times;
}

// START of every [CHAPTER] section, in the section's TIMEBASE.
QList<qint64> FfMetadataTimes(const QByteArray& bytes) {
    // A backslash escapes the next character, a line break too: such a line goes on.
    const QString text = QString::fromUtf8(WithoutByteOrderMark(bytes));
    QStringList lines(QString{});
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            lines << QString();
        } else {
            if (text[i] == u'\\' && i + 1 < text.size())
                lines.last() += text[i++];
            lines.last() += text[i];
        }
    }
    struct Chapter {
        qint64 num = 1, den = 1000000000, start = -1;
    };
    QList<Chapter> chapters;
    bool inChapter = false;
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u'[')) {
            inChapter = line == u"[CHAPTER]";
            if (inChapter)
                chapters << Chapter{};
            continue;
        }
        if (!inChapter)
            continue;
        bool ok = false;
        if (line.startsWith(QStringLiteral("TIMEBASE="))) {
            const QStringList rational = line.mid(9).split(u'/');
            const qint64 num = rational.value(0).toLongLong(&ok);
            const qint64 den = ok ? rational.value(1).toLongLong(&ok) : 0;
            if (ok && rational.size() == 2 && num > 0 && den > 0)
                chapters.last().num = num, chapters.last().den = den;
        } else if (line.startsWith(QStringLiteral("START="))) {
            const qint64 start = line.mid(6).toLongLong(&ok);
            chapters.last().start = ok && start >= 0 ? start : -1;
        }
    }
    QList<qint64> times;
    for (const Chapter& c : chapters) {
        qint64 units = 0, ms = 0;
        if (c.start >= 0 && !qMulOverflow(c.start, c.num, &units) &&
            !qMulOverflow(units, qint64(1000), &ms) && ms / c.den < MsPerDay)
            times << ms / c.den;
    }
    return times;
}

const QRegularExpression OgmTimeLine(QStringLiteral("^CHAPTER\\d+=(.*)$"));

QList<qint64> OgmTimes(const QByteArray& bytes) {
    QList<qint64> times;
    for (const QString& line : LinesOf(bytes)) {
        const QRegularExpressionMatch match = OgmTimeLine.match(line);
        if (match.hasMatch())
            if (const std::optional<qint64> ms = ClockMs(match.captured(1)))
                times << *ms;
    }
    return times;
}

// Lines that begin with a time and go on with a title, as video sites list chapters.
QList<qint64> VideoSiteTimes(const QByteArray& bytes) {
    static const QRegularExpression line(
        QStringLiteral("^\\s*((?:\\d{1,2}:)?\\d{1,2}:[0-5]\\d)\\s+\\S"));
    QList<qint64> times;
    for (const QString& text : LinesOf(bytes)) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch())
            if (const std::optional<qint64> ms = ClockMs(match.captured(1)))
                times << *ms;
    }
    return times;
}

// The times of another tool's file as a chapter file's result.
ChapterTextResult FromTimes(const QList<qint64>& times) {
    if (times.isEmpty())
        return {};
    QString text;
    for (qint64 ms : times)
        text += TimecodeOfMs(ms) + u',';
    return ReadChapterText(text, ChapterTextSource::File);
}

} // namespace

std::optional<ChapterFormat> RecognizeChapterFile(const QByteArray& bytes) {
    const QString root = RootElement(bytes);
    if (root == u"dvdauthor")
        return ChapterFormat::DvdauthorProject;
    if (root == u"Chapters")
        return ChapterFormat::MatroskaXml;
    if (WithoutByteOrderMark(bytes).startsWith(";FFMETADATA"))
        return ChapterFormat::FfMetadata;
    for (const QString& line : LinesOf(bytes.left(64 * 1024))) {
        if (line.trimmed().isEmpty())
            continue;
        if (OgmTimeLine.match(line).hasMatch())
            return ChapterFormat::Ogm;
        break;
    }
    return std::nullopt;
}

ChapterTextResult ReadChapterFile(const QByteArray& bytes) {
    if (bytes.size() > ChapterFileReadLimit)
        return {};
    if (const std::optional<ChapterFormat> format = RecognizeChapterFile(bytes)) {
        std::optional<QList<qint64>> times;
        switch (*format) {
        case ChapterFormat::DvdauthorProject:
            times = DvdauthorTimes(bytes);
            break;
        case ChapterFormat::MatroskaXml:
            times = MatroskaTimes(bytes);
            break;
        case ChapterFormat::FfMetadata:
            times = FfMetadataTimes(bytes);
            break;
        default:
            times = OgmTimes(bytes);
            break;
        }
        return times ? FromTimes(*times) : ChapterTextResult{};
    }
    const ChapterTextResult plain =
        ReadChapterText(ChapterTextOfFile(bytes), ChapterTextSource::File);
    if (plain.accepted && !plain.entries.isEmpty())
        return plain;
    const QList<qint64> site = VideoSiteTimes(bytes);
    return site.isEmpty() ? plain : FromTimes(site);
}

ChapterTextResult ReadChapterFile(QIODevice& file) {
    const QByteArray bytes = file.read(ChapterFileReadLimit + 1);
    if (bytes.size() > ChapterFileReadLimit)
        return {};
    return ReadChapterFile(bytes);
}
