// SPDX-License-Identifier: GPL-3.0-or-later
// The PK test on a port in memory: Start's prompts and lines, the
// calibration, the line, and every way a Start can end.
#include "support.h"
#include "modes/modecontrol.h"
#include "tuning/pktest.h"
#include "window/tabnavigator.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "wire.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
constexpr double kScale = 0.1;
const QString kHoldPrompt = QStringLiteral("Pick up the KZ or Put your hand over the KZ");
const QString kAdjustPrompt = QStringLiteral("Please wait while the KZ Adjusts");
const QString kMovePrompt = QStringLiteral("The Line will start to move right or left \r\n"
                                           " Try to keep in in the center by thought only");
const QString kDonePrompt = QStringLiteral(" When Your Done press the Done Button ");
const QStringList kStopWire = {"@ 2 2", "P", "> 12 0", "P"};

// Start's lines and pauses, up to and including `until` when given.
QStringList startWire(const QString &until = {})
{
    const QStringList all
        = QStringList {"> 47 1 1"} + paused(11, "> 12 1") + paused(1, "> 17 2") + paused(11);
    return until.isEmpty() ? all : all.mid(0, all.indexOf(until) + 1);
}

QList<QByteArray> readings(const QList<int> &values)
{
    QList<QByteArray> out;
    for (int v : values)
        out << QByteArray::number(v) + '^';
    return out;
}
} // namespace

class TestPkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startPromptsThenTakesTenReadings_data();
    void startPromptsThenTakesTenReadings();
    void routedReadingsMoveTheLine_data();
    void routedReadingsMoveTheLine();
    void startEndsWithoutCalibration_data();
    void startEndsWithoutCalibration();
    void afterDoneReadingsStillMoveTheLineAndStartBeginsAgain();
    void aSlowKzCalibratesAndOnlySilenceEndsTheWait();
    void leavingThePageOneSecondAfterStartStopsTheKz();

private:
    void start();
    // Feeds each message on a tick of its own, once the one before was read.
    void feed(const QList<QByteArray> &messages);
    bool settled() const;
    const PkPage &page() const { return h->controls().pk; }

    std::unique_ptr<WindowHarness> h;
    QList<QByteArray> m_queue;
    QStringList m_prompts;
};

void TestPkTest::init()
{
    h = std::make_unique<WindowHarness>(kScale);
    QVERIFY(h->start(QStringLiteral("PK")));
    m_queue.clear();
    m_prompts.clear();
    // After the receive loop's own handling of the tick.
    connect(h->controls().form.Timer1, &QTimer::timeout, this, [this] {
        if (!m_queue.isEmpty() && !h->port()->hasUnread())
            h->port()->feed(m_queue.takeFirst());
    });
    connect(page().Text15, &TextBox::changed, this, [this] { m_prompts << page().Text15->text(); });
}

void TestPkTest::cleanup()
{
    h.reset();
}

void TestPkTest::start()
{
    QCOMPARE(page().Command5->text(), QStringLiteral("Start"));
    QTest::mouseClick(page().Command5, Qt::LeftButton);
    // The click returns at once; the Start runs on from the event loop.
    QVERIFY(waitUntil([this] {
        return !h->window()->pkTest().isStarting() && !h->window()->link().isSequenceRunning();
    }));
}

void TestPkTest::feed(const QList<QByteArray> &messages)
{
    m_queue << messages;
}

bool TestPkTest::settled() const
{
    return m_queue.isEmpty() && !h->port()->hasUnread() && !h->window()->receiver().isBusy()
        && h->window()->receiver().pending().isEmpty();
}

void TestPkTest::startPromptsThenTakesTenReadings_data()
{
    QTest::addColumn<QList<int>>("calibration");
    QTest::addColumn<int>("avg");
    QTest::addColumn<int>("next");
    QTest::addColumn<double>("x");
    // Equal readings leave the reading box as it was; each counts all the same.
    QList<int> down(9, 452);
    down << 457;
    QTest::newRow("sum 4525 gives 452") << down << 452 << 500 << 3888.0;
    QList<int> up(9, 453);
    up << 458;
    QTest::newRow("sum 4535 gives 454") << up << 454 << 400 << 3786.0;
}

