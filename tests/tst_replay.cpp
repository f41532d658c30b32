// SPDX-License-Identifier: GPL-3.0-or-later
// Sessions the program records against the simulated KZ play back with
// kz-sim --replay while the program does the same again, however its timing
// differs; a changed line is found where it is, and only once.
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
#include "tuning/pktest.h"
#include "window/connection.h"
#include "window/tabnavigator.h"

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {

// Sessions run at half speed: a loaded machine delays a tick by a share of
// its length, not by a fixed time.
constexpr double kTimeScale = 0.5;

// A trace of the events given as "> line" or "< answer", escaped as in the
// file, 10 ms apart; the first event is on line 2.
wiretrace::Trace traceOf(const QStringList &events, bool startedConnected,
                         const QByteArray &end = {})
{
    QByteArray text = "# kz 1.41 wire trace, 2026-01-31T14:02:11Z, ";
    text += startedConnected ? "port 1\n" : "no port open\n# 0 port 1 opened\n";
    for (qsizetype i = 0; i < events.size(); ++i)
        text += QByteArray::number(10 * i) + ' ' + events.at(i).toLatin1() + '\n';
    text += end;
    wiretrace::ParseError error;
    const auto trace = wiretrace::parse(text, &error);
    if (!trace)
        qFatal("bad test trace: line %d: %s", error.line, qPrintable(error.why));
    return *trace;
}

// What a script hands out when the program's lines come at the times given:
// the trace lines of the messages, in the order they went.
QList<int> drive(sim::ReplayScript &script, const QList<std::pair<qint64, QByteArray>> &lines)
{
    QList<int> sent;
    auto deliverUntil = [&](qint64 ms) {
        std::optional<qint64> due;
        while ((due = script.nextDue()) && *due <= ms)
            sent.append(script.deliver(*due).traceLine);
    };
    for (const auto &[ms, line] : lines) {
        deliverUntil(ms);
        script.take(line, ms);
    }
    deliverUntil(std::numeric_limits<qint64>::max() / 2);
    return sent;
}

// The lines the program sent in a trace, at their recorded times.
QList<std::pair<qint64, QByteArray>> programLines(const wiretrace::Trace &trace)
{
    QList<std::pair<qint64, QByteArray>> lines;
    for (const wiretrace::Event &event : trace.sessionEvents()) {
        if (event.direction != wiretrace::Direction::Sent)
            continue;
        for (const QByteArray &line : event.bytes.split('\r')) {
            if (!line.isEmpty())
                lines.append({event.ms, line + '\r'});
        }
    }
    return lines;
}

bool isPoll(const QByteArray &line)
{
    return line == "> 11 1\r";
}

// The program's lines with the polls' timing changed as a program on
// another machine, or in another mood, would send them.
QList<std::pair<qint64, QByteArray>> retimed(QList<std::pair<qint64, QByteArray>> lines,
                                             const QString &how, int tickMs)
{
    QList<std::pair<qint64, QByteArray>> out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto [ms, line] = lines.at(i);
        const bool poll = isPoll(line);
        const bool runGoesOn = poll && i + 1 < lines.size() && isPoll(lines.at(i + 1).second);
        const bool runBegins = poll && (i == 0 || !isPoll(lines.at(i - 1).second));
        if (poll && !runBegins && how == QLatin1String("early"))
            ms -= tickMs / 2;
        if (poll && !runBegins && how == QLatin1String("late"))
            ms += tickMs / 2;
        if (poll && !runGoesOn && how == QLatin1String("one fewer"))
            continue;
        if (!out.isEmpty())
            ms = std::max(ms, out.last().first);
        out.append({ms, line});
        if (poll && !runGoesOn && how == QLatin1String("one more"))
            out.append({ms + tickMs, line});
    }
    return out;
}

QList<int> messageLines(const wiretrace::Trace &trace)
{
    QList<int> lines;
    for (const wiretrace::Event &event : trace.sessionEvents()) {
        if (event.direction == wiretrace::Direction::Received)
            lines.append(event.line);
    }
    return lines;
}

// Until the receive loop has read twice more and nothing runs: what the last
// action started is over, its answers read and any word they made said.
bool settled(Form1 &window)
{
    QSignalSpy ticks(window.controls().form.Timer1, &QTimer::timeout);
    return waitUntil(
        [&] {
            return ticks.count() >= 2 && !window.receiver().isBusy()
                && !window.link().isSequenceRunning() && !window.pkTest().isStarting();
        },
        60000);
}

bool choose(Form1 &window, const QString &page)
{
    return window.tabs().choose(page) && settled(window);
}

