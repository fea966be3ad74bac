#include "shell/CommandLine.h"

#include "shell/GlobalVars.h"
#include "stream/NumberText.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

// The front-end's command-line rules count text positions from 1; these helpers keep that
// arithmetic as the rules state it. A rule whose arithmetic goes out of range (a negative length)
// is skipped and leaves its field as it was, hence the optional results.

// 1-based position of `find` at or after `start`, letter case ignored; 0 when absent or when
// `start` is past the end.
qsizetype InStr(qsizetype start, const QString& text, QStringView find) {
    if (start < 1 || start > text.size())
        return 0;
    const qsizetype at = text.indexOf(find, start - 1, Qt::CaseInsensitive);
    return at < 0 ? 0 : at + 1;
}

// `length` characters from the 1-based `start`; empty past the end, nothing for a negative length.
std::optional<QString> Mid(const QString& text, qsizetype start, qsizetype length) {
    if (start < 1 || length < 0)
        return std::nullopt;
    return start > text.size() ? QString() : text.mid(start - 1, length);
}

QString MidToEnd(const QString& text, qsizetype start) {
    return start > text.size() ? QString() : text.mid(start - 1);
}

// Option names are looked for only after the video path: folder names such as "/autos" must not
// switch anything on. The path is the leading quoted text (all of it when the quote is never
// closed), otherwise the text up to its first blank. Returns where the searches start.
qsizetype OptionSearchStart(const QString& c) {
    if (c.startsWith(u'"')) {
        const qsizetype close = InStr(2, c, u"\"");
        return close == 0 ? c.size() + 1 : close + 1;
    }
    const qsizetype blank = InStr(1, c, u" ");
    return blank == 0 ? c.size() + 1 : blank;
}

QString VideoPathFrom(QString text) {
    return ExpandLongPath(text.remove(u'"'));
}

// The text between the double quotes after an option found at `p`, used only when the opening
// quote stands less than `maxDistance` characters after `p` and a closing quote follows.
std::optional<QString> QuotedValue(const QString& c, qsizetype p, qsizetype maxDistance) {
    const qsizetype q = InStr(p, c, u"\"");
    if (!(q > p && q - p < maxDistance))
        return std::nullopt;
    const qsizetype r = InStr(q + 1, c, u"\"");
    if (!(r > q))
        return std::nullopt;
    return c.mid(q, r - q - 1);
}

bool EntryExists(const QString& path) {
    return !path.contains(QChar(0)) && QFileInfo::exists(path);
}

// The " /outdir=" value found at `p`: quoted, or up to the next blank.
std::optional<QString> OutDirValue(const QString& c, qsizetype p) {
    const qsizetype v = p + 9;
    if (Mid(c, v, 1) == QStringLiteral("\"")) {
        const qsizetype close = InStr(v + 2, c, u"\"");
        return Mid(c, v + 1, close - v - 1);
    }
    const qsizetype blank = InStr(v + 1, c, u" ");
    return blank > 0 ? Mid(c, v, blank - v) : MidToEnd(c, v);
}

void ReadOutDir(const QString& value, Global_var_module& record) {
    if (value.isEmpty())
        return;
    if (!EntryExists(value))
        record.OutDir.clear();
    else if (value.endsWith(u'/') && value.size() > 1)
        record.OutDir = value.chopped(1);
    else
        record.OutDir = value;
}

void SetMargin(qint16& margin, double value) {
    if (const auto rounded = ToInt16(value))
        margin = *rounded;
}

// "left,top,-right,-bottom": the list counts only when a minus follows a comma somewhere.
void ReadCropList(const QString& k, Global_var_module& record) {
    if (InStr(1, k, u",-") == 0 && InStr(1, k, u", -") == 0)
        return;
    const qsizetype i = InStr(1, k, u",") - 1;
    if (i > 0)
        SetMargin(record.CropLeft, LeadingNumber(k.left(i)));
    qsizetype s = i + 2;
    qsizetype j = InStr(s, k, u",");
    if (j > s)
        SetMargin(record.CropTop, LeadingNumber(k.mid(s - 1, j - s)));
    // Skips the comma and the character after it: the "-" of ",-" or the blank of ", -".
    s = j + 2;
    j = InStr(s, k, u",");
    if (j > s)
        SetMargin(record.CropRight, std::abs(LeadingNumber(k.mid(s - 1, j - s))));
    s = j + 2;
    SetMargin(record.CropBottom, std::abs(LeadingNumber(MidToEnd(k, s))));
    record.CropGiven = FlagTrue;
}

