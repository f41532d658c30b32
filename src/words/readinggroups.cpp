// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/readinggroups.h"

#include "device/format.h"

namespace kz {

ReadingGroups::ReadingGroups() : m_recentWords(kRecentSlots, QStringLiteral("999"))
{
}

QString ReadingGroups::decimalText(double value)
{
    QString text = signedField(value);
    if (text.startsWith(u' '))
        text.remove(0, 1);
    if (text.startsWith(u'.'))
        text.prepend(u'0');
    else if (text.startsWith(QLatin1String("-.")))
        text.insert(1, u'0');
    return text;
}

std::optional<QString> ReadingGroups::take(const QString &message, qint16 gain)
{
    if (m_phase < 4) {
        if (m_phase >= 1)
            m_readings[m_phase - 1] = message;
        ++m_phase;
        return std::nullopt;
    }
    m_phase = 1;
    const double sum
        = numericValue(m_readings[0]) + numericValue(m_readings[1]) + numericValue(m_readings[2]);
    return decimalText(sum * gain);
}

namespace {
QString wordDigits(const QString &groupText)
{
    return digitsOnly(groupText).left(4);
}
} // namespace

std::optional<int> ReadingGroups::wordNumber(const QString &groupText)
{
    const QString digits = wordDigits(groupText);
    if (digits.isEmpty())
        return std::nullopt;
    return static_cast<int>(numericValue(digits));
}

std::optional<ReadingGroups::Word> ReadingGroups::wordFor(const QString &groupText)
{
    const std::optional<int> number = wordNumber(groupText);
    if (!number)
        return std::nullopt;
    const int w = *number;
    if (w > kHighestWord || w < 1)
        return std::nullopt;

    m_recentIndex = m_recentIndex >= kRecentRing ? 1 : m_recentIndex + 1;
    for (int slot = 0; slot <= kRecentRing; ++slot) {
        if (numericValue(m_recentWords.at(slot)) == w)
            return std::nullopt;
    }
    m_recentWords[m_recentIndex] = QString::number(w);
    return Word {w, wordDigits(groupText)};
}

} // namespace kz
