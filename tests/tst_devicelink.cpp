// SPDX-License-Identifier: GPL-3.0-or-later
// The command line framing and the waits that pace every sequence.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/portsearch.h"
#include "device/sequencepolicy.h"
#include "device/serialport.h"
#include "memoryport.h"
#include "support.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <ctime>
#include <optional>

using namespace kz;
using kz::test::MemoryPort;

namespace {

double processCpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

class TestDeviceLink : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void commandIsTextAndOneCarriageReturn();
    void commandOnClosedPortIsDropped();
    void readingTakesAllReceivedText();
    void holdLastsOneTimer3Tick();
    void hold1FollowsTimer4Interval();
    void dtimerWaitsItsSecondsWithoutSpinning();
    void endingTheProgramEndsTheSequenceAndWhatWaits();
    void waitForSaysHowItEnded_data();
    void waitForSaysHowItEnded();
    void searchWaitsBetweenTheStepsOfAProbe();
    void whatArrivesDuringTheSearch_data();
    void whatArrivesDuringTheSearch();
    void theReturnProbeOpensOnceTheWireIsFree();
    void whatArrivesWhileASequenceRuns_data();
    void whatArrivesWhileASequenceRuns();
    void escapeEndsOnlyAWaitOnAnAnswer_data();
    void escapeEndsOnlyAWaitOnAnAnswer();
    void expandedStepsAreMadeWhenTheirTurnComes();
    void closingLinesGoAheadOfWhatWaits();

private:
    WaitResult runToEnd(CommandSequence sequence, int deadlineMs = 10000);

    MemoryPort *port = nullptr;
    PacedTimer *timer3 = nullptr;
    PacedTimer *timer4 = nullptr;
    DeviceLink *link = nullptr;
};

void TestDeviceLink::init()
{
    Pacing::setTimeScale(0.2);
    port = new MemoryPort;
    port->open(1);
    timer3 = new PacedTimer(QStringLiteral("Timer3"), 250, true, nullptr);
    timer4 = new PacedTimer(QStringLiteral("Timer4"), 125, true, nullptr);
    link = new DeviceLink(port, timer3, timer4);
}

void TestDeviceLink::cleanup()
{
    delete link;
    delete timer3;
    delete timer4;
    delete port;
}

void TestDeviceLink::commandIsTextAndOneCarriageReturn()
{
    QSignalSpy sent(link, &DeviceLink::commandSent);
    link->sendCommand(QStringLiteral("@ 2 2"));
    link->sendCommand(QStringLiteral("> 26  10  10 "));
    QCOMPARE(port->written(), QByteArray("@ 2 2\r> 26  10  10 \r"));
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(1).at(0).toString(), QStringLiteral("> 26  10  10 "));
}

void TestDeviceLink::commandOnClosedPortIsDropped()
{
    port->close();
    link->sendCommand(QStringLiteral("> 11 1"));
    QVERIFY(port->written().isEmpty());
}

void TestDeviceLink::readingTakesAllReceivedText()
{
    port->feed("12^34");
    QCOMPARE(link->readInput(), QStringLiteral("12^34"));
    QCOMPARE(link->readInput(), QString());
}

// Runs the sequence and waits until it has ended; says how.
WaitResult TestDeviceLink::runToEnd(CommandSequence sequence, int deadlineMs)
{
    std::optional<WaitResult> ended;
    sequence.onEnd([&](WaitResult r) { ended = r; });
    link->run(std::move(sequence));
    if (!kz::test::waitUntil([&] { return ended.has_value(); }, deadlineMs))
        return WaitResult::Deadline;
    return *ended;
}

void TestDeviceLink::holdLastsOneTimer3Tick()
{
    QSignalSpy ticks(timer3, &QTimer::timeout);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runToEnd(CommandSequence(SequenceKind::Own).hold()));
    QVERIFY2(clock.elapsed() >= 45, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(ticks.count(), 1);
    QVERIFY(!timer3->isActive());
}

void TestDeviceLink::hold1FollowsTimer4Interval()
{
    timer4->setDesignInterval(15);
    CommandSequence ten(SequenceKind::Own);
    for (int i = 0; i < 10; ++i)
        ten.hold1();
    test::TickClock tenTook(5);
    QVERIFY(runToEnd(ten));
    QVERIFY2(tenTook.designMs() < 2 * 10 * 15, qPrintable(QString::number(tenTook.designMs())));
    timer4->setDesignInterval(125);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runToEnd(CommandSequence(SequenceKind::Own).hold1()));
    QVERIFY(clock.elapsed() >= 20);
}