bool click(Form1 &window, QAbstractButton *button)
{
    button->click();
    return settled(window);
}

// The sessions, as a user would do them, each step waiting until the
// program is quiet again.
using Step = std::function<bool(Form1 &)>;

bool ask(Form1 &window)
{
    const ComPage &com = window.controls().com;
    QSignalSpy answered(&window.questions(), &QuestionDesk::answered);
    com.Text3->setText(QStringLiteral("Is anyone there"));
    QTest::mouseClick(com.Command2, Qt::LeftButton);
    return waitUntil([&] { return answered.count() == 1; }, 60000) && settled(window);
}

QList<Step> session(const QString &kind)
{
    if (kind == QLatin1String("question on COM"))
        return {ask, [](Form1 &w) { return choose(w, QStringLiteral("KZ")); },
                [](Form1 &w) { return choose(w, QStringLiteral("COM")); }};
    if (kind == QLatin1String("modes, say word, voice, read-back")) {
        return {[](Form1 &w) { return choose(w, QStringLiteral("KZ")); },
                [](Form1 &w) {
                    const KzPage &kz = w.controls().kzPage;
                    // Dictionary Mode 1 last: the KZ reports words by itself.
                    for (QAbstractButton *mode :
                         {kz.Command6, kz.Command7, kz.Command8, kz.Command9, kz.Command4}) {
                        if (!click(w, mode))
                            return false;
                    }
                    return waitUntil([&] { return !kz.Text10->text().isEmpty(); }, 20000);
                },
                [](Form1 &w) { return choose(w, QStringLiteral("Word List")); },
                [](Form1 &w) {
                    const WordListPage &words = w.controls().words;
                    return words.HScroll7->setValueChecked(57) && click(w, words.Command47)
                        && click(w, words.Command17);
                },
                [](Form1 &w) { return choose(w, QStringLiteral("SET UP")); },
                [](Form1 &w) {
                    const SetupPage &setup = w.controls().setup;
                    return click(w, setup.Command48) && click(w, setup.Command11)
                        && click(w, setup.Command16);
                }};
    }
    if (kind == QLatin1String("sensitivity, auto tune")) {
        return {[](Form1 &w) { return choose(w, QStringLiteral("SET UP")); },
                [](Form1 &w) {
                    const SetupPage &setup = w.controls().setup;
                    return click(w, setup.Command57) && click(w, setup.Command14);
                }};
    }
    // The PK test, and pages changed back and forth.
    return {[](Form1 &w) { return choose(w, QStringLiteral("PK")); },
            [](Form1 &w) {
                w.controls().pk.Command5->click();
                return waitUntil([&] { return w.pkTest().calibration().isCalibrated(); }, 60000)
                    && settled(w);
            },
            [](Form1 &w) { return click(w, w.controls().pk.Command5); },
            [](Form1 &w) { return choose(w, QStringLiteral("Log File")); },
            [](Form1 &w) { return choose(w, QStringLiteral("KZ")); },
            [](Form1 &w) { return choose(w, QStringLiteral("COM")); }};
}

// Connects, then takes the steps; before each, `before` runs with its
// number and may hold it back.
bool act(Form1 &window, const QList<Step> &steps, const std::function<bool(int)> &before)
{
    MessageBoxCloser notFound; // fails the test rather than waiting for ever
    if (!clickConnect(window) || !settled(window))
        return false;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (!before(int(i)) || !steps.at(i)(window))
            return false;
    }
    return true;
}

struct Recording {
    QString path;
    // The trace line of the last message read before each step.
    QList<int> lastMessageBefore;
};

bool record(const QList<Step> &steps, Recording &out)
{
    QTemporaryDir ports;
    sim::SimulatedKz kz;
    kz.setWanderingReadings(); // readings that change, as a held KZ's do
    if (!kz.start() || !kz.linkAs(ports.path(), 1))
        return false;
    QString error;
    auto trace = TraceWriter::create(out.path, wiretrace::kNoPort, &error);
    if (!trace)
        return false;
    auto *port = new TracingPort(new SystemSerialPort(PortLocator::forFolder(ports.path())));
    port->startTrace(std::move(trace));
    Form1 window(port);
    window.show();
    return act(window, steps, [&](int) {
        QFile file(out.path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QList<QByteArray> lines = file.readAll().split('\n');
        int last = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines.at(i).contains(" < "))
                last = int(i) + 1;
        }
        out.lastMessageBefore.append(last);
        return true;
    });
}

struct ReplayRun {
    int exitCode = -1;
    QString out;
};

