// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the program costs: start-up time and memory, the CPU it uses
// while it waits, how late its waits end and how soon what the user ends
// stops. Everything runs at real time.
// `--upload` measures the word-list upload instead (about eight minutes;
// `--upload 40` its first 40 blocks; `--trace FILE` records its wire), and
// `--tick` the receive tick alone, with and without a wire trace.
#include "device/commands.h"
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/systemserialport.h"
#include "device/tracingport.h"
#include "questions/questiondesk.h"
#include "simulatedkz.h"
#include "tuning/pktest.h"
#include "window/connection.h"
#include "window/form1.h"
#include "window/form1layout.h"
#include "kit/receiverouter.h"
#include "window/tabnavigator.h"
#include "kit/widgets.h"
#include "words/upload.h"
#include "xserver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProperty>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <sys/resource.h>

namespace {

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void runUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Clicks, and lets the lines the click started run to their end: a click
// returns before they go out.
void clickThrough(QPushButton *button, kz::DeviceLink &link)
{
    button->click();
    runUntil([&link] { return !link.isSequenceRunning(); });
}

// The programs measured: the ones built with the benchmark, unless
// KZ_BENCH_KZ or KZ_BENCH_BARE_WINDOW name others (another build, to compare).
QString kzProgram()
{
    return qEnvironmentVariable("KZ_BENCH_KZ", QStringLiteral(KZ_APP_PATH));
}

QString bareWindowProgram()
{
    return qEnvironmentVariable("KZ_BENCH_BARE_WINDOW", QStringLiteral(KZ_BARE_WINDOW_PATH));
}

struct Platform {
    QString name; // as QT_QPA_PLATFORM takes it
    QString display; // for xcb
};

QProcessEnvironment environmentFor(const Platform &platform)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform.name);
    if (!platform.display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), platform.display);
    return env;
}

struct StartUp {
    double ms = -1; // process start to the first-paint line
    double cpuMs = -1; // as the program tells it
    long peakKb = -1;
    QString line;
};

// Runs program until it prints its first-paint line; the time runs to that
// line, not to the end of the process.
StartUp startOnce(const QString &program, const QStringList &args, const Platform &platform)
{
    QProcess process;
    process.setProcessEnvironment(environmentFor(platform));
    process.setProcessChannelMode(QProcess::SeparateChannels);
    StartUp result;
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    QByteArray out;
    QDeadlineTimer deadline(20000);
    while (!out.contains("first paint") && process.waitForReadyRead(deadline.remainingTime()))
        out += process.readAllStandardOutput();
    if (out.contains("first paint"))
        result.ms = clock.nsecsElapsed() / 1e6;
    process.waitForFinished(10000);
    out += process.readAllStandardOutput();
    for (const QByteArray &line : out.split('\n')) {
        if (line.contains("first paint")) {
            result.line = QString::fromLocal8Bit(line).trimmed();
            static const QRegularExpression peak(QStringLiteral("peak resident (\\d+) kB"));
            static const QRegularExpression cpu(QStringLiteral("CPU ([\\d.]+) ms"));
            result.peakKb = peak.match(result.line).captured(1).toLong();
            result.cpuMs = cpu.match(result.line).captured(1).toDouble();
        }
    }
    return result;
}

template<typename T> T median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T(-1) : values.at(values.size() / 2);
}