// Fault: a wait that sleeps or spins on the window's thread.
void TestDeviceLink::dtimerWaitsItsSecondsWithoutSpinning()
{
    Pacing::setTimeScale(1.0);
    int otherTicks = 0;
    QTimer other;
    other.setInterval(5);
    connect(&other, &QTimer::timeout, [&] { ++otherTicks; });
    other.start();
    QElapsedTimer clock;
    test::TickClock waited;
    const double cpuBefore = processCpuMs();
    clock.start();
    QVERIFY(runToEnd(CommandSequence(SequenceKind::Own).dtimer(0.3).hold()));
    const qint64 took = clock.elapsed();
    const double cpu = processCpuMs() - cpuBefore;
    QVERIFY2(took >= 545, qPrintable(QString::number(took)));
    QVERIFY2(waited.designMs() < 700, qPrintable(QString::number(waited.designMs())));
    // A share of one core: a spin would take all the machine gives it.
    QVERIFY2(cpu < took / 10.0, qPrintable(QStringLiteral("CPU %1 ms in %2 ms").arg(cpu).arg(took)));
    QVERIFY2(otherTicks >= 10, qPrintable(QString::number(otherTicks)));
}

void TestDeviceLink::endingTheProgramEndsTheSequenceAndWhatWaits()
{
    Pacing::setTimeScale(1.0);
    bool queuedRan = false;
    QTimer::singleShot(60, [&] {
        link->run(CommandSequence(SequenceKind::Own).then([&] { queuedRan = true; }));
        link->endProgram();
    });
    test::TickClock waited;
    // A 30 s wait that the end must cut short.
    QCOMPARE(runToEnd(CommandSequence(SequenceKind::Own).dtimer(30)).outcome(), WaitResult::Ending);
    QVERIFY2(waited.designMs() < 1000, qPrintable(QString::number(waited.designMs())));
    QVERIFY(!link->isSequenceRunning());
    link->run(CommandSequence(SequenceKind::Own).then([&] { queuedRan = true; }));
    QVERIFY(!queuedRan);
    link->sendCommand(QStringLiteral("> 11 1"));
    QVERIFY(port->written().isEmpty());
}

void TestDeviceLink::waitForSaysHowItEnded_data()
{
    QTest::addColumn<int>("conditionAtMs");
    QTest::addColumn<QString>("interrupt"); // at 30 ms
    QTest::addColumn<int>("expected");
    // Time scale 0.2: a design deadline of 1000 ms is 200 ms here.
    QTest::newRow("condition holds") << 30 << "" << int(WaitResult::Done);
    QTest::newRow("deadline passes") << -1 << "" << int(WaitResult::Deadline);
    QTest::newRow("user cancels") << -1 << "cancel" << int(WaitResult::Cancelled);
    QTest::newRow("program ends") << -1 << "end" << int(WaitResult::Ending);
    QTest::newRow("device unplugged") << -1 << "unplug" << int(WaitResult::Lost);
}

void TestDeviceLink::waitForSaysHowItEnded()
{
    QFETCH(int, conditionAtMs);
    QFETCH(QString, interrupt);
    QFETCH(int, expected);
    bool held = false;
    if (conditionAtMs >= 0)
        QTimer::singleShot(conditionAtMs, [&] {
            held = true;
            link->recheck(); // as the receive loop does when text came in
        });
    if (!interrupt.isEmpty())
        QTimer::singleShot(30, [&] {
            if (interrupt == QLatin1String("cancel"))
                link->cancelSequence();
            else if (interrupt == QLatin1String("end"))
                link->endProgram();
            else
                port->unplug();
        });
    QElapsedTimer clock;
    clock.start();
    test::TickClock waited;
    const double cpuBefore = processCpuMs();
    // A wait on the device's answer: the one kind the user may leave.
    CommandSequence s(SequenceKind::Click, QStringLiteral("s"));
    s.waitForAnswer([&] { return held; }, 1000);
    const WaitResult result = runToEnd(s);
    const qint64 took = clock.elapsed();
    const double cpu = processCpuMs() - cpuBefore;
    QCOMPARE(int(result.outcome()), expected);
    const QString ended = waited.checkEnded(1000, expected == WaitResult::Deadline);
    QVERIFY2(ended.isEmpty(), qPrintable(ended));
    QVERIFY2(cpu < took / 4.0, qPrintable(QStringLiteral("the wait spun: CPU %1 ms in %2 ms")
                                                .arg(cpu)
                                                .arg(took)));
}

