// SPDX-License-Identifier: GPL-3.0-or-later
#include "readingsplot.h"

#include "plotoverlay.h"
#include "tuning/tunemath.h"
#include "window/readings/placement.h"

#include <QAccessible>
#include <QAccessibleWidget>
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
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QSvgGenerator>
#include <QTemporaryDir>
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

// A check box's swatch: a stripe of each colour it stands for.
QIcon swatch(const QList<QColor> &colours)
{
    constexpr int kSize = 12;
    QPixmap pixmap(kSize, kSize);
    const int stripe = kSize / int(colours.size());
    for (qsizetype i = 0; i < colours.size(); ++i) {
        const int top = int(i) * stripe;
        QPainter(&pixmap).fillRect(0, top, kSize, i + 1 == colours.size() ? kSize - top : stripe,
                                   colours.at(i));
    }
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

// Values these sources take are whole numbers: their axis counts in them.
bool wholeNumbers(S source)
{
    return source != S::PkLine && source != S::TunePass;
}

QString seconds(double s)
{
    return QString::number(s, 'f', 1) + QStringLiteral(" s");
}

QString count(qsizetype n)
{
    return QLocale(QLocale::English).toString(n);
}

// Qt's file dialog keeps what it last showed in a settings file of the
// user's; this window keeps nothing between runs, so the dialog's state goes
// to a folder that is removed when the program ends.
void keepNoSettings()
{
    static QTemporaryDir *folder = [] {
        auto *dir = new QTemporaryDir;
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, dir->path());
        qAddPostRoutine([] { delete folder; });
        return dir;
    }();
}

// Assistive technology meets the window as a window and the plot as a chart,
// not as fillers.
QAccessibleInterface *readingsAccessible(const QString &className, QObject *object)
{
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("kz::ReadingsPlotView"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("kz::ReadingsPlot"))
        return new QAccessibleWidget(widget, QAccessible::Chart);
    return nullptr;
}

} // namespace