void startUp(const Platform &platform, int runs, const QString &program = kzProgram())
{
    const QString bareSize = QString::number(kz::twipsToPixels(kz::kClientWidthTwips));
    const QStringList bareArgs {bareSize,
                                QString::number(kz::twipsToPixels(kz::kClientHeightTwips))};
    QList<double> kzMs, bareMs, kzCpu, bareCpu;
    QList<long> kzKb, bareKb;
    QString kzLine, bareLine;
    // Taken in turn, so that both meet the same load on the machine.
    for (int run = 0; run < runs; ++run) {
        const StartUp kz = startOnce(program, {QStringLiteral("--startup-report")}, platform);
        const StartUp bare = startOnce(bareWindowProgram(), bareArgs, platform);
        if (kz.ms < 0 || bare.ms < 0) {
            std::printf("  run %d: no first-paint line (kz: \"%s\", bare: \"%s\")\n", run,
                        qPrintable(kz.line), qPrintable(bare.line));
            continue;
        }
        kzMs << kz.ms;
        bareMs << bare.ms;
        kzCpu << kz.cpuMs;
        bareCpu << bare.cpuMs;
        kzKb << kz.peakKb;
        bareKb << bare.peakKb;
        kzLine = kz.line;
        bareLine = bare.line;
    }
    if (kzMs.isEmpty())
        return;
    const double kzTime = median(kzMs), bareTime = median(bareMs);
    const long kzPeak = median(kzKb), barePeak = median(bareKb);
    std::printf(
        "  start to first paint, median of %lld: kz %.0f ms (min %.0f, max %.0f), bare "
        "%sx%s window %.0f ms (min %.0f, max %.0f): ratio %.2f\n",
        static_cast<long long>(kzMs.size()), kzTime, *std::min_element(kzMs.begin(), kzMs.end()),
        *std::max_element(kzMs.begin(), kzMs.end()), qPrintable(bareArgs.at(0)),
        qPrintable(bareArgs.at(1)), bareTime, *std::min_element(bareMs.begin(), bareMs.end()),
        *std::max_element(bareMs.begin(), bareMs.end()), kzTime / bareTime);
    std::printf("  CPU time to first paint, median: kz %.0f ms, bare window %.0f ms: ratio %.2f\n",
                median(kzCpu), median(bareCpu), median(kzCpu) / median(bareCpu));
    std::printf("  peak resident at first paint, median: kz %ld kB, bare window %ld kB: ratio "
                "%.2f\n",
                kzPeak, barePeak, double(kzPeak) / barePeak);
    std::printf("  kz said: %s\n  the bare window said: %s\n", qPrintable(kzLine),
                qPrintable(bareLine));
}

// The program's memory once the About page is up, its browser's helper
// processes included.
void aboutPage(const Platform &platform)
{
    QProcess kz;
    kz.setProcessEnvironment(environmentFor(platform));
    kz.start(kzProgram(), {QStringLiteral("--simulate"), QStringLiteral("--about-report")});
    kz.waitForFinished(60000);
    for (const QByteArray &line : kz.readAllStandardOutput().split('\n')) {
        if (line.startsWith("kz: About page"))
            std::printf("  %s\n", line.constData());
    }
}

void startUpEverywhere(int runs)
{
    std::printf("kz: %s\nbare window: %s\n", qPrintable(kzProgram()),
                qPrintable(bareWindowProgram()));
    std::printf("offscreen (QT_QPA_PLATFORM=offscreen):\n");
    const Platform offscreen {QStringLiteral("offscreen"), {}};
    startUp(offscreen, runs);
    aboutPage(offscreen);

    kz::test::XServer x;
    if (!x.start()) {
        std::printf("real display: skipped, Xvfb could not be started (./kz.sh installs it)\n");
        return;
    }
    std::printf("real display (QT_QPA_PLATFORM=xcb) on Xvfb %s, started by kz-bench:\n",
                qPrintable(x.display()));
    const Platform xcb {QStringLiteral("xcb"), x.display()};
    startUp(xcb, runs);
    aboutPage(xcb);

    // The same program where no readings plugin can be found: a copy in a
    // folder of its own, with only the browser plugin beside it.
    QTemporaryDir copy;
    const QString program = copy.filePath(QStringLiteral("kz"));
    const QFileInfo browser(
        QFileInfo(kzProgram()).dir().filePath(QStringLiteral("plugins/libkzwebbrowser.so")));
    QDir(copy.path()).mkdir(QStringLiteral("plugins"));
    if (!QFile::copy(kzProgram(), program)
        || (browser.exists()
            && !QFile::link(browser.absoluteFilePath(),
                            copy.filePath(QStringLiteral("plugins/libkzwebbrowser.so"))))) {
        std::printf("  without the readings plugin: skipped, the copy failed\n");
        return;
    }
    std::printf("the same on Xvfb, without the readings plugin (%s):\n", qPrintable(program));
    startUp(xcb, runs, program);
}