// kz-sim replays the trace while the program does the same again; each step
// waits until kz-sim has sent what the KZ had sent before it then, as a user
// who watches the program would.
ReplayRun replay(const QList<Step> &steps, const Recording &recording)
{
    ReplayRun run;
    QTemporaryDir ports;
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_PATH),
              {QStringLiteral("--replay"), recording.path, QStringLiteral("--dir"), ports.path(),
               QStringLiteral("--port"), QStringLiteral("1")});
    QObject::connect(&sim, &QProcess::readyReadStandardOutput,
                     [&] { run.out += QString::fromLocal8Bit(sim.readAllStandardOutput()); });
    if (!waitUntil([&] { return QFileInfo(ports.filePath(QStringLiteral("COM1"))).isSymLink(); },
                   10000))
        return run;
    {
        Form1 window(new SystemSerialPort(PortLocator::forFolder(ports.path())));
        window.show();
        const bool done = act(window, steps, [&](int step) {
            const int line = recording.lastMessageBefore.value(step);
            return line == 0 || waitUntil([&] {
                return run.out.contains(QStringLiteral("sent trace line %1:").arg(line));
            }, 60000);
        });
        if (!done)
            run.out += QStringLiteral("\n(the program could not do the session again)");
    }
    // The trace closed the port: kz-sim ends by itself.
    if (!sim.waitForFinished(60000)) {
        sim.kill();
        sim.waitForFinished();
    }
    run.exitCode = sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
    run.out += QString::fromLocal8Bit(sim.readAllStandardOutput() + sim.readAllStandardError());
    return run;
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void linesMatchAndMessagesGoInOrder_data();
    void linesMatchAndMessagesGoInOrder();
    void recordedSessionsReplay_data();
    void recordedSessionsReplay();
    void changedLineIsFoundOnce();

private:
    QTemporaryDir m_dir;
    QString m_startFolder;
    Recording m_question;
};

void TestReplay::initTestCase()
{
    m_startFolder = QDir::currentPath();
    QDir::setCurrent(m_dir.path()); // the question's log goes there
    Pacing::setTimeScale(kTimeScale);
}

void TestReplay::cleanupTestCase()
{
    QDir::setCurrent(m_startFolder);
}

void TestReplay::linesMatchAndMessagesGoInOrder_data()
{
    QTest::addColumn<bool>("startedConnected");
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<int>("differences");
    QTest::addColumn<int>("firstDifference");
    QTest::addColumn<QList<int>>("messages");
    // The trace: "@ 2 2" (line 3) answered "^" (4), two polls (5, 7)
    // answered 1 (6) and 2 (8), then "> 18 2" (9) and "> 12 0" (10).
    const QString stop = QStringLiteral("@ 2 2"), poll = QStringLiteral("> 11 1"),
                  mode = QStringLiteral("> 18 2"), amp = QStringLiteral("> 12 0");
    const QList<int> all {4, 6, 8};
    QTest::newRow("as recorded") << false << QStringList {stop, poll, poll, mode, amp} << 0 << 0
                                 << all;
    // More polls or fewer: the same messages, once each.
    QTest::newRow("more polls") << false << QStringList {stop, poll, poll, poll, poll, mode, amp}
                                << 0 << 0 << all;
    QTest::newRow("fewer polls") << false << QStringList {stop, poll, mode, amp} << 0 << 0 << all;
    QTest::newRow("no poll") << false << QStringList {stop, mode, amp} << 0 << 0 << all;
    QTest::newRow("changed line") << false << QStringList {stop, poll, poll, "> 15 2", amp} << 1
                                  << 9 << all;
    QTest::newRow("extra line") << false << QStringList {stop, "> 99 1", poll, poll, mode, amp} << 1
                                << 9 << all;
    QTest::newRow("line left out") << false << QStringList {stop, poll, poll, amp} << 1 << 9 << all;
    // Polls are optional, so the mode's line was the one due.
    QTest::newRow("stop once more") << false << QStringList {stop, stop, poll, mode, amp} << 1 << 9
                                    << all;
    // An extra line that the trace holds later: matching stays in place.
    QTest::newRow("extra line found later")
        << false << QStringList {stop, amp, poll, poll, mode, amp} << 1 << 9 << all;
    // The search's stop comes first and is no line of the trace.
    QTest::newRow("begun connected") << true << QStringList {stop, stop, poll, mode, amp} << 0 << 0
                                     << QList<int> {3, 5, 7};
    // The mode's answer waits for the mode's line.
    QTest::newRow("cut short") << false << QStringList {stop, poll, poll} << 1 << 9
                               << QList<int> {4, 6, 8};
}