void ReadingsPlot::paintEvent(QPaintEvent *event)
{
    QCustomPlot::paintEvent(event);
    if (!hasFocus())
        return;
    // The style marks a focus only where it came by keyboard, and most mark
    // a large area faintly: a frame in the selection colour shows at once.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void ReadingsPlot::focusInEvent(QFocusEvent *event)
{
    QCustomPlot::focusInEvent(event);
    update();
}

void ReadingsPlot::focusOutEvent(QFocusEvent *event)
{
    QCustomPlot::focusOutEvent(event);
    update();
}

void ReadingsPlot::keyPressEvent(QKeyEvent *event)
{
    if (keys && keys(event))
        event->accept();
    else
        QCustomPlot::keyPressEvent(event);
}

ReadingsPlotView::ReadingsPlotView(const ReadingHistory &history, QWidget *parent)
    : ReadingsView(parent), m_history(history), m_next(history.first())
{
    [[maybe_unused]] static const bool setUp = [] {
        QAccessible::installFactory(readingsAccessible);
        keepNoSettings();
        return true;
    }();
    // The desktop's font, not the main window's narrow design font, which
    // the plot would take over from its parent; set before the plot copies
    // it into its axes.
    setFont(QApplication::font());
    m_plot = new ReadingsPlot(this);
    setWindowTitle(QStringLiteral("KZ readings"));
    setAccessibleName(windowTitle());
    resize(900, 600);
    m_plot->setObjectName(QStringLiteral("readingsPlot"));
    m_plot->setAccessibleName(QStringLiteral("Readings plot"));
    // Until a key says what it did, how to move about.
    m_plot->setAccessibleDescription(
        QStringLiteral("Left, Right: move in time; plus, minus: zoom; Home, End: the oldest, "
                       "the newest; M, Shift+M: the next, previous mark"));
    m_plot->setFocusPolicy(Qt::StrongFocus);
    // Smaller, a window fitted beside the main one would show little.
    m_plot->setMinimumSize(400, 250);
    m_plot->setMouseTracking(true);
    m_plot->keys = [this](QKeyEvent *event) { return plotKey(event); };
    m_plot->xAxis->setLabel(QStringLiteral("seconds since the connection"));
    m_plot->yAxis->setLabel(QStringLiteral("reading"));
    m_plot->yAxis2->setLabel(QStringLiteral("word number"));
    m_plot->yAxis2->setVisible(true);
    // Word numbers are whole numbers, and so are most readings: no tick
    // between two of them.
    auto whole = QSharedPointer<QCPAxisTickerFixed>::create();
    whole->setTickStep(1);
    whole->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    m_wholeTicks = whole;
    m_plainTicks = m_plot->yAxis->ticker();
    m_plot->yAxis2->setTicker(m_wholeTicks);
    m_plot->setAutoAddPlottableToLegend(false);
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
    for (int i = 0; i < 3; ++i) {
        const auto source = S(int(S::TuneLow) + i);
        QCPGraph *key = m_plot->addGraph(m_plot->xAxis, m_plot->yAxis);
        key->setName(Reading::sourceName(source));
        key->setPen(QPen(sourceColour(source), 2));
        m_tuneKeys[std::size_t(i)] = key;
    }
    m_overlay = new PlotOverlay(m_plot);
    buildLegend();

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
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    connect(m_scroll, &QScrollBar::valueChanged, this, &ReadingsPlotView::scrolled);
    m_status = new QLabel(QStringLiteral("No points yet"), this);
    m_status->setObjectName(QStringLiteral("readingsStatus"));
    m_dropped = new QLabel(QStringLiteral("The oldest points were dropped: at most %1 are kept.")
                               .arg(count(m_history.maxPoints())),
                           this);
    m_dropped->setObjectName(QStringLiteral("droppedNote"));
    m_dropped->hide();
    m_exported = new QLabel(this);
    m_exported->setObjectName(QStringLiteral("exportNote"));
    m_exported->hide();

    auto *layout = new QVBoxLayout(this);
    QList<QWidget *> order = buildControls(layout);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_scroll);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_exported);
    statusRow->addWidget(m_dropped);
    layout->addLayout(statusRow);

    // A window of its own: Escape and Ctrl+W close it, as they close others.
    for (const QKeySequence &key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *close = new QShortcut(key, this);
        connect(close, &QShortcut::activated, this, &QWidget::close);
    }
    // Tab in reading order: the controls above the plot, the plot, its
    // scroll bar.
    order << m_plot << m_scroll;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ReadingsPlotView::refresh);
    takeNew();
    arrange();
}

QList<QWidget *> ReadingsPlotView::buildControls(QVBoxLayout *layout)
{
    QList<QWidget *> order;
    auto *actions = new QHBoxLayout;
    m_follow = new QCheckBox(QStringLiteral("Follow the newest"), this);
    m_follow->setObjectName(QStringLiteral("follow"));
    m_follow->setChecked(true);
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            arrange();
            m_plot->replot(QCustomPlot::rpQueuedReplot);
        }
    });
    actions->addWidget(m_follow);
    order << m_follow;
    auto button = [&](const char *name, const QString &caption, auto slot) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        actions->addWidget(b);
        order << b;
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
    layout->addLayout(actions);

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
    // Two rows, so that the window fits beside the main one on a small
    // screen.
    auto *toggles = new QGridLayout;
    constexpr int kColumns = 4;
    int i = 0;
    for (const Series &s : series) {
        QCheckBox *box = seriesToggle(s);
        toggles->addWidget(box, i / kColumns, i % kColumns);
        order << box;
        ++i;
    }
    toggles->setColumnStretch(kColumns, 1);
    layout->addLayout(toggles);
    return order;
}