void searchOfAbsentPorts()
{
    QTemporaryDir empty;
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(empty.path())));
    window.show();
    // The message box at the end is closed as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    closer.start(100);
    QElapsedTimer clock;
    clock.start();
    const double before = cpuMs();
    window.connection().search();
    runUntil([&window] { return !window.connection().isSearching(); });
    const double cpu = cpuMs() - before;
    std::printf("search of 30 absent ports: %.1f s, CPU %.0f ms (%.2f%% of one core)\n",
                clock.elapsed() / 1000.0, cpu, 100.0 * cpu / clock.elapsed());
}

void runOfHolds(kz::DeviceLink &link)
{
    QElapsedTimer clock;
    clock.start();
    const double before = cpuMs();
    std::optional<kz::WaitResult> ended;
    link.run(kz::CommandSequence(kz::SequenceKind::Own).hold(8).onEnd([&ended](kz::WaitResult r) {
        ended = r;
    }));
    runUntil([&ended] { return ended.has_value(); });
    if (!*ended)
        std::printf("8 holds: interrupted\n");
    const double cpu = cpuMs() - before;
    std::printf("8 holds: %.2f s, CPU %.1f ms (%.2f%% of one core)\n", clock.elapsed() / 1000.0,
                cpu, 100.0 * cpu / clock.elapsed());
}

// The window connected to a simulated KZ in this process, on port 1.
struct SimulatedSession {
    QTemporaryDir folder;
    kz::sim::SimulatedKz device;
    std::unique_ptr<kz::Form1> window;

    bool connect(const char *what)
    {
        device.start();
        device.linkAs(folder.path(), 1);
        window = std::make_unique<kz::Form1>(
            new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
        window->show();
        window->connection().search();
        runUntil([this] { return !window->connection().isSearching(); });
        if (!window->connection().isConnected())
            std::printf("%s: the simulated KZ was not found\n", what);
        return window->connection().isConnected();
    }
};

void questionAndAnswer()
{
    SimulatedSession session;
    QDir::setCurrent(session.folder.path()); // the log goes there
    if (!session.connect("question"))
        return;
    kz::sim::SimulatedKz &device = session.device;
    kz::Form1 &window = *session.window;
    runOfHolds(window.link());

    // From the end mark of a reading reaching the port to the say request.
    QElapsedTimer clock;
    clock.start();
    qint64 lastSent = -1;
    QList<qint64> delays;
    QObject::connect(&device, &kz::sim::SimulatedKz::sent, [&] { lastSent = clock.elapsed(); });
    QObject::connect(&window.link(), &kz::DeviceLink::commandSent, [&](const QString &line) {
        if (line == QLatin1String("> 26  10  10 ") && lastSent >= 0)
            delays << clock.elapsed() - lastSent;
    });

    bool answered = false;
    QString answer;
    double cpu = 0;
    qint64 took = 0;
    QElapsedTimer question;
    const double before = cpuMs();
    QObject::connect(&window.questions(), &kz::QuestionDesk::answered, [&](const QString &a) {
        answered = true;
        answer = a;
        cpu = cpuMs() - before;
        took = question.elapsed();
    });
    question.start();
    window.controls().com.Text3->setText(QStringLiteral("Is anyone there"));
    window.controls().com.Command2->click();
    runUntil([&] { return answered; });
    std::printf("12-second question with the simulated KZ answering (in this process): %.1f s, "
                "CPU %.0f ms (%.2f%% of one core); %lld readings, answer \"%s\"\n",
                took / 1000.0, cpu, 100.0 * cpu / took,
                static_cast<long long>(device.readingsSent()), qPrintable(answer));
    if (!delays.isEmpty()) {
        std::sort(delays.begin(), delays.end());
        std::printf("reading's end mark to say request: median %lld ms, max %lld ms over %lld "
                    "words (Timer1 ticks every 200 ms)\n",
                    static_cast<long long>(delays.at(delays.size() / 2)),
                    static_cast<long long>(delays.last()), static_cast<long long>(delays.size()));
    }
}

void showPage(kz::Form1 &window, const QString &caption);

// One window on a simulated KZ whose receive tick is timed: with a plain
// system port, or with the tracing port the program uses, recording or not.
struct TickRig {
    const char *what;
    QTemporaryDir folder;
    kz::sim::SimulatedKz device;
    QString tracePath;
    std::unique_ptr<kz::Form1> window;
    QList<double> us;
    int missed = 0;