void TestDeviceLink::searchWaitsBetweenTheStepsOfAProbe()
{
    constexpr double kProbeMs = 300 * 0.2;
    port->close();
    port->setPresentPorts({1});
    PortSearch search(*link);
    QSignalSpy finished(&search, &PortSearch::finished);
    const qint64 start = port->now();
    search.start();
    QVERIFY(finished.wait(10000));
    const auto result = finished.first().first().value<PortSearch::Result>();
    QVERIFY(!result.port);
    QList<int> everyPort;
    for (int p = 1; p <= 30; ++p)
        everyPort << p;
    QCOMPARE(port->opens().mid(1), everyPort); // after the one init() made
    QCOMPARE(port->lines(), (QStringList {QStringLiteral("@ 2 2"), QStringLiteral("@ 1 1")}));
    const qint64 toStop = port->lineTimes().at(0) - start;
    const qint64 stopToProbe = port->lineTimes().at(1) - port->lineTimes().at(0);
    QVERIFY2(toStop >= 0.9 * kProbeMs, qPrintable(QString::number(toStop)));
    QVERIFY2(stopToProbe >= 0.9 * 2 * kProbeMs, qPrintable(QString::number(stopToProbe)));
}

// Port 1 is silent and port 2 answers the stop. What arrives while port 1
// is probed waits for the search, a lost port passes the search on to the
// next, and the program ending ends it there.
void TestDeviceLink::whatArrivesDuringTheSearch_data()
{
    QTest::addColumn<QString>("arrival");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QList<int>>("opens");
    QTest::addColumn<int>("found"); // 0 for none
    const QStringList search {"@ 2 2", "@ 1 1", "@ 2 2"};
    QTest::newRow("a click runs after it")
        << "click" << search + QStringList {"B1"} << QList<int> {1, 2} << 2;
    QTest::newRow("a page change runs after it")
        << "page" << search + QStringList {"P1"} << QList<int> {1, 2} << 2;
    QTest::newRow("a lost port: on to the next")
        << "unplug" << QStringList {"@ 2 2"} << QList<int> {1, 2} << 2;
    QTest::newRow("the program ending: at once") << "end" << QStringList {} << QList<int> {1} << 0;
}

void TestDeviceLink::whatArrivesDuringTheSearch()
{
    QFETCH(QString, arrival);
    QFETCH(QStringList, wire);
    QFETCH(QList<int>, opens);
    QFETCH(int, found);
    port->close();
    port->setPresentPorts({1, 2});
    port->setScript([this](const QString &line) {
        return line == QLatin1String("@ 2 2") && port->portNumber() == 2 ? QByteArray("^")
                                                                         : QByteArray();
    });
    PortSearch search(*link);
    QSignalSpy finished(&search, &PortSearch::finished);
    // From the event loop, while port 1 waits for its first probe.
    connect(
        &search, &PortSearch::trying, link,
        [&](int p) {
            if (p != 1)
                return;
            if (arrival == QLatin1String("click"))
                link->run(CommandSequence(SequenceKind::Click, QStringLiteral("B"))
                              .send(QStringLiteral("B1")));
            else if (arrival == QLatin1String("page"))
                link->run(CommandSequence(SequenceKind::PageChange).send(QStringLiteral("P1")));
            else if (arrival == QLatin1String("unplug"))
                port->unplug();
            else
                link->endProgram();
        },
        Qt::QueuedConnection);
    search.start();
    QVERIFY(kz::test::waitUntil([&] { return !finished.isEmpty(); }, 10000));
    // Nothing more after the end, for longer than a probe takes.
    QVERIFY(!kz::test::waitUntil([&] { return port->lines() != wire || finished.size() > 1; },
                                 Pacing::scaled(1500)));
    const auto result = finished.first().first().value<PortSearch::Result>();
    QCOMPARE(result.port.value_or(0), found);
    QCOMPARE(port->lines(), wire);
    QCOMPARE(port->opens().mid(1), opens); // after the one init() made
    QVERIFY(!search.isRunning());
}

