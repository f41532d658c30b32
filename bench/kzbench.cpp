// Prints what the program costs: start-up time and memory, and the CPU it
// uses while it waits. Everything runs at real time.
#include "device/connection.h"
#include "device/devicelink.h"
#include "device/receiveloop.h"
#include "device/systemserialport.h"
#include "questions/questiondesk.h"
#include "simulatedkz.h"
#include "window/form1.h"
#include "window/form1layout.h"
#include "window/widgets.h"
#include "xserver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
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

void startUp(const Platform &platform, int runs)
{
    const QString bareSize = QString::number(kz::twipsToPixels(kz::kClientWidthTwips));
    const QStringList bareArgs {bareSize,
                                QString::number(kz::twipsToPixels(kz::kClientHeightTwips))};
    QList<double> kzMs, bareMs, kzCpu, bareCpu;
    QList<long> kzKb, bareKb;
    QString kzLine, bareLine;
    // Taken in turn, so that both meet the same load on the machine.
    for (int run = 0; run < runs; ++run) {
        const StartUp kz = startOnce(kzProgram(), {QStringLiteral("--startup-report")}, platform);
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
    const double cpu = cpuMs() - before;
    std::printf("search of 30 absent ports: %.1f s, CPU %.0f ms (%.2f%% of one core)\n",
                clock.elapsed() / 1000.0, cpu, 100.0 * cpu / clock.elapsed());
}

void runOfHolds(kz::DeviceLink &link)
{
    QElapsedTimer clock;
    clock.start();
    const double before = cpuMs();
    for (int i = 0; i < 8; ++i)
        link.hold();
    const double cpu = cpuMs() - before;
    std::printf("8 holds: %.2f s, CPU %.1f ms (%.2f%% of one core)\n", clock.elapsed() / 1000.0,
                cpu, 100.0 * cpu / clock.elapsed());
}

void questionAndAnswer()
{
    QTemporaryDir folder;
    QDir::setCurrent(folder.path()); // the log goes there
    kz::sim::SimulatedKz device;
    device.start();
    device.linkAs(folder.path(), 1);
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    if (!window.connection().isConnected()) {
        std::printf("question: the simulated KZ was not found\n");
        return;
    }
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
    window.controls().Text3->setText(QStringLiteral("Is anyone there"));
    window.controls().Command2->click();
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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // kz-bench [RUNS] [--startup-only]: RUNS of each program on each platform.
    QStringList args = QCoreApplication::arguments();
    const bool startUpOnly = args.removeAll(QStringLiteral("--startup-only")) > 0;
    const int runs = qMax(1, args.value(1, QStringLiteral("10")).toInt());
    startUpEverywhere(runs);
    if (startUpOnly)
        return 0;
    searchOfAbsentPorts();
    questionAndAnswer();
    return 0;
}
