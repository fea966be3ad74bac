#pragma once

#include <QString>

// Writes a time given as a fraction of a day as "HH:MM:SS", the separator and the fraction:
// three digits (milliseconds) when `digits` is 3, two digits (hundredths) otherwise.
QString FormatDayFraction(double value, int digits, const QString& separator);

// Writes a whole number with at least `width` digits, leading zeros, minus sign in front.
QString ZeroPadded(qint64 value, int width);