    TickRig(const char *name, bool tracingPort, bool recording) : what(name)
    {
        device.start();
        device.linkAs(folder.path(), 1);
        kz::SerialPort *port = new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path()));
        if (tracingPort) {
            auto *traced = new kz::TracingPort(port);
            if (recording) {
                tracePath = folder.filePath(QStringLiteral("trace.txt"));
                traced->startTrace(
                    kz::TraceWriter::create(tracePath, traced->description(), nullptr));
            }
            port = traced;
        }
        window = std::make_unique<kz::Form1>(port);
        window->show();
        window->connection().search();
        runUntil([this] { return !window->connection().isSearching(); });
    }

    // The KZ sends a short message, the port takes it in, then one tick
    // reads it and copies it to the hidden boxes.
    void tickOnce(int i)
    {
        const QByteArray text = QByteArray::number(100 + i % 100) + '^';
        device.send(text);
        QElapsedTimer arrive;
        arrive.start();
        while (arrive.nsecsElapsed() < 1000000)
            QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        window->receiver().tick();
        const double tickUs = clock.nsecsElapsed() / 1e3;
        // Only a tick that read this message counts.
        if (window->controls().hidden.Text18->text() == QLatin1String(text))
            us << tickUs;
        else
            ++missed;
    }

    void print()
    {
        std::sort(us.begin(), us.end());
        if (us.isEmpty()) {
            std::printf("  %s: no tick read its message\n", what);
            return;
        }
        double sum = 0;
        for (const double v : us)
            sum += v;
        std::printf("  %s: median %.1f us, mean %.1f us, 90th percentile %.1f us (%lld ticks, "
                    "%d missed)",
                    what, us.at(us.size() / 2), sum / us.size(), us.at(us.size() * 9 / 10),
                    static_cast<long long>(us.size()), missed);
        if (!tracePath.isEmpty())
            std::printf("; trace %lld bytes", static_cast<long long>(QFileInfo(tracePath).size()));
        std::printf("\n");
    }
};

// The receive tick's own time, Timer1 stopped and the tick called here, on
// the Log File page, where no page handler runs: the read and its recording
// are what differs. The three windows take turns, so that all meet the same
// load on the machine.
void receiveTicks()
{
    constexpr int kTicks = 5000;
    TickRig rigs[] {{"plain system port", false, false},
                    {"tracing port, not recording", true, false},
                    {"tracing port, recording", true, true}};
    for (TickRig &rig : rigs) {
        if (!rig.window->connection().isConnected()) {
            std::printf("receive tick: the simulated KZ was not found\n");
            return;
        }
        showPage(*rig.window, QStringLiteral("Log File"));
        rig.window->controls().form.Timer1->setEnabled(false);
    }
    for (int i = 0; i < kTicks; ++i) {
        for (TickRig &rig : rigs)
            rig.tickOnce(i);
    }
    std::printf("receive tick, a 4-byte message read and copied (the windows in turn):\n");
    for (TickRig &rig : rigs)
        rig.print();
}

// How much longer than its design interval each hold waited, in ms: from
// Timer3's start to its stop, the moments a hold begins and ends.
class HoldOvershoots {
public:
    explicit HoldOvershoots(kz::PacedTimer *timer) : m_timer(timer)
    {
        m_clock.start();
        m_notifier = timer->bindableActive().addNotifier([this] {
            if (m_timer->isActive()) {
                m_started = m_clock.nsecsElapsed();
            } else if (m_started >= 0) {
                m_ms << (m_clock.nsecsElapsed() - m_started) / 1e6 - m_timer->designInterval();
                m_started = -1;
            }
        });
    }
    QList<double> take() { return std::exchange(m_ms, {}); }

private:
    kz::PacedTimer *m_timer;
    QElapsedTimer m_clock;
    QPropertyNotifier m_notifier;
    qint64 m_started = -1;
    QList<double> m_ms;
};

