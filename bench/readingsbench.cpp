// SPDX-License-Identifier: GPL-3.0-or-later
// What the readings window costs, drawn by its plugin on a real display (the
// benchmark runs itself again on an Xvfb display of its own):
//   - the time a redraw takes with an hour of readings at 5 a second in view,
//     and with a million points;
//   - CPU and memory with the window open, following, while readings come at
//     5 a second for SECONDS of real time (600 by default).
// kz-readings-bench [SECONDS] [--here]: --here measures on the platform given.
#include "kit/readinglog.h"
#include "window/readings/readings.h"
#include "window/readings/readingsview.h"
#include "xserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace kz;

namespace {

constexpr double kReadingMs = 200; // 5 readings a second
constexpr int kReadingsPerWord = 15; // a word said every 3 s, as on the COM page
constexpr int kReadingsPerMark = 300; // an event every minute

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

long statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Readings as a held KZ gives them, with a word and an event now and then.
class Feed {
public:
    void addTo(ReadingLog &log)
    {
        m_level += 10 * (2 * m_random.generateDouble() - 1) + 0.05 * (100 - m_level);
        log.add(Reading::Source::TouchReading, qRound(m_level));
        if (++m_count % kReadingsPerWord == 0)
            log.add(Reading::Source::ComWord, 1000 + m_count % 500, QStringLiteral("WORD"));
        if (m_count % kReadingsPerMark == 0)
            log.add(Reading::Source::Question, 12, QStringLiteral("Is anyone there"));
    }

private:
    QRandomGenerator m_random {1977};
    double m_level = 100;
    int m_count = 0;
};

ReadingsView *openView(const ReadingHistory &history)
{
    QString error;
    ReadingsView *view = createReadingsView(history, nullptr, &error);
    if (!view) {
        std::printf("the readings plugin could not be loaded: %s\n", qPrintable(error));
        return nullptr;
    }
    view->resize(900, 560);
    view->show();
    runFor(500); // mapped and first drawn
    return view;
}

template<typename T> T median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void redraws(qsizetype readings, const char *what)
{
    double nowMs = 0;
    ReadingLog log(ReadingHistory::kMaxPoints, [&nowMs] { return nowMs; });
    log.startClock();
    Feed feed;
    for (qsizetype i = 0; i < readings; ++i) {
        nowMs += kReadingMs;
        feed.addTo(log);
    }
    const long before = statusKb("VmRSS");
    std::unique_ptr<ReadingsView> view(openView(log));
    if (!view)
        return;
    auto timed = [&view](int times) {
        QList<double> ms;
        for (int i = 0; i < times; ++i) {
            QElapsedTimer clock;
            clock.start();
            view->redraw();
            ms << clock.nsecsElapsed() / 1e6;
        }
        return ms;
    };
    view->showAll();
    const QList<double> whole = timed(31);
    view->setFollowing(true);
    const QList<double> following = timed(31);
    std::printf("%s (%lld points): redraw with the whole run in view median %.1f ms (max %.1f), "
                "following the last minute median %.1f ms (max %.1f); window and its copy of the "
                "points %+ld kB resident\n",
                what, static_cast<long long>(log.size()), median(whole),
                *std::max_element(whole.begin(), whole.end()), median(following),
                *std::max_element(following.begin(), following.end()), statusKb("VmRSS") - before);
}

// Readings at 5 a second for `seconds`, first with no window (the log alone),
// then with the window open and following.
void openWindowUnderReadings(int seconds)
{
    ReadingLog log;
    log.startClock();
    Feed feed;
    QTimer readings;
    readings.setTimerType(Qt::PreciseTimer);
    readings.setInterval(int(kReadingMs));
    QObject::connect(&readings, &QTimer::timeout, [&] { feed.addTo(log); });
    readings.start();

    const int alone = qMin(60, seconds);
    double cpu = cpuMs();
    runFor(alone * 1000);
    std::printf("readings at 5/s, no window (log alone), %d s: CPU %.2f%% of one core\n", alone,
                100 * (cpuMs() - cpu) / (alone * 1000.0));

    std::unique_ptr<ReadingsView> view(openView(log));
    if (!view)
        return;
    const long openKb = statusKb("VmRSS");
    const qsizetype openPoints = log.size();
    cpu = cpuMs();
    QElapsedTimer clock;
    clock.start();
    runFor(seconds * 1000);
    const double used = cpuMs() - cpu;
    std::printf("readings at 5/s, window open and following, %.0f s: CPU %.2f%% of one core; "
                "resident %ld kB when opened, %ld kB after (%lld points more), peak %ld kB\n",
                clock.elapsed() / 1000.0, 100 * used / clock.elapsed(), openKb, statusKb("VmRSS"),
                static_cast<long long>(log.size() - openPoints), statusKb("VmHWM"));
}

// Runs this program again with --here on a throw-away X display.
int onXvfb(const QStringList &arguments)
{
    test::XServer x;
    if (!x.start()) {
        std::printf("Xvfb could not be started (./kz.sh installs it)\n");
        return 1;
    }
    std::printf("on Xvfb %s (QT_QPA_PLATFORM=xcb):\n", qPrintable(x.display()));
    std::fflush(stdout);
    QProcess self;
    self.setProcessEnvironment(x.environment());
    self.setProcessChannelMode(QProcess::ForwardedChannels);
    self.start(QCoreApplication::applicationFilePath(),
               arguments.mid(1) << QStringLiteral("--here"));
    self.waitForFinished(-1);
    return self.exitCode();
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!arguments.contains(QStringLiteral("--here"))) {
        QCoreApplication core(argc, argv);
        return onXvfb(arguments);
    }
    QApplication app(argc, argv);
    const int seconds = qMax(1, arguments.value(1).toInt() > 0 ? arguments.value(1).toInt() : 600);
    // First, so that its memory is not what the redraws below leave behind.
    openWindowUnderReadings(seconds);
    redraws(3600 * 1000 / int(kReadingMs), "an hour of readings at 5/s");
    redraws(ReadingHistory::kMaxPoints, "the bound");
    return 0;
}
