// SPDX-License-Identifier: GPL-3.0-or-later
// A session recorded against the simulated KZ plays back with kz-sim
// --replay: the same actions match it, a changed line is found where it is,
// and runs of polls may differ in length.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/systemserialport.h"
#include "device/tracingport.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "questions/questiondesk.h"
#include "replay.h"
#include "simulatedkz.h"
#include "support.h"
#include "window/connection.h"
#include "window/tabnavigator.h"

#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {

// A trace of the events given as "> line" or "< answer", escaped as in the
// file, 10 ms apart; the first event is on line 2.
wiretrace::Trace traceOf(const QStringList &events, bool startedConnected)
{
    QByteArray text = "# kz 1.41 wire trace, 2026-01-31T14:02:11Z, ";
    text += startedConnected ? "port 1\n" : "no port open\n";
    for (qsizetype i = 0; i < events.size(); ++i)
        text += QByteArray::number(10 * i) + ' ' + events.at(i).toLatin1() + '\n';
    wiretrace::ParseError error;
    const auto trace = wiretrace::parse(text, &error);
    if (!trace)
        qFatal("bad test trace: line %d: %s", error.line, qPrintable(error.why));
    return *trace;
}

// Connect, a question, a mode, a word said: each action waits until its
// lines are out.
void act(Form1 &window)
{
    const Form1Controls &c = window.controls();
    auto settled = [&] {
        return waitUntil(
            [&] { return !window.receiver().isBusy() && !window.link().isSequenceRunning(); });
    };
    MessageBoxCloser notFound; // fails the test rather than waiting for ever
    QVERIFY(clickConnect(window));
    QSignalSpy answered(&window.questions(), &QuestionDesk::answered);
    c.com.Text3->setText(QStringLiteral("Is anyone there"));
    QTest::mouseClick(c.com.Command2, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return answered.count() == 1; }, 20000));
    QVERIFY(settled());
    QVERIFY(window.tabs().choose(QStringLiteral("KZ")));
    QVERIFY(settled());
    c.kzPage.Command4->click(); // Dictionary Mode 1
    // A word the KZ reports by itself: an answer to no line.
    QVERIFY(waitUntil([&] { return !c.kzPage.Text10->text().isEmpty(); }));
    QVERIFY(window.tabs().choose(QStringLiteral("Word List")));
    QVERIFY(settled());
    QVERIFY(c.words.HScroll7->setValueChecked(57));
    c.words.Command47->click();
    QVERIFY(settled());
}

struct ReplayRun {
    int exitCode = -1;
    QString out;
};

// kz-sim replays the trace while the program does the same again. Its
// answers go out four times sooner than recorded, and the program waits
// three times longer, so that a loaded machine, which may not run kz-sim
// for a while, cannot make an answer miss the read it was recorded for.
ReplayRun replay(const QString &trace)
{
    ReplayRun run;
    Pacing::setTimeScale(0.3);
    auto recordingPace = qScopeGuard([] { Pacing::setTimeScale(0.1); });
    QTemporaryDir ports;
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_PATH),
              {QStringLiteral("--replay"), trace, QStringLiteral("--dir"), ports.path(),
               QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--speed"),
               QStringLiteral("4")});
    if (!waitUntil([&] { return QFileInfo(ports.filePath(QStringLiteral("COM1"))).isSymLink(); },
                   10000))
        return run;
    {
        Form1 window(new SystemSerialPort(PortLocator::forFolder(ports.path())));
        window.show();
        act(window);
        if (!sim.waitForFinished(30000))
            sim.kill();
    }
    run.exitCode = sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
    run.out = QString::fromLocal8Bit(sim.readAllStandardOutput() + sim.readAllStandardError());
    return run;
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void runsOfPollsMatchAsRuns_data();
    void runsOfPollsMatchAsRuns();
    void recordedSessionReplays();

private:
    QTemporaryDir m_dir;
    QString m_startFolder;
};

void TestReplay::initTestCase()
{
    m_startFolder = QDir::currentPath();
    QDir::setCurrent(m_dir.path()); // the question's log goes there
    Pacing::setTimeScale(0.1);
}

void TestReplay::cleanupTestCase()
{
    QDir::setCurrent(m_startFolder);
}

