// SPDX-License-Identifier: GPL-3.0-or-later
#include "readingsplot.h"

#include "plotoverlay.h"
#include "tuning/tunemath.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace kz {

namespace {

using S = Reading::Source;

// New points are taken in and drawn at most this often: a redraw per
// reading would cost more than the readings are worth.
constexpr int kRefreshMs = 250;
// The scroll bar moves in tenths of a second.
constexpr double kScrollUnits = 10;
constexpr double kShortestSpan = 1;

// The sources drawn as graphs, with their names in the legend.
struct GraphSource {
    S source;
    bool onWordAxis;
};
constexpr GraphSource kGraphSources[] = {
    {S::ComReading, false}, {S::ComWord, true}, {S::TouchReading, false},
    {S::PkReading, false},  {S::PkLine, false}, {S::TunePass, false},
};

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

QPixmap disc(const QColor &colour)
{
    constexpr int kSize = 7;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, kSize - 1, kSize - 1));
    return pixmap;
}

QString withSuffix(QString path, const QString &suffix)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

} // namespace

ReadingsPlotView::ReadingsPlotView(const ReadingHistory &history, QWidget *parent)
    : ReadingsView(parent), m_history(history), m_next(history.first())
{
    // The desktop's font, not the main window's narrow design font, which
    // the plot would take over from its parent; set before the plot copies
    // it into its axes.
    setFont(QApplication::font());
    m_plot = new QCustomPlot(this);
    setWindowTitle(QStringLiteral("KZ readings"));
    resize(900, 560);
    m_plot->setObjectName(QStringLiteral("readingsPlot"));
    m_plot->setAccessibleName(QStringLiteral("Readings plot"));
    m_plot->setMouseTracking(true);
    m_plot->xAxis->setLabel(QStringLiteral("seconds since the connection"));
    m_plot->yAxis->setLabel(QStringLiteral("reading"));
    m_plot->yAxis2->setLabel(QStringLiteral("word number"));
    m_plot->yAxis2->setVisible(true);
    for (const GraphSource &g : kGraphSources) {
        QCPGraph *graph
            = m_plot->addGraph(m_plot->xAxis, g.onWordAxis ? m_plot->yAxis2 : m_plot->yAxis);
        graph->setName(Reading::sourceName(g.source));
        graph->setPen(QPen(sourceColour(g.source), 1));
        if (g.onWordAxis) {
            // Word numbers are single events, not a signal between them.
            graph->setLineStyle(QCPGraph::lsNone);
            // A disc drawn once and copied: drawn anew at each of an hour's
            // words, it costs a redraw several milliseconds.
            graph->setScatterStyle(QCPScatterStyle(disc(sourceColour(g.source))));
        }
        m_graphs[std::size_t(g.source)] = graph;
    }
    m_overlay = new PlotOverlay(m_plot);

    // The wheel zooms time only, and dragging moves through it.
    m_plot->setInteractions(QCP::iRangeZoom | QCP::iRangeDrag);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &ReadingsPlotView::timeRangeChanged);
    connect(m_plot, &QCustomPlot::mouseWheel, this, [this] {
        m_wheeling = true;
        QTimer::singleShot(0, this, [this] { m_wheeling = false; });
    });
    connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent *event) {
        const QString text = m_overlay->toolTipAt(event->position());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), text, m_plot);
    });

    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("timeScroll"));
    m_scroll->setAccessibleName(QStringLiteral("Time"));
    connect(m_scroll, &QScrollBar::valueChanged, this, &ReadingsPlotView::scrolled);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("readingsStatus"));
    m_dropped = new QLabel(this);
    m_dropped->setObjectName(QStringLiteral("droppedNote"));
    m_dropped->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildControls());
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_scroll);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_dropped);
    layout->addLayout(statusRow);

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ReadingsPlotView::refresh);
    takeNew();
    arrange();
}

