// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/readinghistory.h"

#include <qcustomplot.h>

#include <deque>
#include <optional>

namespace kz {

// The colour every series and mark of a source is drawn in.
QColor sourceColour(Reading::Source source);

// What the plot draws besides its graphs: the event marks, the words said
// at their word numbers, and auto tune's three results as lines across the
// passes they came from. Only what lies in view is drawn, so a long run
// costs a redraw no more than a short one.
class PlotOverlay : public QCPLayerable {
    Q_OBJECT
public:
    struct Mark {
        quint64 serial;
        double seconds;
        Reading::Source source;
        QString text;
    };
    struct Label {
        quint64 serial;
        double seconds;
        double value;
        QString text;
    };
    // One run's Low, Mid and High, drawn from its first pass to its end.
    struct TuneLines {
        quint64 serial;
        double from;
        double to;
        double levels[3];
    };

    explicit PlotOverlay(QCustomPlot *plot);

    void addMark(const Mark &mark) { m_marks.push_back(mark); }
    void addLabel(const Label &label) { m_labels.push_back(label); }
    // `level` is one of TuneLow, TuneMid, TuneHigh; a run's three come in
    // that order.
    void addTuneLevel(quint64 serial, double from, double to, Reading::Source level, double value);
    // Forgets what the history has dropped.
    void dropBefore(quint64 serial);

    void setMarksShown(bool on) { m_marksShown = on; }
    bool marksShown() const { return m_marksShown; }
    const std::deque<Mark> &marks() const { return m_marks; }
    // What a mark's tooltip says.
    static QString markText(const Mark &mark);
    // The mark drawn out, as the keyboard stepped to it.
    void setCurrentMark(std::optional<quint64> serial) { m_current = serial; }
    // The shown marks in the key range: how many, the first and last time.
    int marksIn(const QCPRange &keys, double *first, double *last) const;
    // Pixels at the top of the plot that the marks' texts take.
    int markBand() const;
    bool hasTune() const { return !m_tune.empty(); }
    void setLabelsShown(bool on) { m_labelsShown = on; }
    void setTuneShown(bool on) { m_tuneShown = on; }
    // The largest and smallest tune level in the key range, for the value axis.
    bool tuneRange(const QCPRange &keys, QCPRange *values) const;

    // The text of a mark or tune result within a few pixels of pos; empty
    // when there is none.
    QString toolTipAt(const QPointF &pos) const;

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    QRect clipRect() const override;

private:
    void drawTuneLines(QCPPainter *painter, const QCPRange &keys) const;
    void drawMarks(QCPPainter *painter, const QCPRange &keys) const;
    void drawLabels(QCPPainter *painter, const QCPRange &keys) const;

    std::deque<Mark> m_marks;
    std::deque<Label> m_labels;
    std::deque<TuneLines> m_tune;
    bool m_marksShown = true;
    bool m_labelsShown = true;
    bool m_tuneShown = true;
    std::optional<quint64> m_current;
};

} // namespace kz
