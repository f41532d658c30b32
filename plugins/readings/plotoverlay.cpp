// SPDX-License-Identifier: GPL-3.0-or-later
#include "plotoverlay.h"

#include <algorithm>

namespace kz {

namespace {

// Beyond these many in view, texts would only cover each other.
constexpr int kMostLabels = 150;
constexpr int kMostMarkTexts = 60;
// How near the pointer must come to a mark for its tooltip, in pixels.
constexpr double kHoverPixels = 4;
// Marks close together take turns in this many rows of texts.
constexpr int kMarkRows = 3;

const char *const kLevelNames[3] = {"Low", "Mid", "High"};

QString markTitle(Reading::Source source)
{
    switch (source) {
    case Reading::Source::Question:
        return QStringLiteral("Question");
    case Reading::Source::Answer:
        return QStringLiteral("Answer");
    case Reading::Source::ModeStarted:
        return QStringLiteral("Mode started");
    case Reading::Source::UploadStarted:
        return QStringLiteral("Upload started");
    default:
        break;
    }
    return QStringLiteral("Upload ended");
}

// Short enough to stand beside its line.
QString markTag(const PlotOverlay::Mark &mark)
{
    switch (mark.source) {
    case Reading::Source::Question:
        return QStringLiteral("Q");
    case Reading::Source::Answer:
        return QStringLiteral("A");
    case Reading::Source::ModeStarted:
        return mark.text;
    case Reading::Source::UploadStarted:
        return QStringLiteral("upload");
    default:
        break;
    }
    return QStringLiteral("upload ") + mark.text;
}

// The first element whose seconds are not below `seconds`.
template<typename Items> auto firstFrom(const Items &items, double seconds)
{
    return std::lower_bound(items.begin(), items.end(), seconds,
                            [](const auto &item, double s) { return item.seconds < s; });
}

} // namespace

QColor sourceColour(Reading::Source source)
{
    using S = Reading::Source;
    switch (source) {
    case S::ComReading:
        return QColor(31, 119, 180);
    case S::ComWord:
        return QColor(148, 103, 189);
    case S::TouchReading:
        return QColor(44, 160, 44);
    case S::PkReading:
        return QColor(214, 39, 40);
    case S::PkLine:
        return QColor(255, 127, 14);
    case S::TunePass:
        return QColor(23, 190, 207);
    case S::TuneLow:
        return QColor(188, 189, 34);
    case S::TuneMid:
        return QColor(140, 86, 75);
    case S::TuneHigh:
        return QColor(227, 119, 194);
    case S::Question:
    case S::Answer:
        return QColor(60, 60, 60);
    default:
        break;
    }
    return QColor(127, 127, 127);
}

PlotOverlay::PlotOverlay(QCustomPlot *plot) : QCPLayerable(plot, QStringLiteral("main"))
{
}

void PlotOverlay::addTuneLevel(quint64 serial, double from, double to, Reading::Source level,
                               double value)
{
    const int index = int(level) - int(Reading::Source::TuneLow);
    if (index == 0 || m_tune.empty())
        m_tune.push_back(TuneLines {serial, from, to, {value, value, value}});
    else
        m_tune.back().levels[index] = value;
}

void PlotOverlay::dropBefore(quint64 serial)
{
    while (!m_marks.empty() && m_marks.front().serial < serial)
        m_marks.pop_front();
    while (!m_labels.empty() && m_labels.front().serial < serial)
        m_labels.pop_front();
    while (!m_tune.empty() && m_tune.front().serial < serial)
        m_tune.pop_front();
}

bool PlotOverlay::tuneRange(const QCPRange &keys, QCPRange *values) const
{
    bool found = false;
    if (!m_tuneShown)
        return false;
    for (const TuneLines &run : m_tune) {
        if (run.to < keys.lower || run.from > keys.upper)
            continue;
        for (double level : run.levels) {
            if (!found)
                *values = QCPRange(level, level);
            values->expand(level);
            found = true;
        }
    }
    return found;
}

QString PlotOverlay::markText(const Mark &mark)
{
    return markTitle(mark.source) + QStringLiteral(": ") + mark.text;
}

int PlotOverlay::marksIn(const QCPRange &keys, double *first, double *last) const
{
    if (!m_marksShown)
        return 0;
    const auto begin = firstFrom(m_marks, keys.lower);
    const auto end = firstFrom(m_marks, keys.upper + 1e-9);
    if (begin == end)
        return 0;
    *first = begin->seconds;
    *last = std::prev(end)->seconds;
    return int(end - begin);
}

int PlotOverlay::markBand() const
{
    return m_marksShown && !m_marks.empty()
        ? kMarkRows * (QFontMetrics(mParentPlot->font()).height() + 2) + 4
        : 0;
}

QString PlotOverlay::toolTipAt(const QPointF &pos) const
{
    const QCPAxis *x = mParentPlot->xAxis;
    const double from = x->pixelToCoord(pos.x() - kHoverPixels);
    const double to = x->pixelToCoord(pos.x() + kHoverPixels);
    if (m_marksShown) {
        QStringList texts;
        for (auto it = firstFrom(m_marks, from); it != m_marks.end() && it->seconds <= to; ++it)
            texts << markText(*it);
        if (!texts.isEmpty())
            return texts.join(QLatin1Char('\n'));
    }
    if (m_tuneShown) {
        const QCPAxis *y = mParentPlot->yAxis;
        for (const TuneLines &run : m_tune) {
            if (x->coordToPixel(run.from) > pos.x() || x->coordToPixel(run.to) < pos.x())
                continue;
            for (double level : run.levels) {
                if (std::abs(y->coordToPixel(level) - pos.y()) <= kHoverPixels)
                    return QStringLiteral("Auto tune: RANGE Low %1, Mid %2, High %3")
                        .arg(run.levels[0])
                        .arg(run.levels[1])
                        .arg(run.levels[2]);
            }
        }
    }
    return {};
}

void PlotOverlay::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    applyAntialiasingHint(painter, true, QCP::aeOther);
}