QWidget *ReadingsPlotView::buildControls()
{
    auto *controls = new QWidget(this);
    auto *rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 0, 0, 0);

    auto *actions = new QHBoxLayout;
    m_follow = new QCheckBox(QStringLiteral("Follow the newest"), controls);
    m_follow->setObjectName(QStringLiteral("follow"));
    m_follow->setChecked(true);
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            arrange();
            m_plot->replot(QCustomPlot::rpQueuedReplot);
        }
    });
    actions->addWidget(m_follow);
    auto button = [&](const char *name, const QString &caption, auto slot) {
        auto *b = new QPushButton(caption, controls);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        actions->addWidget(b);
    };
    button("showAll", QStringLiteral("Show all"), [this] { showAll(); });
    actions->addStretch(1);
    button("exportCsv", QStringLiteral("Export CSV..."), [this] {
        exportWithDialog(QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"),
                         &ReadingsPlotView::exportCsv);
    });
    button("exportPng", QStringLiteral("Export PNG..."), [this] {
        exportWithDialog(QStringLiteral("PNG pictures (*.png)"), QStringLiteral("png"),
                         &ReadingsPlotView::exportPng);
    });
    button("exportSvg", QStringLiteral("Export SVG..."), [this] {
        exportWithDialog(QStringLiteral("SVG pictures (*.svg)"), QStringLiteral("svg"),
                         &ReadingsPlotView::exportSvg);
    });
    rows->addLayout(actions);

    const Series series[] = {
        {"comReadings", QStringLiteral("COM readings"), {S::ComReading}},
        {"comWords", QStringLiteral("COM word numbers"), {S::ComWord}},
        {"touchReadings", QStringLiteral("Touch Mode readings"), {S::TouchReading}},
        {"pkReadings", QStringLiteral("PK readings"), {S::PkReading}},
        {"pkLine", QStringLiteral("PK line"), {S::PkLine}},
        {"tunePasses", QStringLiteral("Auto tune passes"), {S::TunePass}},
        {"tuneLevels",
         QStringLiteral("Auto tune Low, Mid, High"),
         {S::TuneLow, S::TuneMid, S::TuneHigh}},
        {"events",
         QStringLiteral("Events"),
         {S::Question, S::Answer, S::ModeStarted, S::UploadStarted, S::UploadEnded}},
    };
    auto *toggles = new QHBoxLayout;
    for (const Series &s : series)
        toggles->addWidget(seriesToggle(s));
    toggles->addStretch(1);
    rows->addLayout(toggles);
    return controls;
}

QCheckBox *ReadingsPlotView::seriesToggle(const Series &series)
{
    auto *box = new QCheckBox(series.caption, this);
    box->setObjectName(QLatin1String(series.name));
    box->setIcon(swatch(sourceColour(series.sources.constFirst())));
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, this, [this, series](bool on) {
        setSeriesShown(series, on);
        arrange();
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    });
    return box;
}

void ReadingsPlotView::setSeriesShown(const Series &series, bool on)
{
    for (const S source : series.sources) {
        if (QCPGraph *graph = m_graphs[std::size_t(source)])
            graph->setVisible(on);
    }
    const S first = series.sources.constFirst();
    if (first == S::ComWord) {
        m_overlay->setLabelsShown(on);
        m_plot->yAxis2->setVisible(on);
    } else if (first == S::TuneLow)
        m_overlay->setTuneShown(on);
    else if (Reading::isMark(first))
        m_overlay->setMarksShown(on);
}

bool ReadingsPlotView::takeNew()
{
    bool changed = false;
    const quint64 first = m_history.first();
    const quint64 end = m_history.end();
    if (first > m_first) {
        // The history dropped its oldest points: so does the plot.
        m_first = first;
        m_oldest = first < end ? m_history.at(first).seconds : m_newest;
        for (QCPGraph *graph : m_graphs) {
            if (graph)
                graph->data()->removeBefore(m_oldest);
        }
        m_overlay->dropBefore(first);
        m_dropped->setText(QStringLiteral("The oldest points were dropped: at most %1 are kept.")
                               .arg(QLocale(QLocale::English).toString(m_history.maxPoints())));
        m_dropped->show();
        changed = true;
    }
    const quint64 from = qMax(m_next, first);
    for (m_next = from; m_next < end; ++m_next)
        take(m_next, m_history.at(m_next));
    if (!changed && end == from)
        return false;
    m_status->setText(QStringLiteral("%1 points, %2 s to %3 s")
                          .arg(end - first)
                          .arg(m_oldest, 0, 'f', 1)
                          .arg(m_newest, 0, 'f', 1));
    return true;
}

void ReadingsPlotView::take(quint64 serial, const Reading &point)
{
    m_newest = point.seconds;
    if (QCPGraph *graph = m_graphs[std::size_t(point.source)])
        graph->addData(point.seconds, point.value);
    if (point.source == S::ComWord && !point.word.isEmpty())
        m_overlay->addLabel({serial, point.seconds, point.value, point.word});
    else if (Reading::isMark(point.source))
        m_overlay->addMark({serial, point.seconds, point.source, point.word});
    else if (point.source >= S::TuneLow && point.source <= S::TuneHigh)
        m_overlay->addTuneLevel(serial, tuneRunStart(point.seconds), point.seconds, point.source,
                                point.value);
}

double ReadingsPlotView::tuneRunStart(double resultSeconds) const
{
    // A run's results follow its passes, all of them: the run began with
    // the pass that many passes back.
    const QSharedPointer<QCPGraphDataContainer> passes = m_graphs[std::size_t(S::TunePass)]->data();
    auto last = passes->findEnd(resultSeconds, false);
    if (last == passes->constBegin())
        return resultSeconds;
    const auto begin = last - qMin<qsizetype>(tune::kPasses, last - passes->constBegin());
    return begin->key;
}

void ReadingsPlotView::arrange()
{
    m_arranging = true;
    if (isFollowing()) {
        const double upper = qMax(m_newest, m_span);
        setTimeRange(upper - m_span, upper);
    }
    rescaleValues();
    updateScrollBar();
    m_arranging = false;
}