void TestReplay::linesMatchAndMessagesGoInOrder()
{
    QFETCH(bool, startedConnected);
    QFETCH(QStringList, actual);
    QFETCH(int, differences);
    QFETCH(int, firstDifference);
    QFETCH(QList<int>, messages);
    sim::ReplayScript script(traceOf({"> @ 2 2\\r", "< ^", "> > 11 1\\r", "< 1^", "> > 11 1\\r",
                                      "< 2^", "> > 18 2\\r", "> > 12 0\\r"},
                                     startedConnected));
    QList<std::pair<qint64, QByteArray>> lines;
    for (const QString &line : actual)
        lines.append({lines.size() * 300, line.toLatin1() + '\r'});
    QCOMPARE(drive(script, lines), messages);
    script.noteMissing();
    QCOMPARE(script.differences(), differences);
    QCOMPARE(script.firstDifferenceLine(), firstDifference);
}

void TestReplay::recordedSessionsReplay_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"question on COM", "modes, say word, voice, read-back",
                             "sensitivity, auto tune", "PK test, pages"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestReplay::recordedSessionsReplay()
{
    QFETCH(QString, kind);
    const QList<Step> steps = session(kind);
    Recording recording;
    recording.path = m_dir.filePath(kind.left(3) + QStringLiteral(".trace"));
    QVERIFY(record(steps, recording));
    if (kind == QLatin1String("question on COM"))
        m_question = recording;

    QFile file(recording.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    wiretrace::ParseError error;
    const std::optional<wiretrace::Trace> trace = wiretrace::parse(text, &error);
    QVERIFY2(trace, qPrintable(error.why));
    // The program ending closed the port, and said so before its last line.
    QVERIFY(trace->closedMs);
    QVERIFY(text.trimmed().endsWith(" the program ended"));
    const QList<int> messages = messageLines(*trace);
    qInfo("%s: %d lines, %d messages recorded", qPrintable(kind),
          int(programLines(*trace).size()), int(messages.size()));

    // The program's timing changed on purpose: every message still goes,
    // once, in its order, and every line matches.
    for (const QString how : {"early", "late", "one more", "one fewer"}) {
        sim::ReplayScript script(*trace);
        const QList<int> sent = drive(script, retimed(programLines(*trace), how, trace->tickMs));
        QVERIFY2(sent == messages, qPrintable(how));
        QVERIFY2(script.isComplete(), qPrintable(how));
        QCOMPARE(script.differences(), 0);
    }

    // And the program itself, with the timing it has this time.
    const ReplayRun run = replay(steps, recording);
    const QString summary = run.out.mid(run.out.lastIndexOf(QStringLiteral("replay ended")));
    qInfo("%s: exit %d, %s", qPrintable(kind), run.exitCode, qPrintable(summary.trimmed()));
    QVERIFY2(run.exitCode == 0, qPrintable(run.out.right(3000)));
    QVERIFY2(run.out.contains(QStringLiteral(", 0 difference(s)")), qPrintable(run.out.right(3000)));
    QVERIFY2(run.out.contains(QStringLiteral("end of the trace:")), qPrintable(run.out.right(3000)));
}

void TestReplay::changedLineIsFoundOnce()
{
    if (m_question.path.isEmpty())
        QSKIP("needs the question's recording");
    QFile file(m_question.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray recorded = file.readAll();
    file.close();

    // The first word said, recorded as another.
    static const QRegularExpression said(QStringLiteral("\n\\d+ > (@ \\d+ 0 \\\\r)\n"));
    const QRegularExpressionMatch m = said.match(QString::fromLatin1(recorded));
    QVERIFY(m.hasMatch());
    const int lineNumber = int(recorded.left(m.capturedStart(1)).count('\n')) + 1;
    recorded.replace(m.capturedStart(1), m.capturedLength(1), "@ 2049 0 \\r");
    const QString changedPath = m_dir.filePath(QStringLiteral("changed.trace"));
    QFile out(changedPath);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(recorded) == recorded.size());
    out.close();

    Recording changed = m_question;
    changed.path = changedPath;
    const ReplayRun run = replay(session(QStringLiteral("question on COM")), changed);
    QVERIFY2(run.exitCode == 1, qPrintable(run.out.right(3000)));
    QVERIFY2(run.out.contains(QStringLiteral("differs from trace line %1, @ 2049 0 \\r")
                                  .arg(lineNumber)),
             qPrintable(run.out.right(3000)));
    // The rest of the session matches: one difference, not its echoes.
    QVERIFY2(run.out.contains(
                 QStringLiteral(", 1 difference(s), the first at trace line %1").arg(lineNumber)),
             qPrintable(run.out.right(3000)));
}

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