void printOvershoots(const char *what, QList<double> ms, double sequenceMs, int sequences,
                     double nominalMs)
{
    if (ms.isEmpty()) {
        std::printf("%s: no waits seen\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: %lld holds, overshoot median %.2f ms, worst %.2f ms; a whole sequence "
                "%.1f ms on average against %.0f ms of holds\n",
                what, static_cast<long long>(ms.size()), ms.at(ms.size() / 2), ms.last(),
                sequenceMs / sequences, nominalMs);
}

void modeAndSayWaits()
{
    SimulatedSession session;
    if (!session.connect("mode and say waits"))
        return;
    kz::sim::SimulatedKz &device = session.device;
    kz::Form1 &window = *session.window;
    const auto &c = window.controls();
    HoldOvershoots holds(c.form.Timer3);

    // Each mode once; the KZ reports words meanwhile, as it does in use.
    showPage(window, QStringLiteral("KZ"));
    holds.take();
    QElapsedTimer clock;
    clock.start();
    const QList<QPushButton *> modes {c.kzPage.Command4, c.kzPage.Command6, c.kzPage.Command7,
                                      c.kzPage.Command8, c.kzPage.Command9, c.kzPage.Command4};
    for (QPushButton *button : modes)
        clickThrough(button, window.link());
    printOvershoots("mode sequences (6)", holds.take(), clock.elapsed(), modes.size(), 3 * 250.0);

    showPage(window, QStringLiteral("Word List"));
    holds.take();
    clock.restart();
    const QList<int> words {0, 57, 200, 1000, 2048, 12};
    for (int word : words) {
        c.words.HScroll7->setValueChecked(word);
        clickThrough(c.words.Command47, window.link());
    }
    printOvershoots("say requests (6)", holds.take(), clock.elapsed(), words.size(), 6 * 250.0);
}

// Chooses a page by its tab, as a click would, and lets the tab's own waits end.
void showPage(kz::Form1 &window, const QString &caption)
{
    window.tabs().choose(caption);
    QElapsedTimer settle;
    settle.start();
    runUntil([&] { return settle.elapsed() > 1000 && !window.receiver().isBusy(); });
}

// Calls back on every paint of a widget.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget *widget, std::function<void()> painted) : m_painted(std::move(painted))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted();
        return false;
    }

private:
    std::function<void()> m_painted;
};

void autoTuneAndPkTest()
{
    SimulatedSession session;
    if (!session.connect("auto tune"))
        return;
    kz::sim::SimulatedKz &device = session.device;
    kz::Form1 &window = *session.window;

    // A whole auto tune, the KZ answering every reading at once.
    showPage(window, QStringLiteral("SET UP"));
    QElapsedTimer clock;
    double passesCpu = 0;
    qint64 passesMs = 0;
    auto saveStarts
        = QObject::connect(&window.link(), &kz::DeviceLink::commandSent, [&](const QString &line) {
              if (line == QLatin1String("> 40 2") && passesMs == 0) {
                  passesMs = clock.elapsed();
                  passesCpu = cpuMs();
              }
          });
    const double before = cpuMs();
    clock.start();
    clickThrough(window.controls().setup.Command14, window.link());
    const qint64 totalMs = clock.elapsed();
    const double saveCpu = cpuMs() - passesCpu;
    passesCpu -= before;
    QObject::disconnect(saveStarts);
    std::printf("auto tune at real time (simulated KZ in this process, answering at once): "
                "%.1f s in all; 100 passes %.1f s, %.0f ms per pass, CPU %.0f ms (%.2f%% of one "
                "core); Save Settings %.2f s, CPU %.0f ms (%.2f%%); %d readings; \"%s\"\n",
                totalMs / 1000.0, passesMs / 1000.0, passesMs / 100.0, passesCpu,
                100.0 * passesCpu / passesMs, (totalMs - passesMs) / 1000.0, saveCpu,
                100.0 * saveCpu / (totalMs - passesMs), device.readingsSent(),
                qPrintable(window.controls().setup.Text9->text()));

    // The PK test: from a reading reaching the port to the line redrawn.
    showPage(window, QStringLiteral("PK"));
    device.setReadingSeed(7);
    clickThrough(window.controls().pk.Command5, window.link());
    runUntil([&window] { return !window.pkTest().isStarting(); }); // calibrated
    QList<qint64> delays;
    qint64 firstUndrawn = -1;
    QElapsedTimer tracking;
    tracking.start();
    auto readings = QObject::connect(&device, &kz::sim::SimulatedKz::sent, [&] {
        if (firstUndrawn < 0)
            firstUndrawn = tracking.elapsed();
    });
    // The tick's share: from the tick that took the reading to the redraw.
    qint64 lastTick = -1;
    QList<qint64> tickToPaint;
    auto ticks = QObject::connect(window.controls().form.Timer1, &QTimer::timeout,
                                  [&] { lastTick = tracking.elapsed(); });
    PaintWatch watch(window.controls().pk.Line1, [&] {
        if (firstUndrawn < 0)
            return;
        delays << tracking.elapsed() - firstUndrawn;
        tickToPaint << tracking.elapsed() - lastTick;
        firstUndrawn = -1;
    });
    const double pkBefore = cpuMs();
    runUntil([&] { return tracking.elapsed() > 10000; });
    const double pkCpu = cpuMs() - pkBefore;
    QObject::disconnect(readings);
    QObject::disconnect(ticks);
    window.controls().pk.Command5->click(); // Done
    if (delays.isEmpty()) {
        std::printf("PK test: the line was never redrawn\n");
        return;
    }
    std::sort(delays.begin(), delays.end());
    std::sort(tickToPaint.begin(), tickToPaint.end());
    std::printf("PK test, reading reaching the port to the line redrawn: median %lld ms, max %lld "
                "ms over %lld redraws (Timer1 ticks every 200 ms); CPU while tracking %.2f%% of "
                "one core\n",
                static_cast<long long>(delays.at(delays.size() / 2)),
                static_cast<long long>(delays.last()), static_cast<long long>(delays.size()),
                100.0 * pkCpu / tracking.elapsed());
    std::printf("  of which the tick that took the reading to the redraw: median %lld ms, max %lld "
                "ms (the rest is the wait for the tick)\n",
                static_cast<long long>(tickToPaint.at(tickToPaint.size() / 2)),
                static_cast<long long>(tickToPaint.last()));
}