void TestReplay::runsOfPollsMatchAsRuns_data()
{
    QTest::addColumn<bool>("startedConnected");
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<int>("differences");
    QTest::addColumn<int>("firstDifference");
    QTest::addColumn<QByteArray>("answers");
    // The trace: "@ 2 2" (line 2) answered "^", two polls (lines 4 and 6)
    // answered 1 and 2, then "> 18 2" (line 8) and "> 12 0" (line 9).
    const QString stop = QStringLiteral("@ 2 2"), poll = QStringLiteral("> 11 1"),
                  mode = QStringLiteral("> 18 2"), amp = QStringLiteral("> 12 0");
    QTest::newRow("as recorded") << false << QStringList {stop, poll, poll, mode, amp} << 0 << 0
                                 << QByteArray("^1^2^");
    QTest::newRow("more polls") << false << QStringList {stop, poll, poll, poll, poll, mode, amp}
                                << 0 << 0 << QByteArray("^1^2^2^2^");
    QTest::newRow("fewer polls") << false << QStringList {stop, poll, mode, amp} << 0 << 0
                                 << QByteArray("^1^");
    QTest::newRow("no poll") << false << QStringList {stop, mode, amp} << 0 << 0 << QByteArray("^");
    QTest::newRow("changed line") << false << QStringList {stop, poll, poll, "> 15 2", amp} << 1
                                  << 8 << QByteArray("^1^2^");
    QTest::newRow("extra line") << false << QStringList {stop, "> 99 1", poll, poll, mode, amp} << 1
                                << 8 << QByteArray("^1^2^");
    QTest::newRow("line left out")
        << false << QStringList {stop, poll, poll, amp} << 1 << 8 << QByteArray("^1^2^");
    // Polls are optional, so the mode's line was the one due.
    QTest::newRow("stop once more")
        << false << QStringList {stop, stop, poll, mode, amp} << 1 << 8 << QByteArray("^1^");
    // The search's stop comes first and is no line of the trace.
    QTest::newRow("begun connected")
        << true << QStringList {stop, stop, poll, mode, amp} << 0 << 0 << QByteArray("^^1^");
    QTest::newRow("cut short") << false << QStringList {stop, poll, poll, mode} << 1 << 9
                               << QByteArray("^1^2^");
}

void TestReplay::runsOfPollsMatchAsRuns()
{
    QFETCH(bool, startedConnected);
    QFETCH(QStringList, actual);
    QFETCH(int, differences);
    QFETCH(int, firstDifference);
    QFETCH(QByteArray, answers);
    sim::ReplayScript script(traceOf({"> @ 2 2\\r", "< ^", "> > 11 1\\r", "< 1^", "> > 11 1\\r",
                                      "< 2^", "> > 18 2\\r", "> > 12 0\\r"},
                                     startedConnected));
    QByteArray answered;
    for (const QString &line : actual) {
        for (const auto &answer : script.take(line.toLatin1() + '\r').answers)
            answered += answer.bytes;
    }
    script.noteMissing();
    QCOMPARE(script.differences(), differences);
    QCOMPARE(script.firstDifferenceLine(), firstDifference);
    QCOMPARE(answered, answers);
    QCOMPARE(script.isComplete(), firstDifference != 9);
}

void TestReplay::recordedSessionReplays()
{
    const QString tracePath = m_dir.filePath(QStringLiteral("session.txt"));
    {
        QTemporaryDir ports;
        sim::SimulatedKz kz;
        QVERIFY(kz.start() && kz.linkAs(ports.path(), 1));
        QString error;
        auto trace = TraceWriter::create(tracePath, wiretrace::kNoPort, &error);
        QVERIFY2(trace, qPrintable(error));
        auto *port = new TracingPort(new SystemSerialPort(PortLocator::forFolder(ports.path())));
        port->startTrace(std::move(trace));
        Form1 window(port);
        window.show();
        act(window);
        if (QTest::currentTestFailed())
            return;
    }
    QFile file(tracePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray recorded = file.readAll();
    file.close();

    const ReplayRun same = replay(tracePath);
    QVERIFY2(same.exitCode == 0, qPrintable(same.out));
    QVERIFY2(same.out.contains(QStringLiteral(", 0 difference(s)")), qPrintable(same.out));

    // The mode's line recorded as another.
    const QByteArray modeLine = " > > 18 2\\r\n";
    const qsizetype at = recorded.indexOf(modeLine);
    QVERIFY(at > 0);
    const int lineNumber = int(recorded.left(at).count('\n')) + 1;
    QByteArray changed = recorded;
    changed.replace(at, modeLine.size(), " > > 15 2\\r\n");
    const QString changedPath = m_dir.filePath(QStringLiteral("changed.txt"));
    QFile out(changedPath);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(changed) == changed.size());
    out.close();

    const ReplayRun differing = replay(changedPath);
    QVERIFY2(differing.exitCode == 1, qPrintable(differing.out));
    QVERIFY2(differing.out.contains(QStringLiteral("> 18 2\\r, differs from trace line %1, > 15 "
                                                   "2\\r, at character 4")
                                        .arg(lineNumber)),
             qPrintable(differing.out));
    QVERIFY2(differing.out.contains(
                 QStringLiteral(", 1 difference(s), the first at trace line %1").arg(lineNumber)),
             qPrintable(differing.out));
}

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
