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
#include <vector>

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

// Stretches of the text that hold option values, 1-based and inclusive: each double-quoted text
// with its quotes (a quote never closed runs to the end), and an unquoted output folder. An
// option name counts only outside them, so a folder "/data/autos" does not switch on "/auto".
struct Stretch {
    qsizetype from;
    qsizetype to;
};
using Stretches = std::vector<Stretch>;

Stretches QuotedStretches(const QString& c) {
    Stretches quoted;
    for (qsizetype open = InStr(1, c, u"\""); open != 0;) {
        const qsizetype close = InStr(open + 1, c, u"\"");
        quoted.push_back({open, close == 0 ? c.size() : close});
        open = close == 0 ? 0 : InStr(close + 1, c, u"\"");
    }
    return quoted;
}

// The first `find` at or after `start` that does not begin inside a value.
qsizetype FindOption(qsizetype start, const QString& c, QStringView find, const Stretches& values) {
    for (qsizetype at = InStr(start, c, find); at != 0; at = InStr(at + 1, c, find)) {
        const bool inValue = std::any_of(values.begin(), values.end(), [at](const Stretch& s) {
            return s.from <= at && at <= s.to;
        });
        if (!inValue)
            return at;
    }
    return 0;
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

// The " /outdir=" value found at `p`: quoted, or up to the next blank. `end` is the 1-based
// position of its last character.
std::optional<QString> OutDirValue(const QString& c, qsizetype p, qsizetype& end) {
    const qsizetype v = p + 9;
    if (Mid(c, v, 1) == QStringLiteral("\"")) {
        const qsizetype close = InStr(v + 2, c, u"\"");
        end = close;
        return Mid(c, v + 1, close - v - 1);
    }
    const qsizetype blank = InStr(v + 1, c, u" ");
    end = blank > 0 ? blank - 1 : c.size();
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

// The " /outdir=" option found at `p`; an unquoted value becomes one of the `values` in which no
// further option name counts.
void ReadOutDirAt(const QString& c, qsizetype p, Global_var_module& record, Stretches& values) {
    qsizetype end = 0;
    if (const auto value = OutDirValue(c, p, end)) {
        ReadOutDir(*value, record);
        if (Mid(c, p + 9, 1) != QStringLiteral("\"") && end >= p + 9)
            values.push_back({p + 9, end});
    }
}

// Every option but the output folder, and the two flags; names count from `start` on and outside
// the `values`.
void ReadOptions(const QString& c, qsizetype start, const Stretches& values,
                 Global_var_module& record) {
    if (const qsizetype p = FindOption(start, c, u"/chapters=", values)) {
        if (const auto value = QuotedValue(c, p, 13))
            record.ChapterTimes = *value;
    }
    if (const qsizetype p = FindOption(start, c, u"/clips=", values)) {
        if (const auto value = QuotedValue(c, p, 8)) {
            if (const auto number = StrictNumber(*value)) {
                if (const auto seconds = ToInt32(*number))
                    record.ClipSeconds = *seconds;
            }
        }
    }
    if (const qsizetype p = FindOption(start, c, u"/crop=", values)) {
        if (const auto value = QuotedValue(c, p, 7))
            ReadCropList(*value, record);
    }
}

void ReadFlags(const QString& c, qsizetype start, const Stretches& values,
               Global_var_module& record) {
    record.AutoMode = ToFlag(FindOption(start, c, u"/auto", values) > 0);
    record.MarkOnly = ToFlag(FindOption(start, c, u"/markonly", values) > 0);
}

const std::array<QString, 4>& ValueOptions() {
    static const std::array<QString, 4> names{QStringLiteral("/outdir="),
                                              QStringLiteral("/chapters="),
                                              QStringLiteral("/clips="), QStringLiteral("/crop=")};
    return names;
}

QString Quoted(const QString& text) {
    return u'"' + text + u'"';
}

// The options as one text: a value in double quotes unless it already starts with one, any other
// argument with a blank in double quotes, each preceded by one blank.
QString OptionText(const QStringList& options) {
    QString text;
    for (const QString& arg : options) {
        const auto option =
            std::find_if(ValueOptions().begin(), ValueOptions().end(), [&arg](const QString& name) {
                return arg.startsWith(name, Qt::CaseInsensitive);
            });
        text += u' ';
        if (option != ValueOptions().end()) {
            const QString value = arg.mid(option->size());
            text += value.startsWith(u'"') ? arg : arg.left(option->size()) + Quoted(value);
        } else {
            text += arg.contains(u' ') ? Quoted(arg) : arg;
        }
    }
    return text;
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
    if (arguments.isEmpty())
        return {};
    return Quoted(arguments.first()) + OptionText(arguments.mid(1));
}

void ReadCommandLine(const QString& commandLine, Global_var_module& record) {
    const QString& c = commandLine;
    const qsizetype start = OptionSearchStart(c);
    Stretches values = QuotedStretches(c);
    if (!c.isEmpty()) {
        if (const qsizetype p = FindOption(start, c, u" /outdir=", values)) {
            record.VideoFile = VideoPathFrom(c.left(p - 1));
            ReadOutDirAt(c, p, record, values);
        } else if (FindOption(start, c, u"/chapters=", values) > 0) {
            const qsizetype blankFirst = FindOption(start, c, u" /chapters=", values);
            record.VideoFile = VideoPathFrom(blankFirst > 0 ? c.left(blankFirst - 1) : c);
        } else {
            record.VideoFile = VideoPathFrom(c);
        }
        ReadOptions(c, start, values, record);
    }
    ReadFlags(c, start, values, record);
}

void ReadArguments(const QStringList& arguments, Global_var_module& record) {
    if (arguments.isEmpty()) {
        ReadCommandLine(QString(), record);
        return;
    }
    record.VideoFile = VideoPathFrom(arguments.first());
    bool autoMode = false;
    bool markOnly = false;
    // Each argument is read on its own, so a value never reaches into the next one; the last
    // argument is read first, so that of two equal options the first one counts, as in the text.
    for (qsizetype n = arguments.size() - 1; n >= 1; --n) {
        // The option text starts with the blank the text rules expect before " /outdir=".
        const QString c = OptionText({arguments[n]});
        Stretches values = QuotedStretches(c);
        if (const qsizetype p = FindOption(1, c, u" /outdir=", values))
            ReadOutDirAt(c, p, record, values);
        ReadOptions(c, 1, values, record);
        autoMode = autoMode || FindOption(1, c, u"/auto", values) > 0;
        markOnly = markOnly || FindOption(1, c, u"/markonly", values) > 0;
    }
    record.AutoMode = ToFlag(autoMode);
    record.MarkOnly = ToFlag(markOnly);
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