void ReadingsPlotView::buildLegend()
{
    // One entry per series, in its colour, in a row below the plot: in the
    // window and in every picture exported.
    QCPLegend *legend = m_plot->legend;
    m_plot->axisRect()->insetLayout()->take(legend);
    m_plot->plotLayout()->addElement(1, 0, legend);
    m_plot->plotLayout()->setRowStretchFactor(1, 0.001);
    m_plot->plotLayout()->setRowSpacing(0);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(5);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setMargins(QMargins(4, 0, 4, 4));
    legend->setVisible(false);
}

QCheckBox *ReadingsPlotView::seriesToggle(const Series &series)
{
    auto *box = new QCheckBox(series.caption, this);
    box->setObjectName(QLatin1String(series.name));
    QList<QColor> colours;
    for (const S source : series.sources) {
        if (!colours.contains(sourceColour(source)))
            colours << sourceColour(source);
    }
    box->setIcon(swatch(colours));
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
    } else if (first == S::TuneLow) {
        m_overlay->setTuneShown(on);
        for (QCPGraph *key : m_tuneKeys)
            key->setVisible(on);
    } else if (Reading::isMark(first)) {
        m_overlay->setMarksShown(on);
    }
}

bool ReadingsPlotView::takeNew()
{
    bool changed = false;
    const quint64 first = m_history.first();
    const quint64 end = m_history.end();
    if (first > m_first) {
        // The history dropped its oldest points: so does the plot.
        m_first = first;
        const double oldest = first < end ? m_history.at(first).seconds : m_newest;
        for (QCPGraph *graph : m_graphs) {
            if (graph)
                graph->data()->removeBefore(oldest);
        }
        m_overlay->dropBefore(first);
        m_dropped->show();
        changed = true;
    }
    const quint64 from = qMax(m_next, first);
    for (m_next = from; m_next < end; ++m_next)
        take(m_next, m_history.at(m_next));
    if (!changed && end == from)
        return false;
    // The run starts with its first point kept, not at the connection.
    m_oldest = first < end ? m_history.at(first).seconds : m_newest;
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
    updateLegend();
    updateStatus();
    m_arranging = false;
}