void TestPkTest::startPromptsThenTakesTenReadings()
{
    QFETCH(QList<int>, calibration);
    QFETCH(int, avg);
    QFETCH(int, next);
    QFETCH(double, x);
    connect(page().Text15, &TextBox::changed, this, [&, this] {
        if (page().Text15->text() == kMovePrompt)
            feed(readings(calibration));
    });
    WireRecorder wire(h->window());
    start();
    QCOMPARE(wire.events, startWire());
    QStringList expected {kHoldPrompt, kAdjustPrompt, kMovePrompt};
    for (int star = 1; star <= 10; ++star)
        expected << kMovePrompt + QString(star, u'*');
    expected << kDonePrompt;
    QCOMPARE(m_prompts, expected);
    QCOMPARE(h->window()->pkTest().calibration().av(), qint16(10));
    QCOMPARE(h->window()->pkTest().calibration().avg(), qint16(avg));
    QCOMPARE(h->window()->modes().mode(), qint16(20));
    QCOMPARE(page().Command5->text(), QStringLiteral("Done"));
    QCOMPARE(page().Line1->from().x(), 3840.0);

    feed(readings({next}));
    QVERIFY(waitUntil([this] { return settled(); }));
    QCOMPARE(page().Line1->from(), QPointF(x, 240));
    QCOMPARE(page().Line1->to(), QPointF(3840, 1920));
    // Fault: leaving the page after the calibration leaves the speaker off.
    h->showPage(QStringLiteral("COM"));
    QVERIFY(waitUntil([&] { return wire.lines().contains(QStringLiteral("> 12 0")); }));
    // Fault: the user's own Amp OFF forgotten, so leaving the page again turns the speaker on.
    const SetupPage &setup = h->controls().setup;
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    QTest::mouseClick(setup.Option1[1], Qt::LeftButton);
    QTest::mouseClick(setup.Command16, Qt::LeftButton);
    QVERIFY(h->showPage(QStringLiteral("PK")) && h->showPage(QStringLiteral("SET UP")));
    QTest::mouseClick(setup.Command16, Qt::LeftButton); // its line marks the end
    QVERIFY(waitUntil([&] { return wire.lines().count(QStringLiteral("> 12 1")) == 3; }));
    QCOMPARE(wire.lines().count(QStringLiteral("> 12 0")), 1);
}

void TestPkTest::routedReadingsMoveTheLine_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<double>("x");
    QTest::newRow("first three digits") << QByteArray("1234^") << 3873.0;
    QTest::newRow("digits among text") << QByteArray("A7b^") << 3757.0;
    // The answer to a stop: no reading, the line stays where it was.
    QTest::newRow("bare end mark") << QByteArray("^") << 3870.0;
    QTest::newRow("text without digits") << QByteArray("Done^") << 3870.0;
}

void TestPkTest::routedReadingsMoveTheLine()
{
    QFETCH(QByteArray, message);
    QFETCH(double, x);
    // Before any Start, ten readings calibrate the test.
    feed(readings(QList<int>(10, 90)));
    feed({"120^"});
    QVERIFY(waitUntil([this] { return settled(); }));
    QCOMPARE(page().Line1->from().x(), 3870.0);
    feed({message});
    QVERIFY(waitUntil([this] { return settled(); }));
    QCOMPARE(page().Line1->from().x(), x);
    QCOMPARE(h->window()->pkTest().calibration().avg(), qint16(90));
}

