#include "chapters/Timecode.h"

#include "stream/NumberText.h"

#include <QStringList>
#include <cmath>

namespace {

constexpr double SecondsPerDay = 86400.0;

QString ClockText(qint64 hours, qint64 minutes, qint64 seconds, qint64 millis) {
    return ZeroPadded(hours, 2) + u':' + ZeroPadded(minutes, 2) + u':' + ZeroPadded(seconds, 2) +
           u'.' + ZeroPadded(millis, 3);
}

// A whole-number field of a clock text: one or more decimal digits.
bool ClockField(const QString& text, int& value) {
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    value = text.toInt();
    return true;
}

// "H:M:S" or "H:M" as seconds since midnight; false unless it is a valid 24-hour time.
bool ParseClock(const QString& clock, int& seconds) {
    const QStringList parts = clock.split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    int h = 0, m = 0, s = 0;
    if (!ClockField(parts[0], h) || !ClockField(parts[1], m))
        return false;
    if (parts.size() == 3 && !ClockField(parts[2], s))
        return false;
    if (h > 23 || m > 59 || s > 59)
        return false;
    seconds = h * 3600 + m * 60 + s;
    return true;
}

// The millisecond part of a timecode: the number in its three characters after the seconds.
double MillisOf(const QString& timecode) {
    return LeadingNumber(timecode.mid(9, 3));
}

// Hour and minute of a day fraction, read as a clock does: rounded to the whole second first.
void HourMinuteOf(double dayFraction, qint64& hour, qint64& minute) {
    const double totalSeconds = std::round(dayFraction * SecondsPerDay);
    const qint64 secondsOfDay = static_cast<qint64>(
        std::fmod(std::fmod(totalSeconds, SecondsPerDay) + SecondsPerDay, SecondsPerDay));
    hour = secondsOfDay / 3600;
    minute = (secondsOfDay / 60) % 60;
}

} // namespace

bool TimeOfDaySeconds(const QString& timecode, int& seconds) {
    const QString clock = timecode.left(8);
    if (clock.size() != 8 || clock[2] != u':' || clock[5] != u':')
        return false;
    return ParseClock(clock, seconds);
}

bool IsTimecode(const QString& text) {
    if (text.size() != 12 || text[8] != u'.')
        return false;
    for (int i : {9, 10, 11}) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    int seconds = 0;
    return TimeOfDaySeconds(text, seconds);
}

std::optional<double> TimecodeSeconds(const QString& timecode) {
    int seconds = 0;
    if (!TimeOfDaySeconds(timecode, seconds))
        return std::nullopt;
    return seconds + LeadingNumber(QStringLiteral("0.") + timecode.mid(9));
}

QString GopTimecodeToText(int hours, int minutes, int seconds, int pictures, float frameRate,
                          bool dropFrame) {
    if (frameRate == 29.97f && !dropFrame) {
        const double value = (minutes * (1.0 / 1440) + hours * (1.0 / 24) +
                              seconds * (1.0 / 86400) + pictures * (1.0 / 86400) / 30) /
                             1.001001001;
        return FormatDayFraction(value, 3, QStringLiteral("."));
    }
    // A damaged sequence header leaves the frame rate unknown (0): the pictures then add nothing.
    double ms =
        frameRate > 0.0f
            ? std::floor(static_cast<double>(pictures) / static_cast<double>(frameRate) * 1000.0)
            : 0.0;
    if (!(std::abs(ms) < 1e12))
        ms = 0.0;
    return ClockText(hours, minutes, seconds, static_cast<qint64>(ms));
}

qint64 TruncatePosition(double position) {
    if (!std::isfinite(position))
        return 0;
    return static_cast<qint64>(std::trunc(position));
}

