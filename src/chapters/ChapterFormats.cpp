#include "chapters/ChapterFormats.h"

#include "chapters/Timecode.h"

#include <QFileInfo>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>

namespace {

const QList<ChapterFormatInfo> Formats = {
    {ChapterFormat::DvdauthorProject, "dvdauthor", "dvdauthor project (*.xml)", "_dvdauthor.xml"},
    {ChapterFormat::DvdauthorMarkers, "markers", "dvdauthor chapter markers (*.txt)",
     "_markers.txt"},
    {ChapterFormat::Ogm, "ogm", "mkvmerge simple chapters (*.txt)", "_chapters.txt"},
    {ChapterFormat::MatroskaXml, "mkvxml", "Matroska XML chapters (*.xml)", "_chapters.xml"},
    {ChapterFormat::FfMetadata, "ffmetadata", "ffmpeg metadata (*.txt)", "_ffmetadata.txt"},
    {ChapterFormat::VideoSite, "youtube", "Video site chapter list (*.txt)", "_youtube.txt"},
};

// A mark's milliseconds: "HH:MM:SS" and, when there is one, the fraction after the ".".
std::optional<qint64> MsOfMark(const QString& mark) {
    int seconds = 0;
    if (!TimeOfDaySeconds(mark, seconds))
        return std::nullopt;
    const QString rest = mark.mid(8);
    if (rest.isEmpty())
        return qint64(seconds) * 1000;
    if (rest.size() < 2 || rest[0] != u'.')
        return std::nullopt;
    QString digits = rest.mid(1, 3);
    for (QChar c : rest.mid(1))
        if (c < u'0' || c > u'9')
            return std::nullopt;
    while (digits.size() < 3)
        digits += u'0';
    return qint64(seconds) * 1000 + digits.toInt();
}

QString ChapterName(const QString& nameTemplate, int number) {
    QString name = nameTemplate.isEmpty() ? QStringLiteral("Chapter %1") : nameTemplate;
    name.replace(QStringLiteral("%1"), ZeroPadded(number, 2));
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return name;
}

// ffmpeg's metadata values: "=", ";", "#" and "\" are escaped with a backslash.
QString MetadataValue(const QString& text) {
    QString escaped;
    for (QChar c : text) {
        if (c == u'=' || c == u';' || c == u'#' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

// Whole seconds the way video sites write them: M:SS, from one hour on H:MM:SS.
QString SiteTime(qint64 ms) {
    const qint64 s = ms / 1000;
    if (s < 3600)
        return QString::number(s / 60) + u':' + ZeroPadded(s % 60, 2);
    return QString::number(s / 3600) + u':' + ZeroPadded((s / 60) % 60, 2) + u':' +
           ZeroPadded(s % 60, 2);
}

QByteArray DvdauthorProject(const QList<qint64>& starts, const QString& videoFile,
                            const QString& videoFormat) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("dvdauthor"));
    // The disc's video standard: dvdauthor needs it for the menu part even without menus.
    if (!videoFormat.isEmpty())
        xml.writeAttribute(QStringLiteral("format"), videoFormat);
    xml.writeEmptyElement(QStringLiteral("vmgm"));
    xml.writeStartElement(QStringLiteral("titleset"));
    xml.writeStartElement(QStringLiteral("titles"));
    xml.writeStartElement(QStringLiteral("pgc"));
    xml.writeEmptyElement(QStringLiteral("vob"));
    xml.writeAttribute(QStringLiteral("file"), QFileInfo(videoFile).absoluteFilePath());
    QStringList chapters;
    for (qint64 ms : starts)
        chapters << TimecodeOfMs(ms);
    if (!chapters.isEmpty())
        xml.writeAttribute(QStringLiteral("chapters"), chapters.join(u','));
    xml.writeEndDocument();
    return bytes;
}

QByteArray MatroskaXml(const QList<qint64>& starts, const QString& nameTemplate) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("Chapters"));
    if (!starts.isEmpty()) {
        xml.writeStartElement(QStringLiteral("EditionEntry"));
        for (qsizetype i = 0; i < starts.size(); ++i) {
            xml.writeStartElement(QStringLiteral("ChapterAtom"));
            xml.writeTextElement(QStringLiteral("ChapterTimeStart"),
                                 TimecodeOfMs(starts[i]) + QStringLiteral("000000"));
            xml.writeStartElement(QStringLiteral("ChapterDisplay"));
            xml.writeTextElement(QStringLiteral("ChapterString"),
                                 ChapterName(nameTemplate, int(i + 1)));
            xml.writeEndElement();
            xml.writeEndElement();
        }
    }
    xml.writeEndDocument();
    return bytes;
}

