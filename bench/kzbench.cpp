// Prints what the program costs: start-up time and memory, and the CPU it
// uses while it waits. Everything runs at real time. `--upload` measures the
// word-list upload instead (about eight minutes; `--upload 40` its first 40
// blocks).
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/systemserialport.h"
#include "questions/questiondesk.h"
#include "simulatedkz.h"
#include "window/connection.h"
#include "window/form1.h"
#include "window/receiverouter.h"
#include "window/widgets.h"
#include "words/upload.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
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
// the upload, or the whole upload when `blocks` is 641.
void wordListUpload(int blocks)
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
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    if (!window.connection().isConnected()) {
        std::printf("upload: the simulated KZ was not found\n");
        return;
    }
    const kz::Form1Controls &c = window.controls();
    for (int i = 0; i < c.form.TabStrip1->count(); ++i) {
        if (c.form.TabStrip1->tabText(i) == QLatin1String("Word List"))
            c.form.TabStrip1->setCurrentIndex(i);
    }
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
        if (line == Upload::blockOpenLine() && !stopped) {
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
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --upload [blocks]: the word-list upload, whole or over its first blocks.
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--upload")); at > 0) {
        bool given = false;
        const int blocks = args.value(at + 1).toInt(&given);
        wordListUpload(given && blocks > 0 ? blocks : kz::WordListUpload::kBlocks);
        return 0;
    }
    startUp();
    searchOfAbsentPorts();
    questionAndAnswer();
    return 0;
}
