// SPDX-License-Identifier: GPL-3.0-or-later
// The plotting library of the readings window, chosen by measurement: one
// 800x400 plot of N readings (a random walk, as a held KZ gives), on an Xvfb
// display, each library and N in a process of its own so that its peak
// memory is its own. Measured: a full redraw, and appending one reading and
// redrawing, for QCustomPlot (Qt 6 build) and, where installed, Qt Charts.
// kz-plot-bench [--case LIBRARY N]: --case measures one, on the display given.
#include "xserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <qcustomplot.h>
#ifdef KZ_HAVE_QT_CHARTS
#include <QChartView>
#include <QLineSeries>
#endif
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 400;
const QList<int> kSizes {18'000, 200'000, 1'000'000};

long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void settle()
{
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

QList<QPointF> walk(int n)
{
    QRandomGenerator random(1977);
    QList<QPointF> points;
    points.reserve(n);
    double level = 100;
    for (int i = 0; i < n; ++i) {
        level += 10 * (2 * random.generateDouble() - 1) + 0.05 * (100 - level);
        points.append(QPointF(i * 0.2, level));
    }
    return points;
}

// Median milliseconds of `times` calls.
double timed(int times, const std::function<void()> &call)
{
    QList<double> ms;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer clock;
        clock.start();
        call();
        ms << clock.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return ms.at(ms.size() / 2);
}

void report(const char *library, int n, double redraw, double append)
{
    std::printf("  %-11s %9d points: peak %6ld kB, full redraw %8.1f ms, append one and redraw "
                "%8.1f ms\n",
                library, n, peakKb(), redraw, append);
}

void measureQCustomPlot(int n, int times)
{
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    QCPGraph *graph = plot.addGraph();
    QVector<QCPGraphData> data;
    for (const QPointF &p : walk(n))
        data.append(QCPGraphData(p.x(), p.y()));
    graph->data()->add(data, true);
    plot.rescaleAxes();
    plot.show();
    settle();
    const double redraw = timed(times, [&] { plot.replot(QCustomPlot::rpImmediateRefresh); });
    double key = n * 0.2;
    const double append = timed(times, [&] {
        graph->addData(key += 0.2, 100);
        plot.replot(QCustomPlot::rpImmediateRefresh);
    });
    report("QCustomPlot", n, redraw, append);
}

#ifdef KZ_HAVE_QT_CHARTS
void measureQtCharts(int n, int times)
{
    auto *series = new QLineSeries;
    series->replace(walk(n));
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->createDefaultAxes();
    chart->legend()->hide();
    QChartView view(chart);
    view.resize(kWidth, kHeight);
    view.show();
    settle();
    const double redraw = timed(times, [&] { view.viewport()->repaint(); });
    double key = n * 0.2;
    const double append = timed(times, [&] {
        series->append(key += 0.2, 100);
        view.viewport()->repaint();
    });
    report("Qt Charts", n, redraw, append);
}
#endif

int measureCase(const QString &library, int n)
{
    // Fewer turns where one takes a second.
    const int times = n >= 1'000'000 ? 5 : 21;
    if (library == QLatin1String("qcustomplot")) {
        measureQCustomPlot(n, times);
        return 0;
    }
#ifdef KZ_HAVE_QT_CHARTS
    if (library == QLatin1String("qtcharts")) {
        measureQtCharts(n, times);
        return 0;
    }
#endif
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--case")); at > 0) {
        QApplication app(argc, argv);
        return measureCase(arguments.value(at + 1), arguments.value(at + 2).toInt());
    }
    QCoreApplication core(argc, argv);
    kz::test::XServer x;
    if (!x.start()) {
        std::printf("Xvfb could not be started (./kz.sh installs it)\n");
        return 1;
    }
    std::printf("one %dx%d plot on Xvfb %s (QT_QPA_PLATFORM=xcb), medians:\n", kWidth, kHeight,
                qPrintable(x.display()));
    QStringList libraries {QStringLiteral("qcustomplot")};
#ifdef KZ_HAVE_QT_CHARTS
    libraries << QStringLiteral("qtcharts");
#else
    std::printf("  (Qt Charts not installed: qt6-charts-dev compares it too)\n");
#endif
    std::fflush(stdout);
    for (const int n : kSizes) {
        for (const QString &library : libraries) {
            QProcess child;
            child.setProcessEnvironment(x.environment());
            child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--case"), library, QString::number(n)});
            child.waitForFinished(-1);
        }
    }
    return 0;
}