QString TextFormat(ChapterFormat format, const QList<qint64>& starts,
                   const ChapterExportOptions& options) {
    QString text;
    if (format == ChapterFormat::FfMetadata)
        text += QStringLiteral(";FFMETADATA1\n");
    QStringList markers;
    const qint64 durationMs =
        std::isfinite(options.durationSeconds) && options.durationSeconds > 0
            ? qint64(std::llround(std::min(options.durationSeconds, 1e9) * 1000))
            : 0;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const QString number = ZeroPadded(i + 1, 2);
        const QString name = ChapterName(options.nameTemplate, int(i + 1));
        const QString time = TimecodeOfMs(starts[i]);
        switch (format) {
        case ChapterFormat::DvdauthorMarkers:
            markers << time;
            break;
        case ChapterFormat::Ogm:
            text += QStringLiteral("CHAPTER%1=%2\nCHAPTER%1NAME=%3\n").arg(number, time, name);
            break;
        case ChapterFormat::FfMetadata: {
            // Each chapter ends where the next begins, the last one at the end of the video
            // (or where it begins, when the play time is not known or shorter).
            const qint64 end = i + 1 < starts.size() ? starts[i + 1] : qMax(durationMs, starts[i]);
            text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                        .arg(starts[i])
                        .arg(end)
                        .arg(MetadataValue(name));
            break;
        }
        case ChapterFormat::VideoSite:
            text += SiteTime(starts[i]) + u' ' + name + u'\n';
            break;
        default:
            break;
        }
    }
    if (!markers.isEmpty())
        text += markers.join(u',') + u'\n';
    return text;
}

} // namespace

QString DvdVideoFormatOf(double frameRate) {
    if (!(frameRate > 0))
        return QString();
    return std::fabs(frameRate - 25.0) < 0.01 ? QStringLiteral("pal") : QStringLiteral("ntsc");
}

const QList<ChapterFormatInfo>& ChapterFormats() {
    return Formats;
}

const ChapterFormatInfo& InfoOf(ChapterFormat format) {
    return *std::find_if(Formats.begin(), Formats.end(),
                         [format](const ChapterFormatInfo& info) { return info.format == format; });
}

std::optional<ChapterFormat> ChapterFormatNamed(const QString& name) {
    for (const ChapterFormatInfo& info : Formats)
        if (name == QLatin1String(info.name))
            return info.format;
    return std::nullopt;
}

std::optional<ChapterFormat> ChapterFormatOfFilter(const QString& filter) {
    for (const ChapterFormatInfo& info : Formats)
        if (filter == QLatin1String(info.filter))
            return info.format;
    return std::nullopt;
}

QStringList ChapterFormatFilters() {
    QStringList filters;
    for (const ChapterFormatInfo& info : Formats)
        filters << QString::fromLatin1(info.filter);
    return filters;
}

QString TimecodeOfMs(qint64 ms) {
    return ZeroPadded(ms / 3600000, 2) + u':' + ZeroPadded((ms / 60000) % 60, 2) + u':' +
           ZeroPadded((ms / 1000) % 60, 2) + u'.' + ZeroPadded(ms % 1000, 3);
}

QList<qint64> ChapterStartsMs(const QStringList& marks) {
    QList<qint64> starts;
    for (const QString& mark : marks)
        if (const std::optional<qint64> ms = MsOfMark(mark))
            starts << *ms;
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (!starts.isEmpty() && starts.first() != 0)
        starts.prepend(0);
    return starts;
}

QByteArray ExportChapters(ChapterFormat format, const QStringList& marks,
                          const ChapterExportOptions& options) {
    const QList<qint64> starts = ChapterStartsMs(marks);
    switch (format) {
    case ChapterFormat::DvdauthorProject:
        return DvdauthorProject(starts, options.videoFile, options.videoFormat);
    case ChapterFormat::MatroskaXml:
        return MatroskaXml(starts, options.nameTemplate);
    default:
        return TextFormat(format, starts, options).toUtf8();
    }
}