QRect PlotOverlay::clipRect() const
{
    return mParentPlot->axisRect()->rect();
}

void PlotOverlay::draw(QCPPainter *painter)
{
    const QCPRange keys = mParentPlot->xAxis->range();
    if (m_tuneShown)
        drawTuneLines(painter, keys);
    if (m_marksShown)
        drawMarks(painter, keys);
    if (m_labelsShown)
        drawLabels(painter, keys);
}

void PlotOverlay::drawTuneLines(QCPPainter *painter, const QCPRange &keys) const
{
    const QCPAxis *x = mParentPlot->xAxis;
    const QCPAxis *y = mParentPlot->yAxis;
    for (const TuneLines &run : m_tune) {
        if (run.to < keys.lower || run.from > keys.upper)
            continue;
        for (int i = 0; i < 3; ++i) {
            const auto source = Reading::Source(int(Reading::Source::TuneLow) + i);
            painter->setPen(QPen(sourceColour(source), 2));
            const double py = y->coordToPixel(run.levels[i]);
            const QPointF right(x->coordToPixel(run.to), py);
            painter->drawLine(QPointF(x->coordToPixel(run.from), py), right);
            painter->drawText(
                right + QPointF(3, 4),
                QStringLiteral("%1 %2").arg(QLatin1String(kLevelNames[i])).arg(run.levels[i]));
        }
    }
}

void PlotOverlay::drawMarks(QCPPainter *painter, const QCPRange &keys) const
{
    const QRect area = clipRect();
    const QCPAxis *x = mParentPlot->xAxis;
    const auto begin = firstFrom(m_marks, keys.lower);
    const auto end = firstFrom(m_marks, keys.upper + 1e-9);
    const bool withText = end - begin <= kMostMarkTexts;
    const QFontMetrics metrics(painter->font());
    const int rowHeight = metrics.height() + 2;
    // Plain lines: dashed or smoothed ones, thousands in view, would take
    // a redraw hundreds of milliseconds.
    painter->setAntialiasing(false);
    int row = 0;
    int lastColumn = std::numeric_limits<int>::min();
    for (auto it = begin; it != end; ++it) {
        const double px = x->coordToPixel(it->seconds);
        const bool current = m_current == it->serial;
        // One line per column of pixels is all that shows.
        if (!withText && !current && int(px) == std::exchange(lastColumn, int(px)))
            continue;
        const QColor colour = sourceColour(it->source);
        painter->setPen(QPen(current ? colour.darker(150) : colour.lighter(150), current ? 3 : 1));
        painter->drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
        if (!withText)
            continue;
        // The text on a pale ground of its own, in the band above the
        // readings, in a colour dark enough to read.
        const QString tag = markTag(*it);
        const QRectF box(px + 2, area.top() + 2 + rowHeight * (row++ % kMarkRows),
                         metrics.horizontalAdvance(tag) + 4, rowHeight);
        painter->fillRect(box, QColor(255, 255, 255, 220));
        painter->setPen(colour.darker(current ? 250 : 180));
        painter->drawText(box, Qt::AlignCenter, tag);
    }
}

void PlotOverlay::drawLabels(QCPPainter *painter, const QCPRange &keys) const
{
    const auto begin = firstFrom(m_labels, keys.lower);
    const auto end = firstFrom(m_labels, keys.upper + 1e-9);
    if (end - begin > kMostLabels)
        return;
    const QCPAxis *x = mParentPlot->xAxis;
    const QCPAxis *y = mParentPlot->yAxis2;
    painter->setPen(sourceColour(Reading::Source::ComWord).darker(130));
    for (auto it = begin; it != end; ++it)
        painter->drawText(QPointF(x->coordToPixel(it->seconds) + 4, y->coordToPixel(it->value) - 4),
                          it->text);
}

} // namespace kz
