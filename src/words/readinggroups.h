// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kz {

// The COM page's arithmetic: complete messages come in groups of four; the
// three readings before the fourth, added and multiplied by the gain, name
// a word, which is announced unless it was announced lately.
class ReadingGroups {
public:
    static constexpr int kRecentRing = 20;
    static constexpr int kRecentSlots = 151;
    static constexpr int kHighestWord = 2048;

    struct Word {
        int number;
        // The digits as the device is to be told them, leading zeros kept.
        QString digits;
    };

    ReadingGroups();

    // One complete message. Empty while it is a reading of the group (or
    // the first message after the start, which is only counted); at the
    // fourth, the group's sum times the gain as decimal text.
    std::optional<QString> take(const QString &message, qint16 gain);
    // The word a group's text names, if it passes the repeat filter. The
    // ring moves on even for a repeat.
    std::optional<Word> wordFor(const QString &groupText);
    // The number a group's text names, before the range and repeat checks;
    // none when the text has no digits.
    static std::optional<int> wordNumber(const QString &groupText);

    int phase() const { return m_phase; }
    int recentIndex() const { return m_recentIndex; }
    // Slot 0 always holds "999", so word 999 is never announced.
    const QStringList &recentWords() const { return m_recentWords; }

    // The decimal text of a number as it replaces the message: no blank in
    // front, a zero before the point of a fraction.
    static QString decimalText(double value);

private:
    int m_phase = 0;
    QString m_readings[3];
    int m_recentIndex = 0;
    QStringList m_recentWords;
};

} // namespace kz
