// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/readinghistory.h"

#include <deque>
#include <functional>
#include <utility>

namespace kz {

// The readings the behaviours take from the receive loop, and the events
// around them, kept from the start of the run for the readings window. It
// costs nothing until something is added, and keeps at most a bound of
// points: the oldest go first.
class ReadingLog final : public ReadingHistory {
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<double()>;

    explicit ReadingLog(qsizetype maxPoints = kMaxPoints, Clock clock = {});

    // The first connection: points are stamped with the time since then,
    // points before it with 0. Later calls (a reconnection) change nothing,
    // so that the times of one run never go back.
    void startClock();
    bool clockStarted() const { return m_origin.has_value(); }

    void add(Reading::Source source, double value, const QString &word = QString());

    qsizetype size() const { return qsizetype(m_points.size()); }
    qsizetype maxPoints() const override { return m_maxPoints; }

    quint64 first() const override { return m_first; }
    quint64 end() const override { return m_first + m_points.size(); }
    Reading at(quint64 serial) const override;
    bool writeCsv(QIODevice &out) const override;

    static QByteArray csvHeader() { return QByteArrayLiteral("seconds,source,value,word\n"); }
    // One point as its CSV line, line end included.
    static QByteArray csvLine(const Reading &point);

private:
    struct Stored {
        double seconds;
        double value;
        Reading::Source source;
        bool labelled;
    };

    double now() const;

    qsizetype m_maxPoints;
    Clock m_clock;
    std::optional<double> m_origin;
    quint64 m_first = 0;
    std::deque<Stored> m_points;
    // The words of the labelled points, by serial, oldest first: most
    // points have none, and a QString in every point would double the size.
    std::deque<std::pair<quint64, QString>> m_words;
};

} // namespace kz