void TestPkTest::startEndsWithoutCalibration_data()
{
    QTest::addColumn<QString>("when"); // a line sent, "stars" (3 readings taken) or "prompt"
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("tail"); // the wire after Start's lines
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<bool>("atDeadline"); // else cut short
    // Done ends Start's lines after the wait under way; Escape leaves only
    // the wait for readings, never Start's own lines.
    const QStringList afterTouchMode = startWire().mid(startWire("> 17 2").size());
    QTest::newRow("Done while sending")
        << "> 12 1"
        << "done" << QStringList {"P"} + kStopWire << PkTest::kIdlePrompt << false;
    // Fault: the speaker's line left out when Start stops before turning it off.
    QTest::newRow("Done before the speaker goes off")
        << "> 47 1 1" << "done" << QStringList {"P"} + kStopWire << PkTest::kIdlePrompt << false;
    QTest::newRow("Done while calibrating")
        << "stars"
        << "done" << kStopWire << PkTest::kIdlePrompt << false;
    QTest::newRow("Escape while sending")
        << "> 17 2"
        << "escape" << afterTouchMode + kStopWire << PkTest::kNoReadings << true;
    QTest::newRow("Escape while calibrating")
        << "stars"
        << "escape" << kStopWire << PkTest::kIdlePrompt << false;
    // The page change stops the KZ itself, once the Start has let go of the
    // wire; the speaker comes back on after it.
    const QStringList pageStops {"@ 2 2", "P", "@ 2 2", "P"};
    QTest::newRow("page left") << "prompt"
                               << "page" << pageStops + QStringList {"> 12 0", "P"}
                               << PkTest::kIdlePrompt << false;
    QTest::newRow("page left before Touch Mode")
        << "> 12 1"
        << "page" << QStringList {"P"} + pageStops + QStringList {"> 12 0", "P"}
        << PkTest::kIdlePrompt << false;
    QTest::newRow("page left after Touch Mode")
        << "> 17 2"
        << "page" << QStringList {"P"} + pageStops + QStringList {"> 12 0", "P"}
        << PkTest::kIdlePrompt << false;
    // Fault: a KZ lost during Start taken as calibrated.
    QTest::newRow("KZ unplugged") << "stars" << "unplug" << QStringList {"P", "P"}
                                  << PkTest::kNoReadings << false;
    // Fault: a KZ lost during Start's own lines taken as calibrated.
    QTest::newRow("KZ unplugged while sending") << "> 17 2" << "unplug" << QStringList {"P", "P"}
                                                << PkTest::kNoReadings << false;
    QTest::newRow("silent KZ") << "prompt"
                               << "" << kStopWire << PkTest::kNoReadings << true;
}

void TestPkTest::startEndsWithoutCalibration()
{
    QFETCH(QString, when);
    QFETCH(QString, action);
    QFETCH(QStringList, tail);
    QFETCH(QString, prompt);
    QFETCH(bool, atDeadline);
    TickClock sinceTrigger;
    auto act = [&, this] {
        sinceTrigger.restart();
        if (action == QLatin1String("done"))
            QTest::mouseClick(page().Command5, Qt::LeftButton);
        else if (action == QLatin1String("escape"))
            QTest::keyClick(h->window(), Qt::Key_Escape);
        else if (action == QLatin1String("page"))
            h->window()->tabs().choose(QStringLiteral("COM"));
        else if (action == QLatin1String("unplug"))
            h->port()->unplug();
    };
    bool triggered = false;
    auto trigger = [&, this] {
        if (triggered)
            return;
        triggered = true;
        QTimer::singleShot(0, this, act);
    };
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&](const QString &line) {
        if (line == when)
            trigger();
    });
    connect(page().Text15, &TextBox::changed, this, [&, this] {
        const QString text = page().Text15->text();
        if (text == kMovePrompt && when == QLatin1String("stars"))
            feed(readings({1, 2, 3}));
        if (text == kMovePrompt && when == QLatin1String("prompt"))
            trigger();
        if (text == kMovePrompt + QStringLiteral("***") && when == QLatin1String("stars"))
            trigger();
    });
    WireRecorder wire(h->window());
    start();
    QVERIFY(triggered);
    const QString ended = sinceTrigger.checkEnded(PkTest::kCalibrationWaitMs, atDeadline);
    QVERIFY2(ended.isEmpty(), qPrintable(ended));
    const QString until = when.startsWith(u'>') ? when : QString();
    // A page change's stops go out once the Start has let go of the wire.
    QVERIFY(waitUntil([this] { return !h->window()->link().isSequenceRunning(); }));
    QCOMPARE(wire.events, startWire(until) + tail);
    QCOMPARE(page().Text15->text(), prompt);
    QCOMPARE(page().Command5->text(), QStringLiteral("Start"));
    QVERIFY(!h->window()->pkTest().isStarting());
    QVERIFY(!h->window()->link().isSequenceRunning());
    QCOMPARE(page().Line1->from().x(), 3840.0);
}

