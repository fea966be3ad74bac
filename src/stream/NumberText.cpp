#include "stream/NumberText.h"

#include <cmath>
#include <limits>

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Length of the number that starts at `from`, or 0 when none does.
qsizetype NumberLength(const QString& text, qsizetype from) {
    qsizetype i = from;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype expStart = j;
        while (j < n && IsDigit(text[j]))
            ++j;
        if (j > expStart)
            i = j;
    }
    return i - from;
}

double ParseNumber(const QString& text) {
    QString plain = text;
    plain.replace(u'd', u'e').replace(u'D', u'e');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

double LeadingNumber(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    const qsizetype len = NumberLength(text, start);
    if (len == 0)
        return 0.0;
    const double value = ParseNumber(text.mid(start, len));
    return std::isfinite(value) ? value : 0.0;
}

std::optional<double> StrictNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || NumberLength(trimmed, 0) != trimmed.size())
        return std::nullopt;
    const double value = ParseNumber(trimmed);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double floorValue = std::floor(value);
    const double diff = value - floorValue;
    if (diff > 0.5)
        return floorValue + 1.0;
    if (diff < 0.5)
        return floorValue;
    return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

std::optional<qint16> ToInt16(double value) {
    const double r = RoundHalfEven(value);
    if (!(r >= std::numeric_limits<qint16>::min() && r <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(r);
}

std::optional<qint32> ToInt32(double value) {
    const double r = RoundHalfEven(value);
    if (!(r >= std::numeric_limits<qint32>::min() && r <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(r);
}

double RoundDecimals(double value, int places) {
    const double scale = std::pow(10.0, places);
    return RoundHalfEven(value * scale) / scale;
}
