#include "stream/ClockText.h"

#include <cmath>

QString ZeroPadded(qint64 value, int width) {
    const QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, u'0');
    return value < 0 ? u'-' + digits : digits;
}

QString FormatDayFraction(double value, int digits, const QString& separator) {
    const bool millis = digits == 3;
    const double unitsPerDay = millis ? 86400000.0 : 8640000.0;
    const qint64 perHour = millis ? 3600000 : 360000;
    const qint64 perMinute = millis ? 60000 : 6000;
    const qint64 perSecond = millis ? 1000 : 100;
    // A whisker of tolerance keeps binary representation error from dropping a whole unit
    // (0.48 s would otherwise come out as 0.47).
    const double scaled = std::floor(value * unitsPerDay + 1e-6);
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9.0e15)
        return QStringLiteral("???");
    const qint64 n = static_cast<qint64>(scaled);
    // Integer division rounds toward minus infinity here (floor), the remainders keep the sign of
    // the dividend, as the clock arithmetic this text was defined with does.
    auto floorDiv = [](qint64 a, qint64 b) {
        qint64 q = a / b;
        if ((a % b != 0) && ((a < 0) != (b < 0)))
            --q;
        return q;
    };
    const qint64 h = floorDiv(n, perHour) % 24;
    const qint64 m = floorDiv(n, perMinute) % 60;
    const qint64 s = floorDiv(n, perSecond) % 60;
    const qint64 f = n - (h * perHour + m * perMinute + s * perSecond);
    return ZeroPadded(h, 2) + u':' + ZeroPadded(m, 2) + u':' + ZeroPadded(s, 2) + separator +
           ZeroPadded(f, millis ? 3 : 2);
}