// How soon what the user ends stops, in real time: the tests count these in
// ticks of scaled time.
void promptEnds()
{
    {
        QTemporaryDir empty;
        kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(empty.path())));
        window.show();
        QElapsedTimer sinceClose;
        QTimer::singleShot(200, &window, [&] {
            sinceClose.start();
            window.close();
        });
        window.connection().search();
        runUntil([&window] { return !window.connection().isSearching(); });
        std::printf("window closed during a search: the search ended %.1f ms later\n",
                    sinceClose.nsecsElapsed() / 1e6);
    }
    SimulatedSession session;
    if (!session.connect("prompt ends"))
        return;
    kz::Form1 &window = *session.window;
    const auto &c = window.controls();
    // Runs `end` in the wait after the next line sent, and times the click
    // from there.
    auto endedAfter = [&](QPushButton *clicked, const std::function<void()> &end) {
        QElapsedTimer since;
        auto once = QObject::connect(&window.link(), &kz::DeviceLink::commandSent, [&] {
            if (!since.isValid())
                QTimer::singleShot(0, [&] {
                    since.start();
                    end();
                });
        });
        clickThrough(clicked, window.link());
        QObject::disconnect(once);
        return since.nsecsElapsed() / 1e6;
    };
    showPage(window, QStringLiteral("PK"));
    std::printf("Done during a PK Start's lines: the Start ended %.1f ms later, 500 of them the "
                "stop's two holds\n",
                endedAfter(c.pk.Command5, [&] { c.pk.Command5->click(); }));
    showPage(window, QStringLiteral("SET UP"));
    std::printf("window closed during Save Settings: it ended %.1f ms later\n",
                endedAfter(c.setup.Command57, [&] { window.close(); }));
}

// The CPU the program uses while the KZ is away and it tries the port again
// once a second.
void idleWhileUnplugged()
{
    QTemporaryDir folder;
    auto device = std::make_unique<kz::sim::SimulatedKz>();
    device->start();
    device->linkAs(folder.path(), 1);
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    runUntil([&window] { return !window.connection().isSearching(); });
    if (!window.connection().isConnected()) {
        std::printf("KZ unplugged: the simulated KZ was not found\n");
        return;
    }
    device.reset();
    QElapsedTimer clock;
    clock.start();
    const double before = cpuMs();
    runUntil([&] { return clock.elapsed() >= 5000; });
    const double cpu = cpuMs() - before;
    std::printf("KZ unplugged, 5 s of looking for it again: CPU %.1f ms (%.2f%% of one core)\n",
                cpu, 100.0 * cpu / clock.elapsed());
}