void ReadOptions(const QString& c, qsizetype start, Global_var_module& record) {
    if (const qsizetype p = InStr(start, c, u"/chapters=")) {
        if (const auto value = QuotedValue(c, p, 13))
            record.ChapterTimes = *value;
    }
    if (const qsizetype p = InStr(start, c, u"/clips=")) {
        if (const auto value = QuotedValue(c, p, 8)) {
            if (const auto number = StrictNumber(*value)) {
                if (const auto seconds = ToInt32(*number))
                    record.ClipSeconds = *seconds;
            }
        }
    }
    if (const qsizetype p = InStr(start, c, u"/crop=")) {
        if (const auto value = QuotedValue(c, p, 7))
            ReadCropList(*value, record);
    }
}

// The entry of `folder` that `name` names, spelled as stored: the exact name when there is such an
// entry, else the first entry equal to it apart from letter case. Entries are compared one by one
// because names may contain wildcard characters.
QString StoredName(const QString& folder, const QString& name) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    const bool typedExists = QFileInfo::exists(prefix + name);
    QString caseMatch;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString entry = it.fileName();
        if (entry == name && typedExists)
            return name;
        if (caseMatch.isEmpty() && entry.compare(name, Qt::CaseInsensitive) == 0 &&
            QFileInfo::exists(prefix + entry))
            caseMatch = entry;
    }
    if (!caseMatch.isEmpty())
        return caseMatch;
    // A folder that may be entered but not listed still resolves names typed exactly.
    return typedExists ? name : QString();
}

} // namespace

QString CommandLineText(const QStringList& arguments) {
    static const std::array<QString, 4> valueOptions{
        QStringLiteral("/outdir="), QStringLiteral("/chapters="), QStringLiteral("/clips="),
        QStringLiteral("/crop=")};
    const auto quoted = [](const QString& text) { return u'"' + text + u'"'; };
    QStringList parts;
    for (qsizetype n = 0; n < arguments.size(); ++n) {
        const QString& arg = arguments[n];
        if (n == 0) {
            parts << quoted(arg);
            continue;
        }
        const auto option =
            std::find_if(valueOptions.begin(), valueOptions.end(), [&arg](const QString& name) {
                return arg.startsWith(name, Qt::CaseInsensitive);
            });
        if (option != valueOptions.end()) {
            const QString value = arg.mid(option->size());
            parts << (value.startsWith(u'"') ? arg : arg.left(option->size()) + quoted(value));
        } else {
            parts << (arg.contains(u' ') ? quoted(arg) : arg);
        }
    }
    return parts.join(u' ');
}

void ReadCommandLine(const QString& commandLine, Global_var_module& record) {
    const QString& c = commandLine;
    const qsizetype start = OptionSearchStart(c);
    if (!c.isEmpty()) {
        if (const qsizetype p = InStr(start, c, u" /outdir=")) {
            record.VideoFile = VideoPathFrom(c.left(p - 1));
            if (const auto value = OutDirValue(c, p))
                ReadOutDir(*value, record);
        } else if (InStr(start, c, u"/chapters=") > 0) {
            const qsizetype blankFirst = InStr(start, c, u" /chapters=");
            record.VideoFile = VideoPathFrom(blankFirst > 0 ? c.left(blankFirst - 1) : c);
        } else {
            record.VideoFile = VideoPathFrom(c);
        }
        ReadOptions(c, start, record);
    }
    record.AutoMode = ToFlag(InStr(start, c, u"/auto") > 0);
    record.MarkOnly = ToFlag(InStr(start, c, u"/markonly") > 0);
}

QString ExpandLongPath(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return {};
    const QString absolute = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
    QStringList stored;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        const QString folder = u'/' + stored.join(u'/');
        if (part == u"..") {
            if (!QFileInfo(folder).isDir())
                return {};
            if (!stored.isEmpty())
                stored.removeLast();
            continue;
        }
        const QString name = StoredName(folder, part);
        if (name.isEmpty())
            return {};
        stored << name;
    }
    return u'/' + stored.join(u'/');
}
