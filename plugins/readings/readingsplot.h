// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/readinghistory.h"
#include "window/readings/readingsview.h"

#include <QObject>
#include <QTimer>
#include <qcustomplot.h>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QScrollBar;
class QVBoxLayout;

namespace kz {

class PlotOverlay;

// The plot itself: it takes the focus, marks it, and hands its keys to the
// window.
class ReadingsPlot : public QCustomPlot {
    Q_OBJECT
public:
    using QCustomPlot::QCustomPlot;
    // Returns whether it used the key.
    std::function<bool(QKeyEvent *)> keys;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// The readings window drawn with QCustomPlot, which thins each graph to
// what the pixels can show: a redraw costs about the same for a minute of
// readings as for a million points.
class ReadingsPlotView : public ReadingsView {
    Q_OBJECT
public:
    // Seconds in view while following the newest readings.
    static constexpr double kFollowSpan = 60;

    ReadingsPlotView(const ReadingHistory &history, QWidget *parent = nullptr);

    void setFollowing(bool on) override;
    bool isFollowing() const override;
    QPair<double, double> visibleSeconds() const override;
    void showAll() override;
    void redraw() override;
    bool exportCsv(const QString &path, QString *error) override;
    bool exportPng(const QString &path, QString *error) override;
    bool exportSvg(const QString &path, QString *error) override;

    // The file an export writes for the name chosen: with the format's
    // suffix, added where the name has none and put in place of another
    // format's.
    static QString exportFileName(const QString &chosen, const QString &suffix);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // A check box that shows or hides some sources together.
    struct Series {
        const char *name;
        QString caption;
        QList<Reading::Source> sources;
    };

    // The controls above the plot, in reading order.
    QList<QWidget *> buildControls(QVBoxLayout *layout);
    void buildLegend();
    QCheckBox *seriesToggle(const Series &series);
    void setSeriesShown(const Series &series, bool on);
    // Copies what the history gained since the last call; true if anything
    // changed.
    bool takeNew();
    void take(quint64 serial, const Reading &point);
    double tuneRunStart(double resultSeconds) const;
    // Puts the time axis where following or the scroll bar say, the value
    // axes around what is in view, and the scroll bar over the whole run.
    void arrange();
    void rescaleValues();
    void updateScrollBar();
    void updateLegend();
    void updateStatus();
    void setTimeRange(double lower, double upper);
    void timeRangeChanged(const QCPRange &range);
    void scrolled(int value);
    void refresh();
    // Opens beside the main window, the first time it is shown.
    void place();

    // The plot's keys.
    bool plotKey(QKeyEvent *event);
    void pan(double seconds);
    void zoom(double factor);
    void stepMark(int step);
    // Tells assistive technology, through the plot's description.
    void announce(const QString &text);

    bool exportPicture(const QString &path, const std::function<bool(QCustomPlot &)> &draw,
                       QString *error);
    void exportWithDialog(const QString &filter, const QString &suffix,
                          bool (ReadingsPlotView::*write)(const QString &, QString *));

    const ReadingHistory &m_history;
    quint64 m_next = 0;
    // The history's first() when last looked at. From 0, so that points
    // dropped before the window was first opened are noted at once.
    quint64 m_first = 0;
    double m_newest = 0;
    double m_oldest = 0;
    double m_span = kFollowSpan;
    ReadingsPlot *m_plot;
    PlotOverlay *m_overlay;
    std::array<QCPGraph *, Reading::kSourceCount> m_graphs {};
    // Auto tune's results are drawn by the overlay; these stand for them in
    // the legend.
    std::array<QCPGraph *, 3> m_tuneKeys {};
    QSharedPointer<QCPAxisTicker> m_plainTicks;
    QSharedPointer<QCPAxisTicker> m_wholeTicks;
    QCheckBox *m_follow = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_dropped = nullptr;
    QLabel *m_exported = nullptr;
    std::optional<quint64> m_mark; // the serial of the mark stepped to
    QTimer m_refresh;
    bool m_placed = false;
    // Set while the program, not the user, moves the time axis or the
    // scroll bar; and while a wheel step zooms.
    bool m_arranging = false;
    bool m_wheeling = false;
};

class ReadingsPlotPlugin : public QObject, public ReadingsPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KZ_READINGS_PLUGIN_IID FILE "kzreadings.json")
    Q_INTERFACES(kz::ReadingsPlugin)
public:
    ReadingsView *createView(const ReadingHistory &history, QWidget *parent) override;
};

} // namespace kz
