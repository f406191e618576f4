#pragma once

#include <QString>

namespace core {

// Formats a number by a picture such as "#.000": '0' is a digit always shown, '#' a digit
// shown only when significant, '.' the decimal point, ',' groups thousands; up to three
// sections separated by ';' serve positive, negative and zero values; text in quotes is
// copied. "#.000" shows 1.5 as "1.500" and 0.5 as ".500".
QString formatFloat(const QString &picture, double value);

// The plain text of a number: no exponent for ordinary magnitudes, no trailing zeros,
// "3" for a whole number and "1.5" otherwise. Every finite number's text reads back.
QString numberText(double value);

// Reads a number typed by a user: blanks around it are ignored, '.' or ',' is the
// decimal point. Returns false for anything else.
bool parseNumber(const QString &text, double *value);

} // namespace core