// Texts far longer than anyone types, set at once (a paste): the manual open
// of a port, and a question asked and logged.
void longTexts()
{
    QTemporaryDir folder;
    QDir::setCurrent(folder.path()); // the log goes there
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    const auto &c = window.controls();
    QElapsedTimer clock;
    clock.start();
    c.connect.Text17->setText(QString(10000, u'9'));
    c.connect.Command23->click();
    const double openMs = clock.nsecsElapsed() / 1e6;
    QString question;
    for (int i = 0; question.size() < 100000; ++i)
        question += QStringLiteral("word%1 ").arg(i);
    clock.restart();
    c.com.Text3->setText(question);
    c.com.Command2->click();
    std::printf("long texts: manual open of a 10,000-digit port number %.1f ms; a "
                "100,000-character question asked and logged %.1f ms\n",
                openMs, clock.nsecsElapsed() / 1e6);
}

// The waits the upload prescribes from the first line of block 0 to the first
// line of block `blocks`: two start-up hold1s of 125 ms, 15-ms hold1s (one per
// value, four per block: after the answer, before the next header and after
// each of its lines), and the 250-ms holds of the answer waits.
double prescribedMs(int blocks, int holds)
{
    using U = kz::WordListUpload;
    const int fastHold1s = blocks * (U::kBlockValues + 4) - 2;
    return 2 * 125.0 + fastHold1s * double(U::kValueHoldMs) + holds * 250.0;
}