QString StepTimecode(const QString& currentTimecode, const QString& shownText, float frameRate) {
    if (shownText.size() <= 4)
        return currentTimecode;
    int t = 0;
    if (!TimeOfDaySeconds(currentTimecode, t) || !(frameRate > 0.0f))
        return currentTimecode;
    const std::optional<qint16> frameMs =
        ToInt16(std::floor(1.0 / static_cast<double>(frameRate) * 1000.0));
    double ms = MillisOf(currentTimecode) + (frameMs ? *frameMs : 0);
    if (ms > 999) {
        ms -= 1000;
        t += 1;
    }
    t %= 86400;
    return ClockText(t / 3600, (t / 60) % 60, t % 60, static_cast<qint64>(ms));
}

int SecondsOfMinute(double dayFraction) {
    qint64 hour = 0, minute = 0;
    HourMinuteOf(dayFraction, hour, minute);
    double r = dayFraction - hour / 24.0 - minute / 1440.0;
    if (r < 0)
        r = 0;
    double s = r * SecondsPerDay;
    if (s > SecondsPerDay)
        s -= SecondsPerDay;
    return static_cast<int>(std::floor(RoundDecimals(s, 6)));
}

OffsetTimecode ApplyTimeOffset(const QString& timecode, const QString& firstGopTimecode) {
    if (timecode.size() < 5)
        return {timecode, false};
    int t1 = 0, t0 = 0;
    if (!TimeOfDaySeconds(timecode, t1) || !TimeOfDaySeconds(firstGopTimecode, t0))
        return {QStringLiteral("???"), false};
    const double ms1 = MillisOf(timecode);
    const double ms0 = MillisOf(firstGopTimecode);
    if ((t1 + ms1 / 1000.0) - (t0 + ms0 / 1000.0) < 0)
        return {QStringLiteral("???"), true};
    qint64 d = t1 - t0;
    double ms;
    if (ms1 < ms0) {
        d -= 1;
        ms = ms1 - ms0 + 1000;
    } else {
        ms = ms1 - ms0;
    }
    const double day = static_cast<double>(d) / SecondsPerDay;
    qint64 hour = 0, minute = 0;
    HourMinuteOf(day, hour, minute);
    return {ClockText(hour, minute, SecondsOfMinute(day), static_cast<qint64>(ms)), false};
}

QString NormalizeTimecode(const QString& text, bool keepFraction) {
    for (QChar c : text) {
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'.' || c == u':' || c == u'!';
        if (!allowed)
            return QString();
    }
    const qsizetype colons = text.count(u':');
    if (colons < 1 || colons > 3)
        return QString();

    QString clock;
    QString digits;
    const qsizetype lastDot = text.lastIndexOf(u'.');
    if (colons == 3) {
        const qsizetype lastColon = text.lastIndexOf(u':');
        clock = text.left(lastColon);
        digits = text.mid(lastColon + 1);
    } else if (lastDot >= 0) {
        clock = text.left(lastDot);
        digits = text.mid(lastDot + 1);
        if (colons == 1)
            clock.prepend(QStringLiteral("00:"));
    } else {
        clock = text;
    }
    // The fraction must be digits only; anything else would end up inside the timecode text.
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return QString();

    QString fraction;
    if (!digits.isEmpty()) {
        fraction = u'.' + digits;
        if (digits.size() == 1)
            fraction += QStringLiteral("00");
        else if (digits.size() == 2)
            fraction += u'0';
        else
            fraction = fraction.left(4);
    }

    int seconds = 0;
    if (!ParseClock(clock, seconds))
        return QString();
    if (keepFraction)
        return ZeroPadded(seconds / 3600, 2) + u':' + ZeroPadded((seconds / 60) % 60, 2) + u':' +
               ZeroPadded(seconds % 60, 2) + fraction;
    const double value = seconds / SecondsPerDay + LeadingNumber(u'0' + fraction) / SecondsPerDay;
    return QString::number(value, 'g', 15);
}

qint64 FramePeriodNs(float frameRate) {
    constexpr double FallbackFrameRate = 25.0;
    constexpr double SlowestFrameRate = 1.0;
    constexpr double NsPerSecond = 1e9;
    const double rate = std::isfinite(frameRate) && frameRate >= SlowestFrameRate
                            ? double(frameRate)
                            : FallbackFrameRate;
    return qint64(std::llround(NsPerSecond / rate));
}