// A sequence that runs while the KZ is away sends into a closed port; the
// probe for its return must not open the port under that sequence's next line.
void TestDeviceLink::theReturnProbeOpensOnceTheWireIsFree()
{
    port->close();
    port->setScript([](const QString &line) {
        return line == QLatin1String("@ 2 2") ? QByteArray("^") : QByteArray();
    });
    link->run(CommandSequence(SequenceKind::Click, QStringLiteral("A"))
                  .send(QStringLiteral("A1"))
                  .hold()
                  .send(QStringLiteral("A2")));
    PortSearch search(*link);
    QSignalSpy probed(&search, &PortSearch::stopProbed);
    search.probeStop(1);
    QVERIFY(probed.wait(5000));
    QCOMPARE(probed.first().first().toBool(), true);
    QCOMPARE(port->lines(), QStringList {QStringLiteral("@ 2 2")});
    QVERIFY(port->isOpen());
}

void TestDeviceLink::whatArrivesWhileASequenceRuns_data()
{
    QTest::addColumn<SequenceKind>("running");
    QTest::addColumn<SequenceKind>("arriving");
    QTest::addColumn<int>("arrivals"); // all during the running one's first hold
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("endedAs"); // how the running one ended
    const QStringList both {"A1", "A2", "B1"};
    QTest::newRow("click during a click is refused")
        << SequenceKind::Click << SequenceKind::Click << 1 << QStringList {"A1", "A2"} << 1
        << "done";
    QTest::newRow("page change waits out a click")
        << SequenceKind::Click << SequenceKind::PageChange << 1 << both << 0 << "done";
    QTest::newRow("page change ends a PK Start at its wait")
        << SequenceKind::EndsOnPageChange << SequenceKind::PageChange << 1
        << QStringList {"A1", "B1"} << 0 << "ended";
    QTest::newRow("click waits out a page change")
        << SequenceKind::PageChange << SequenceKind::Click << 1 << both << 0 << "done";
    QTest::newRow("a second waiting click is refused")
        << SequenceKind::PageChange << SequenceKind::Click << 2 << both << 1 << "done";
    QTest::newRow("page changes queue up")
        << SequenceKind::PageChange << SequenceKind::PageChange << 2
        << QStringList {"A1", "A2", "B1", "B1"} << 0 << "done";
    QTest::newRow("own lines wait out a click")
        << SequenceKind::Click << SequenceKind::Own << 1 << both << 0 << "done";
    QTest::newRow("a word from the receive loop waits out a click")
        << SequenceKind::Click << SequenceKind::Announcement << 1 << both << 0 << "done";
    QTest::newRow("a click waits out a word")
        << SequenceKind::Announcement << SequenceKind::Click << 1 << both << 0 << "done";
    QTest::newRow("a second click during a word is refused")
        << SequenceKind::Announcement << SequenceKind::Click << 2 << both << 1 << "done";
}

void TestDeviceLink::whatArrivesWhileASequenceRuns()
{
    QFETCH(SequenceKind, running);
    QFETCH(SequenceKind, arriving);
    QFETCH(int, arrivals);
    QFETCH(QStringList, wire);
    QFETCH(int, refused);
    QFETCH(QString, endedAs);
    QSignalSpy refusals(link, &DeviceLink::sequenceRefused);
    QString ended;
    CommandSequence first(running, QStringLiteral("the first"));
    first.send(QStringLiteral("A1")).hold().send(QStringLiteral("A2")).hold();
    first.onEnd([&](WaitResult r) {
        ended = r == WaitResult::Done ? QStringLiteral("done")
            : r == WaitResult::Ended  ? QStringLiteral("ended")
                                      : QStringLiteral("other");
    });
    link->run(first);
    QVERIFY(link->isSequenceRunning());
    for (int i = 0; i < arrivals; ++i) {
        CommandSequence second(arriving, QStringLiteral("the second"));
        second.send(QStringLiteral("B1")).hold();
        link->run(second);
    }
    QVERIFY(kz::test::waitUntil([&] { return !link->isSequenceRunning(); }));
    QCOMPARE(port->lines(), wire);
    QCOMPARE(int(refusals.count()), refused);
    if (refused > 0)
        QCOMPARE(refusals.first().first().toString(), QStringLiteral("the first"));
    QCOMPARE(ended, endedAs);
}