// The upload against kz-sim in a process of its own, so that the CPU counted
// is the program's alone. Measures the first `blocks` blocks, then cancels
// the upload, or the whole upload when `blocks` is 641. With `tracePath` the
// wire is recorded there.
void wordListUpload(int blocks, const QString &tracePath)
{
    using Upload = kz::WordListUpload;
    QTemporaryDir folder;
    QProcess sim;
    sim.setStandardOutputFile(folder.filePath(QStringLiteral("sim.out")));
    sim.start(QStringLiteral(KZ_SIM_PATH),
              {QStringLiteral("--dir"), folder.path(), QStringLiteral("--port"),
               QStringLiteral("1"), QStringLiteral("--print-store")});
    QElapsedTimer started;
    started.start();
    while (!QFile::exists(folder.filePath(QStringLiteral("COM1"))) && started.elapsed() < 5000)
        QThread::msleep(20);
    auto *port
        = new kz::TracingPort(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    if (!tracePath.isEmpty()) {
        QString error;
        auto trace = kz::TraceWriter::create(tracePath, port->description(), &error);
        if (!trace) {
            std::printf("upload: %s\n", qPrintable(error));
            return;
        }
        port->startTrace(std::move(trace));
    }
    kz::Form1 window(port);
    window.show();
    window.connection().search();
    runUntil([&window] { return !window.connection().isSearching(); });
    if (!window.connection().isConnected()) {
        std::printf("upload: the simulated KZ was not found\n");
        return;
    }
    const kz::Form1Controls &c = window.controls();
    window.tabs().choose(QStringLiteral("Word List"));
    // The answers to the tab's stops pass the receive loop before the upload
    // starts, so that none of them counts as a block's answer.
    QElapsedTimer settle;
    settle.start();
    runUntil([&] { return settle.elapsed() > 1000 && window.receiver().pending().isEmpty(); });

    // At the first line of each block and at the first closing stop: time,
    // answer-wait holds so far, CPU.
    struct Mark {
        qint64 ns;
        int holds;
        double cpu;
    };
    QList<Mark> marks;
    int holds = 0;
    bool stopped = false;
    QElapsedTimer clock;
    QObject::connect(c.form.Timer3, &QTimer::timeout, [&] {
        if (!stopped)
            ++holds;
    });
    QObject::connect(&window.link(), &kz::DeviceLink::commandSent, [&](const QString &line) {
        if (line == kz::commands::kBlockOpen && !stopped) {
            marks.append({clock.nsecsElapsed(), holds, cpuMs()});
            if (marks.size() == blocks + 1)
                window.link().cancelSequence();
        } else if (line == QLatin1String("@ 2 2") && !stopped) {
            stopped = true;
            marks.append({clock.nsecsElapsed(), holds, cpuMs()});
        }
    });
    std::optional<Upload::Outcome> outcome;
    QObject::connect(&window.upload(), &Upload::finished, [&](Upload::Outcome o) { outcome = o; });

    const double cpuBefore = cpuMs();
    clock.start();
    c.words.Command24->click();
    runUntil([&outcome] { return outcome.has_value(); });
    const qint64 wholeNs = clock.nsecsElapsed();
    const double wholeCpu = cpuMs() - cpuBefore;
    sim.terminate();
    sim.waitForFinished(5000);
    QFile simOut(folder.filePath(QStringLiteral("sim.out")));
    simOut.open(QIODevice::ReadOnly);
    QString storeLine;
    for (const QByteArray &line : simOut.readAll().split('\n')) {
        if (line.startsWith("store: "))
            storeLine = QString::fromLatin1(line);
    }

    // The figures over the first `measured` blocks: to the next block's
    // header, or for all of them to the first closing stop.
    auto report = [&](int measured) {
        if (marks.size() <= measured) {
            std::printf("upload: ended after %lld blocks\n", static_cast<long long>(marks.size()));
            return;
        }
        const bool all = measured == Upload::kBlocks;
        const Mark &first = marks.at(0);
        const Mark &last = marks.at(measured);
        const double wallMs = (last.ns - first.ns) / 1e6;
        const double cpu = last.cpu - first.cpu;
        const int answerHolds = last.holds - first.holds;
        // Up to the first stop no header follows: one hold1 less.
        const double due = prescribedMs(measured, answerHolds) - (all ? Upload::kValueHoldMs : 0);
        std::printf("upload, first %d blocks (first line to the %s): wall %.3f s, prescribed "
                    "waits %.3f s (%d answer holds of 250 ms), wall %+.2f%% of prescribed; CPU "
                    "%.0f ms (%.2f%% of one core)\n",
                    measured, all ? "first closing stop" : "next block's header", wallMs / 1000,
                    due / 1000, answerHolds, 100.0 * (wallMs - due) / due, cpu,
                    100.0 * cpu / wallMs);
    };
    report(std::min(blocks, 40));
    if (blocks > 40)
        report(std::min(blocks, Upload::kBlocks));
    if (outcome == Upload::Outcome::Complete)
        std::printf("upload, whole click (to \"Upload Complete\" and both stops): wall %.1f s, "
                    "CPU %.0f ms (%.2f%% of one core)\n",
                    wholeNs / 1e9, wholeCpu, 100.0 * wholeCpu / (wholeNs / 1e6));
    std::printf("  kz-sim says: %s\n", qPrintable(storeLine));
    if (!tracePath.isEmpty()) {
        port->stopTrace();
        QFile trace(tracePath);
        trace.open(QIODevice::ReadOnly);
        const QByteArray text = trace.readAll();
        std::printf("  wire trace of the session (search, tab, upload): %lld bytes, %lld lines, "
                    "in %s\n",
                    static_cast<long long>(text.size()), static_cast<long long>(text.count('\n')),
                    qPrintable(tracePath));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // kz-bench [RUNS] [--startup-only]: RUNS of each program on each platform.
    QStringList args = QCoreApplication::arguments();
    // --upload [blocks] [--trace FILE]: the word-list upload, whole or over
    // its first blocks, its wire recorded to FILE.
    if (const qsizetype at = args.indexOf(QStringLiteral("--upload")); at > 0) {
        bool given = false;
        const int blocks = args.value(at + 1).toInt(&given);
        const qsizetype trace = args.indexOf(QStringLiteral("--trace"));
        wordListUpload(given && blocks > 0 ? blocks : kz::WordListUpload::kBlocks,
                       trace > 0 ? args.value(trace + 1) : QString());
        return 0;
    }
    // --tick: the receive tick's time with and without a trace recording.
    if (args.contains(QStringLiteral("--tick"))) {
        receiveTicks();
        return 0;
    }
    const bool startUpOnly = args.removeAll(QStringLiteral("--startup-only")) > 0;
    const int runs = qMax(1, args.value(1, QStringLiteral("10")).toInt());
    startUpEverywhere(runs);
    if (startUpOnly)
        return 0;
    searchOfAbsentPorts();
    questionAndAnswer();
    receiveTicks();
    modeAndSayWaits();
    autoTuneAndPkTest();
    promptEnds();
    idleWhileUnplugged();
    longTexts();
    return 0;
}
