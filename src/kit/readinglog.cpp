// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/readinglog.h"

#include "device/pacing.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kz {

namespace {

ReadingLog::Clock steadyClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return double(timer->elapsed()); };
}

QByteArray shortest(double value)
{
    // The fewest digits that read back as the same double.
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray csvField(const QString &text)
{
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n')
        && !field.contains('\r'))
        return field;
    field.replace('"', "\"\"");
    return '"' + field + '"';
}

} // namespace

ReadingLog::ReadingLog(qsizetype maxPoints, Clock clock)
    : m_maxPoints(qMax<qsizetype>(1, maxPoints)), m_clock(clock ? std::move(clock) : steadyClock())
{
}

void ReadingLog::startClock()
{
    if (!m_origin)
        m_origin = m_clock();
}

double ReadingLog::now() const
{
    if (!m_origin)
        return 0;
    // Whole milliseconds of design time: tests run the program's time
    // scaled down and still see the times the design gives.
    const double ms = std::round((m_clock() - *m_origin) / Pacing::timeScale());
    return ms / 1000;
}

void ReadingLog::add(Reading::Source source, double value, const QString &word)
{
    if (qsizetype(m_points.size()) == m_maxPoints) {
        if (m_points.front().labelled)
            m_words.pop_front();
        m_points.pop_front();
        ++m_first;
    }
    const bool labelled = !word.isEmpty();
    if (labelled)
        m_words.emplace_back(end(), word);
    m_points.push_back(Stored {now(), value, source, labelled});
}

Reading ReadingLog::at(quint64 serial) const
{
    const Stored &stored = m_points.at(serial - m_first);
    Reading point {stored.seconds, stored.value, stored.source, {}};
    if (stored.labelled) {
        const auto it = std::lower_bound(
            m_words.begin(), m_words.end(), serial,
            [](const std::pair<quint64, QString> &word, quint64 s) { return word.first < s; });
        point.word = it->second;
    }
    return point;
}

QByteArray ReadingLog::csvLine(const Reading &point)
{
    return shortest(point.seconds) + ',' + Reading::sourceName(point.source).toUtf8() + ','
        + shortest(point.value) + ',' + csvField(point.word) + '\n';
}

bool ReadingLog::writeCsv(QIODevice &out) const
{
    // In chunks: a million lines at once would hold some 40 MB twice.
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray chunk = csvHeader();
    for (quint64 serial = first(); serial < end(); ++serial) {
        chunk += csvLine(at(serial));
        if (chunk.size() >= kChunk) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}

} // namespace kz