void TestDeviceLink::escapeEndsOnlyAWaitOnAnAnswer_data()
{
    QTest::addColumn<bool>("onAnswer");
    QTest::addColumn<bool>("answerAfterHold");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<int>("ended");
    QTest::newRow("wait on an answer")
        << true << false << QStringList {"A1"} << int(WaitResult::Cancelled);
    QTest::newRow("hold") << false << false << QStringList {"A1", "A2"} << int(WaitResult::Done);
    // Left during the hold, the answer is not waited for: the block's rest
    // goes out, then the sequence ends where it would have waited.
    QTest::newRow("hold, then a wait on an answer")
        << false << true << QStringList {"A1", "A2"} << int(WaitResult::Cancelled);
}

void TestDeviceLink::escapeEndsOnlyAWaitOnAnAnswer()
{
    QFETCH(bool, onAnswer);
    QFETCH(bool, answerAfterHold);
    QFETCH(QStringList, wire);
    QFETCH(int, ended);
    WaitResult result = WaitResult::Done;
    CommandSequence s(SequenceKind::Click, QStringLiteral("s"));
    s.send(QStringLiteral("A1"));
    if (onAnswer)
        s.waitForAnswer([] { return false; }, 60000);
    else
        s.hold();
    s.send(QStringLiteral("A2"));
    // An answer that is there already does not outweigh the leave.
    if (answerAfterHold)
        s.waitForAnswer([] { return true; }, 60000).send(QStringLiteral("A3"));
    s.onEnd([&](WaitResult r) { result = r; });
    link->run(s);
    link->cancelSequence();
    QVERIFY(kz::test::waitUntil([&] { return !link->isSequenceRunning(); }));
    QCOMPARE(port->lines(), wire);
    QCOMPARE(int(result.outcome()), ended);
}

// A step made when its turn comes sees what the steps before it did, and
// its own steps run in its place, before those that follow it.
void TestDeviceLink::expandedStepsAreMadeWhenTheirTurnComes()
{
    QString value = QStringLiteral("old");
    int made = 0;
    std::function<void(CommandSequence &)> block = [&](CommandSequence &s) {
        ++made;
        s.send(value + QString::number(made)).hold1();
        if (made < 3)
            s.expand(block);
    };
    CommandSequence s(SequenceKind::Click, QStringLiteral("s"));
    s.send(QStringLiteral("A")).hold().then([&] { value = QStringLiteral("new"); });
    s.expand(block).send(QStringLiteral("Z"));
    link->run(s);
    QCOMPARE(made, 0);
    QVERIFY(kz::test::waitUntil([&] { return !link->isSequenceRunning(); }));
    QCOMPARE(port->lines(), (QStringList {"A", "new1", "new2", "new3", "Z"}));
}

// The closing lines of a sequence go out before a page change that arrived
// while it ran, and a click during them is refused as during the sequence.
void TestDeviceLink::closingLinesGoAheadOfWhatWaits()
{
    QSignalSpy refusals(link, &DeviceLink::sequenceRefused);
    CommandSequence first(SequenceKind::Click, QStringLiteral("the first"));
    first.send(QStringLiteral("A1")).hold().onEnd([this](WaitResult) {
        CommandSequence closing(SequenceKind::Click, QStringLiteral("the first"));
        closing.send(QStringLiteral("Z1")).then([this] {
            CommandSequence click(SequenceKind::Click, QStringLiteral("a click"));
            link->run(click.send(QStringLiteral("C1")));
        });
        closing.hold();
        link->runNext(closing);
    });
    link->run(first);
    CommandSequence page(SequenceKind::PageChange);
    link->run(page.send(QStringLiteral("B1")).hold());
    QVERIFY(kz::test::waitUntil([&] { return !link->isSequenceRunning(); }));
    QCOMPARE(port->lines(), (QStringList {"A1", "Z1", "B1"}));
    QCOMPARE(int(refusals.count()), 1);
}

QTEST_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