void TestPkTest::afterDoneReadingsStillMoveTheLineAndStartBeginsAgain()
{
    connect(page().Text15, &TextBox::changed, this, [this] {
        if (page().Text15->text() == kMovePrompt)
            feed(readings(QList<int>(10, 100)));
    });
    start();
    QCOMPARE(h->window()->pkTest().calibration().avg(), qint16(100));

    WireRecorder wire(h->window());
    QTest::mouseClick(page().Command5, Qt::LeftButton);
    QVERIFY(waitUntil([this] { return !h->window()->link().isSequenceRunning(); }));
    QCOMPARE(wire.events, kStopWire);
    QCOMPARE(page().Command5->text(), QStringLiteral("Start"));
    // The KZ's answer to the stop arrives as a bare end mark.
    QVERIFY(waitUntil([this] { return settled(); }));
    QCOMPARE(page().Line1->from().x(), 3840.0);
    feed(readings({130}));
    QVERIFY(waitUntil([this] { return settled(); }));
    QCOMPARE(page().Line1->from().x(), 3870.0);

    // A new Start begins a new calibration: readings add stars again.
    m_prompts.clear();
    start();
    QCOMPARE(h->window()->pkTest().calibration().av(), qint16(10));
    QCOMPARE(m_prompts.mid(3, 2),
             (QStringList {kMovePrompt + QStringLiteral("*"), kMovePrompt + QStringLiteral("**")}));
    QCOMPARE(page().Line1->from().x(), 3870.0);
}

void TestPkTest::aSlowKzCalibratesAndOnlySilenceEndsTheWait()
{
    // One reading every two seconds: ten take far longer than one wait.
    QTimer slow;
    slow.setInterval(qRound(2000 * kScale));
    connect(&slow, &QTimer::timeout, this, [this] { feed(readings({100})); });
    connect(page().Text15, &TextBox::changed, this, [&, this] {
        if (page().Text15->text() == kMovePrompt)
            slow.start();
    });
    start();
    QCOMPARE(page().Text15->text(), kDonePrompt);
    QCOMPARE(h->window()->pkTest().calibration().avg(), qint16(100));
}

void TestPkTest::leavingThePageOneSecondAfterStartStopsTheKz()
{
    // Four pauses after "> 47 1 1" the user leaves the page: the Start ends
    // when the pause under way has passed, and the KZ then hears the page
    // change's two stops, nothing lost and nothing between them.
    WireRecorder wire(h->window());
    int pauses = 0;
    connect(h->controls().form.Timer3, &QTimer::timeout, this, [&, this] {
        if (++pauses == 4)
            QTimer::singleShot(0, this,
                               [this] { h->window()->tabs().choose(QStringLiteral("COM")); });
    });
    start();
    const QStringList expected
        = QStringList {"> 47 1 1"} + paused(5, "@ 2 2") + paused(1, "@ 2 2") + paused(1);
    // The wire in full when it falls short, not only that it did.
    std::ignore = waitUntil([&] { return wire.events.size() >= expected.size(); });
    QVERIFY(waitUntil([this] { return !h->window()->pkTest().isStarting(); }));
    QCOMPARE(wire.events.join(u' '), expected.join(u' '));
    QCOMPARE(page().Text15->text(), PkTest::kIdlePrompt);
}

QTEST_MAIN(TestPkTest)
#include "tst_pktest.moc"