void ReadingsPlotView::rescaleValues()
{
    const QCPRange keys = m_plot->xAxis->range();
    for (QCPAxis *axis : {m_plot->yAxis, m_plot->yAxis2}) {
        QCPRange values;
        bool found = axis == m_plot->yAxis && m_overlay->tuneRange(keys, &values);
        for (QCPGraph *graph : m_graphs) {
            if (!graph || !graph->visible() || graph->valueAxis() != axis)
                continue;
            bool inGraph = false;
            const QCPRange range = graph->getValueRange(inGraph, QCP::sdBoth, keys);
            if (!inGraph)
                continue;
            if (found) {
                values.expand(range);
            } else {
                values = range;
                found = true;
            }
        }
        if (!found)
            continue; // nothing in view: the axis stays where it was
        const double margin = qMax(1.0, values.size() * 0.05);
        axis->setRange(values.lower - margin, values.upper + margin);
    }
}

void ReadingsPlotView::updateScrollBar()
{
    const QSignalBlocker quiet(m_scroll);
    const QCPRange view = m_plot->xAxis->range();
    const double lowest = qMin(m_oldest, view.lower);
    const double highest = qMax(m_newest - view.size(), view.lower);
    m_scroll->setRange(int(lowest * kScrollUnits), int(highest * kScrollUnits));
    m_scroll->setPageStep(qMax(1, int(view.size() * kScrollUnits)));
    m_scroll->setValue(int(view.lower * kScrollUnits));
}

void ReadingsPlotView::setTimeRange(double lower, double upper)
{
    const bool arranging = std::exchange(m_arranging, true);
    m_plot->xAxis->setRange(lower, upper);
    m_arranging = arranging;
}

void ReadingsPlotView::timeRangeChanged(const QCPRange &range)
{
    if (m_arranging)
        return;
    if (m_wheeling) {
        // A wheel step while following changes how much is in view, and the
        // newest stays at the right edge.
        m_span = qMax(kShortestSpan, range.size());
    } else if (isFollowing()) {
        m_follow->setChecked(false); // a drag back in time
    }
    arrange();
}

void ReadingsPlotView::scrolled(int value)
{
    m_follow->setChecked(false);
    const double size = m_plot->xAxis->range().size();
    setTimeRange(value / kScrollUnits, value / kScrollUnits + size);
    arrange();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ReadingsPlotView::refresh()
{
    if (!takeNew())
        return;
    arrange();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ReadingsPlotView::setFollowing(bool on)
{
    m_follow->setChecked(on);
}

bool ReadingsPlotView::isFollowing() const
{
    return m_follow->isChecked();
}

QPair<double, double> ReadingsPlotView::visibleSeconds() const
{
    const QCPRange range = m_plot->xAxis->range();
    return {range.lower, range.upper};
}

void ReadingsPlotView::showAll()
{
    m_follow->setChecked(false);
    takeNew();
    setTimeRange(m_oldest, qMax(m_newest, m_oldest + kShortestSpan));
    arrange();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ReadingsPlotView::redraw()
{
    takeNew();
    arrange();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void ReadingsPlotView::showEvent(QShowEvent *event)
{
    ReadingsView::showEvent(event);
    refresh();
    m_refresh.start();
}

void ReadingsPlotView::hideEvent(QHideEvent *event)
{
    // Hidden, the window costs nothing: the history keeps the points.
    m_refresh.stop();
    ReadingsView::hideEvent(event);
}

bool ReadingsPlotView::exportCsv(const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_history.writeCsv(file) || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool ReadingsPlotView::exportPng(const QString &path, QString *error)
{
    QImageWriter writer(path, "png");
    if (!writer.write(m_plot->toPixmap().toImage())) {
        *error = writer.errorString();
        return false;
    }
    return true;
}

bool ReadingsPlotView::exportSvg(const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const QSize size = m_plot->size();
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(windowTitle());
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        *error = QStringLiteral("cannot draw into %1").arg(path);
        return false;
    }
    m_plot->toPainter(&painter, size.width(), size.height());
    painter.end();
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void ReadingsPlotView::exportWithDialog(const QString &filter, const QString &suffix,
                                        bool (ReadingsPlotView::*write)(const QString &, QString *))
{
    const QString path
        = withSuffix(QFileDialog::getSaveFileName(this, QStringLiteral("Export readings"),
                                                  QStringLiteral("kz-readings.") + suffix, filter),
                     suffix);
    if (path.isEmpty())
        return;
    QString error;
    if (!(this->*write)(path, &error))
        QMessageBox::warning(this, QStringLiteral("Export readings"),
                             QStringLiteral("%1 was not written: %2").arg(path, error));
}

ReadingsView *ReadingsPlotPlugin::createView(const ReadingHistory &history, QWidget *parent)
{
    return new ReadingsPlotView(history, parent);
}

} // namespace kz