void ReadingsPlotView::rescaleValues()
{
    const QCPRange keys = m_plot->xAxis->range();
    // The marks' texts keep a band at the top to themselves, so that no
    // reading or word is drawn beneath them.
    const int height = m_plot->axisRect()->height();
    const double band = height > 0 ? qMin(0.4, double(m_overlay->markBand()) / height) : 0;
    bool whole = true;
    for (QCPAxis *axis : {m_plot->yAxis, m_plot->yAxis2}) {
        QCPRange values;
        bool found = axis == m_plot->yAxis && m_overlay->tuneRange(keys, &values);
        for (std::size_t i = 0; i < m_graphs.size(); ++i) {
            QCPGraph *graph = m_graphs[i];
            if (!graph || !graph->visible() || graph->valueAxis() != axis)
                continue;
            bool inGraph = false;
            const QCPRange range = graph->getValueRange(inGraph, QCP::sdBoth, keys);
            if (!inGraph)
                continue;
            whole = whole && wholeNumbers(S(i));
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
        const double lower = values.lower - margin;
        const double upper = values.upper + margin;
        axis->setRange(lower, lower + (upper - lower) / (1 - band));
    }
    m_plot->yAxis->setTicker(whole ? m_wholeTicks : m_plainTicks);
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

void ReadingsPlotView::updateLegend()
{
    // The series that have points and are shown, always in the same order.
    QList<QCPGraph *> listed;
    for (const GraphSource &g : kGraphSources) {
        QCPGraph *graph = m_graphs[std::size_t(g.source)];
        if (graph->visible() && !graph->data()->isEmpty())
            listed << graph;
    }
    if (m_overlay->hasTune() && m_tuneKeys[0]->visible()) {
        for (QCPGraph *key : m_tuneKeys)
            listed << key;
    }
    QCPLegend *legend = m_plot->legend;
    bool same = legend->itemCount() == listed.size();
    for (int i = 0; same && i < legend->itemCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
        same = item && item->plottable() == listed.at(i);
    }
    if (same)
        return;
    legend->clearItems();
    for (QCPGraph *graph : listed)
        graph->addToLegend(legend);
    legend->setVisible(!listed.isEmpty());
}

void ReadingsPlotView::updateStatus()
{
    if (m_history.end() == m_history.first()) {
        m_status->setText(QStringLiteral("No points yet"));
        return;
    }
    // The points in view, and their times: where the view reaches past the
    // run, the edges of the view say nothing.
    const QCPRange keys = m_plot->xAxis->range();
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    qsizetype shown = 0;
    for (QCPGraph *graph : m_graphs) {
        if (!graph || !graph->visible())
            continue;
        const auto data = graph->data();
        const auto begin = data->findBegin(keys.lower, false);
        const auto end = data->findEnd(keys.upper, false);
        if (begin == end)
            continue;
        shown += end - begin;
        first = qMin(first, begin->key);
        last = qMax(last, std::prev(end)->key);
    }
    double firstMark = 0;
    double lastMark = 0;
    if (const int marks = m_overlay->marksIn(keys, &firstMark, &lastMark)) {
        shown += marks;
        first = qMin(first, firstMark);
        last = qMax(last, lastMark);
    }
    const QString kept = QStringLiteral("%1 kept, %2 to %3")
                             .arg(count(qsizetype(m_history.end() - m_history.first())),
                                  seconds(m_oldest), seconds(m_newest));
    if (shown == 0)
        m_status->setText(QStringLiteral("No points in view; %1").arg(kept));
    else
        m_status->setText(QStringLiteral("%1 %2 in view, %3 to %4; %5")
                              .arg(count(shown),
                                   shown == 1 ? QStringLiteral("point") : QStringLiteral("points"),
                                   seconds(first), seconds(last), kept));
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

bool ReadingsPlotView::plotKey(QKeyEvent *event)
{
    const double span = m_plot->xAxis->range().size();
    const int key = event->key();
    const bool plain = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    if (event->matches(QKeySequence::ZoomIn)
        || (plain && (key == Qt::Key_Plus || key == Qt::Key_Equal)))
        zoom(1 / 1.5);
    else if (event->matches(QKeySequence::ZoomOut) || (plain && key == Qt::Key_Minus))
        zoom(1.5);
    else if (!plain)
        return false;
    else if (key == Qt::Key_Left || key == Qt::Key_Right)
        pan((key == Qt::Key_Left ? -0.1 : 0.1) * span);
    else if (key == Qt::Key_PageUp || key == Qt::Key_PageDown)
        pan((key == Qt::Key_PageUp ? -1 : 1) * span);
    else if (key == Qt::Key_Home)
        pan(m_oldest - m_plot->xAxis->range().lower);
    else if (key == Qt::Key_End) {
        setFollowing(true);
        announce(QStringLiteral("Following the newest, %1 to %2")
                     .arg(seconds(m_plot->xAxis->range().lower),
                          seconds(m_plot->xAxis->range().upper)));
    } else if (key == Qt::Key_M)
        stepMark(event->modifiers() & Qt::ShiftModifier ? -1 : 1);
    else
        return false;
    return true;
}

void ReadingsPlotView::pan(double by)
{
    m_follow->setChecked(false);
    const QCPRange range = m_plot->xAxis->range();
    setTimeRange(range.lower + by, range.upper + by);
    arrange();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    announce(QStringLiteral("%1 to %2").arg(seconds(range.lower + by), seconds(range.upper + by)));
}

void ReadingsPlotView::zoom(double factor)
{
    const QCPRange range = m_plot->xAxis->range();
    const double span = qMax(kShortestSpan, range.size() * factor);
    if (isFollowing()) {
        // The newest stays at the right edge, as with the wheel.
        m_span = span;
    } else {
        const double centre = range.center();
        setTimeRange(centre - span / 2, centre + span / 2);
    }
    arrange();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    const QCPRange now = m_plot->xAxis->range();
    announce(QStringLiteral("%1 to %2").arg(seconds(now.lower), seconds(now.upper)));
}

void ReadingsPlotView::stepMark(int step)
{
    const std::deque<PlotOverlay::Mark> &marks = m_overlay->marks();
    if (!m_overlay->marksShown() || marks.empty()) {
        announce(QStringLiteral("No marks"));
        return;
    }
    // From the mark last stepped to, or else from the edge of the view.
    const QCPRange range = m_plot->xAxis->range();
    std::ptrdiff_t at;
    auto bySerial = std::lower_bound(
        marks.begin(), marks.end(), m_mark.value_or(0),
        [](const PlotOverlay::Mark &m, quint64 serial) { return m.serial < serial; });
    if (m_mark && bySerial != marks.end() && bySerial->serial == *m_mark) {
        at = (bySerial - marks.begin()) + step;
    } else if (step > 0) {
        at = std::find_if(marks.begin(), marks.end(),
                          [&](const PlotOverlay::Mark &m) { return m.seconds >= range.lower; })
            - marks.begin();
    } else {
        at = std::find_if(marks.rbegin(), marks.rend(),
                          [&](const PlotOverlay::Mark &m) { return m.seconds <= range.upper; })
                 .base()
            - marks.begin() - 1;
    }
    if (at < 0 || at >= std::ptrdiff_t(marks.size())) {
        announce(step > 0 ? QStringLiteral("No later mark") : QStringLiteral("No earlier mark"));
        return;
    }
    const PlotOverlay::Mark &mark = marks[std::size_t(at)];
    m_mark = mark.serial;
    m_overlay->setCurrentMark(m_mark);
    if (!range.contains(mark.seconds)) {
        m_follow->setChecked(false);
        setTimeRange(mark.seconds - range.size() / 2, mark.seconds + range.size() / 2);
    }
    arrange();
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
    const QString text = PlotOverlay::markText(mark);
    const QPoint tip(int(m_plot->xAxis->coordToPixel(mark.seconds)),
                     m_plot->axisRect()->top() + m_overlay->markBand());
    QToolTip::showText(m_plot->mapToGlobal(tip), text, m_plot);
    announce(text);
}

void ReadingsPlotView::announce(const QString &text)
{
    if (m_plot->accessibleDescription() != text) {
        m_plot->setAccessibleDescription(text);
    } else {
        QAccessibleEvent again(m_plot, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&again);
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent said(m_plot, text);
    QAccessible::updateAccessibility(&said);
#endif
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
    if (!std::exchange(m_placed, true)) {
        place();
        // The focus starts on the plot, marked so from the start; given
        // here, once the window is one (its owner may make it one after
        // creating it, which clears the focus).
        m_plot->setFocus(Qt::TabFocusReason);
    }
    ReadingsView::showEvent(event);
    refresh();
    m_refresh.start();
}

void ReadingsPlotView::place()
{
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!isWindow() || !main || !main->isVisible())
        return;
    QScreen *screen = main->screen();
    // The frame is the window manager's, unknown until first shown: taken
    // to be as wide as the main window's.
    const QRect outer = main->frameGeometry();
    const QRect inner = main->geometry();
    const QSize frame(outer.width() - inner.width(), outer.height() - inner.height());
    // The layout sets the window's smallest size only once it has run.
    layout()->activate();
    const QSize smallest = minimumSize().expandedTo(minimumSizeHint());
    const QRect place
        = placeBeside(outer, size() + frame, smallest + frame, screen->availableGeometry());
    resize(place.size() - frame);
    move(place.topLeft());
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

bool ReadingsPlotView::exportPicture(const QString &path,
                                     const std::function<bool(QCustomPlot &)> &draw,
                                     QString *error)
{
    // A picture on its own says what it shows: the time range above the
    // plot, the legend below it.
    const QCPRange range = m_plot->xAxis->range();
    QCPLayoutGrid *layout = m_plot->plotLayout();
    layout->insertRow(0);
    auto *title = new QCPTextElement(
        m_plot,
        QStringLiteral("KZ readings from %1 to %2 since the connection")
            .arg(seconds(range.lower), seconds(range.upper)),
        font());
    layout->addElement(0, 0, title);
    layout->setRowStretchFactor(0, 0.001);
    const bool drawn = draw(*m_plot);
    layout->remove(title);
    layout->simplify();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    if (!drawn && error->isEmpty())
        *error = QStringLiteral("cannot draw into %1").arg(path);
    return drawn;
}

bool ReadingsPlotView::exportPng(const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    return exportPicture(
        path,
        [&](QCustomPlot &plot) {
            QImageWriter writer(&file, "png");
            if (!writer.write(plot.toPixmap().toImage())) {
                *error = writer.errorString();
                return false;
            }
            if (!file.commit()) {
                *error = file.errorString();
                return false;
            }
            return true;
        },
        error);
}

bool ReadingsPlotView::exportSvg(const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    return exportPicture(
        path,
        [&](QCustomPlot &plot) {
            const QSize size = plot.size();
            QSvgGenerator svg;
            svg.setOutputDevice(&file);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setTitle(windowTitle());
            QCPPainter painter;
            if (!painter.begin(&svg))
                return false;
            plot.toPainter(&painter, size.width(), size.height());
            painter.end();
            if (!file.commit()) {
                *error = file.errorString();
                return false;
            }
            return true;
        },
        error);
}

QString ReadingsPlotView::exportFileName(const QString &chosen, const QString &suffix)
{
    // Suffixes that name a format of their own: they give way to the one
    // written. Any other stays part of the name ("run.2026.12").
    static const QStringList kFormats {
        QStringLiteral("csv"), QStringLiteral("png"),  QStringLiteral("svg"),
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("pdf"),
        QStringLiteral("bmp"), QStringLiteral("gif"),  QStringLiteral("txt"),
        QStringLiteral("tsv"), QStringLiteral("tif"),  QStringLiteral("tiff"),
        QStringLiteral("webp")};
    if (chosen.isEmpty())
        return chosen;
    const QString own = QFileInfo(chosen).suffix();
    if (own.compare(suffix, Qt::CaseInsensitive) == 0)
        return chosen;
    if (kFormats.contains(own.toLower()))
        return chosen.left(chosen.size() - own.size()) + suffix;
    return chosen + QLatin1Char('.') + suffix;
}

void ReadingsPlotView::exportWithDialog(const QString &filter, const QString &suffix,
                                        bool (ReadingsPlotView::*write)(const QString &, QString *))
{
    const QString chosen
        = QFileDialog::getSaveFileName(this, QStringLiteral("Export readings"),
                                       QStringLiteral("kz-readings.") + suffix, filter);
    const QString path = exportFileName(chosen, suffix);
    if (path.isEmpty())
        return;
    // The dialog asked about the name chosen, not about this one.
    if (path != chosen && QFileInfo::exists(path)
        && QMessageBox::question(this, QStringLiteral("Export readings"),
                                 QStringLiteral("%1 already exists. Replace it?").arg(path))
            != QMessageBox::Yes)
        return;
    QString error;
    if (!(this->*write)(path, &error)) {
        QMessageBox::warning(this, QStringLiteral("Export readings"),
                             QStringLiteral("%1 was not written: %2").arg(path, error));
        return;
    }
    m_exported->setText(QStringLiteral("Wrote %1").arg(QDir::toNativeSeparators(path)));
    m_exported->show();
}

ReadingsView *ReadingsPlotPlugin::createView(const ReadingHistory &history, QWidget *parent)
{
    return new ReadingsPlotView(history, parent);
}

} // namespace kz
