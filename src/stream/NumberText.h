#pragma once

#include <QString>
#include <optional>

// Number conversions with the rules the program's texts were written for.

// Leading-number rule: leading blanks are skipped, then an optional sign, digits, an optional
// decimal point with digits and an optional exponent are read up to the first character that
// cannot belong to a number. Text without a leading number reads as 0.
double LeadingNumber(const QString& text);

// Strict conversion: the whole text, blanks around it allowed, must be a decimal number.
std::optional<double> StrictNumber(const QString& text);

// Rounding to the nearest whole number with halves to even.
double RoundHalfEven(double value);

// Rounds half to even into a 16- or 32-bit integer; empty when the result does not fit.
std::optional<qint16> ToInt16(double value);
std::optional<qint32> ToInt32(double value);

// Rounds to the given number of decimal places, halves to even.
double RoundDecimals(double value, int places);
