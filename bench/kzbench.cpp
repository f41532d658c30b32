// Prints what the program costs: start-up time and memory, the CPU it uses
// while it waits, and how late its waits end. Everything runs at real time.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/systemserialport.h"
#include "questions/questiondesk.h"
#include "simulatedkz.h"
#include "window/connection.h"
#include "window/form1.h"
#include "window/receiverouter.h"
#include "window/widgets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QProperty>
#include <QPushButton>
#include <QTabBar>
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

void startUp()
{
    QList<double> times;
    QString lastLine;
    for (int run = 0; run < 5; ++run) {
        QProcess kz;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        kz.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        kz.start(QStringLiteral(KZ_APP_PATH), {QStringLiteral("--startup-report")});
        kz.waitForFinished(10000);
        times << clock.elapsed();
        lastLine = QString::fromLocal8Bit(kz.readAllStandardOutput()).trimmed();
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to first paint (process start to its report, median of 5): %.0f ms "
                "(min %.0f, max %.0f)\n",
                times.at(2), times.first(), times.last());
    std::printf("  the program said: %s\n", qPrintable(lastLine));
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
    if (!link.holds(8))
        std::printf("8 holds: interrupted\n");
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

void showPage(kz::Form1 &window, const QString &caption);

void modeAndSayWaits()
{
    QTemporaryDir folder;
    kz::sim::SimulatedKz device;
    device.start();
    device.linkAs(folder.path(), 1);
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    if (!window.connection().isConnected()) {
        std::printf("mode and say waits: the simulated KZ was not found\n");
        return;
    }
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
        button->click();
    printOvershoots("mode sequences (6)", holds.take(), clock.elapsed(), modes.size(), 3 * 250.0);

    showPage(window, QStringLiteral("Word List"));
    holds.take();
    clock.restart();
    const QList<int> words {0, 57, 200, 1000, 2048, 12};
    for (int word : words) {
        c.words.HScroll7->setValueChecked(word);
        c.words.Command47->click();
    }
    printOvershoots("say requests (6)", holds.take(), clock.elapsed(), words.size(), 6 * 250.0);
}

// Chooses a page by its tab, as a click would, and lets the tab's own waits end.
void showPage(kz::Form1 &window, const QString &caption)
{
    QTabBar *tabs = window.controls().form.TabStrip1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == caption)
            tabs->setCurrentIndex(i);
    }
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
    QTemporaryDir folder;
    kz::sim::SimulatedKz device;
    device.start();
    device.linkAs(folder.path(), 1);
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    if (!window.connection().isConnected()) {
        std::printf("auto tune: the simulated KZ was not found\n");
        return;
    }

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
    window.controls().setup.Command14->click();
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
    window.controls().pk.Command5->click(); // returns once calibrated
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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    startUp();
    searchOfAbsentPorts();
    questionAndAnswer();
    modeAndSayWaits();
    autoTuneAndPkTest();
    return 0;
}
