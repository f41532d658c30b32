// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace kz {

// A number as the device and the window write it: one blank (or a minus sign
// when negative) and the decimal digits; fractions with a point, at most 15
// significant digits, no trailing zeros and no zero before the point.
QString signedField(double value);

// The decimal number at the start of a text after blanks, tabs and line
// feeds: optional sign, digits, point, exponent. 0 when there is none.
double numericValue(const QString &text);

// The digit filter: keeps only the characters "0" to "9", in order.
QString digitsOnly(const QString &text);

// The text without the blanks at its two ends; tabs and line ends stay.
QString trimBlanks(const QString &text);

// A value stored into a 16-bit integer: rounded to the nearest integer, ties
// to even; empty when the result does not fit.
std::optional<qint16> toInt16(double value);

} // namespace kz
