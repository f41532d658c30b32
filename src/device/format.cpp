// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/format.h"

#include <cmath>
#include <limits>

namespace kz {

QString signedField(double value)
{
    if (value == 0.0) // also folds -0 into the blank form
        return QStringLiteral(" 0");
    const QString sign = value < 0 ? QStringLiteral("-") : QStringLiteral(" ");
    const double magnitude = std::fabs(value);
    QString digits = QString::number(magnitude, 'g', 15);
    if (digits.contains(QLatin1Char('e'))) {
        // Plain decimal notation only: widen to fixed and trim what %g would.
        digits = QString::number(magnitude, 'f', 15);
        if (digits.contains(QLatin1Char('.'))) {
            while (digits.endsWith(QLatin1Char('0')))
                digits.chop(1);
            if (digits.endsWith(QLatin1Char('.')))
                digits.chop(1);
        }
    }
    if (digits.startsWith(QLatin1String("0.")))
        digits.remove(0, 1);
    return sign + digits;
}

double numericValue(const QString &text)
{
    int i = 0;
    const int n = text.size();
    auto at = [&](int k) { return k < n ? text.at(k) : QChar(); };
    while (i < n && (at(i) == u' ' || at(i) == u'\t' || at(i) == u'\n'))
        ++i;
    const int start = i;
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    int mantissaDigits = 0;
    while (at(i).isDigit() && at(i).unicode() < 128) {
        ++i;
        ++mantissaDigits;
    }
    if (at(i) == u'.') {
        ++i;
        while (at(i).isDigit() && at(i).unicode() < 128) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0.0;
    int end = i;
    if (at(i) == u'e' || at(i) == u'E') {
        int j = i + 1;
        if (at(j) == u'+' || at(j) == u'-')
            ++j;
        if (at(j).isDigit() && at(j).unicode() < 128) {
            while (at(j).isDigit() && at(j).unicode() < 128)
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString digitsOnly(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            out.append(c);
    }
    return out;
}

QString trimBlanks(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return text.mid(from, to - from);
}

std::optional<qint16> toInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // default rounding: ties to even
    if (r < std::numeric_limits<qint16>::min() || r > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(r);
}

} // namespace kz
