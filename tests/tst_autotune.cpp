// SPDX-License-Identifier: GPL-3.0-or-later
// The auto tune on a port in memory: its readings, what each pass shows, the
// values it leaves and the settings it saves, and how a run stops.
#include "support.h"
#include "window/tabnavigator.h"
#include "tuning/autotune.h"
#include "tuning/sensitivity.h"
#include "kit/widgets.h"
#include "wire.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
constexpr double kScale = 0.02;
const QStringList kInitial = {"150", "5", "12", "4"};

// The reading requests of a whole run.
QStringList requests(int passes)
{
    QStringList out;
    for (int p = 0; p < passes; ++p)
        out << "> 11 1"
            << "> 11 2"
            << "> 11 3";
    return out;
}

struct PassShown {
    QString counter;
    double needle;
    QColor gauge;
};
} // namespace

class TestAutoTune : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void workedExampleOnTheWire();
    void eachPassShowsItsLevel();
    void gainGoesIntoMidAndHighWhereverLowGainStood_data();
    void gainGoesIntoMidAndHighWhereverLowGainStood();
    void aStoppedRunChangesAndSendsNothing_data();
    void aStoppedRunChangesAndSendsNothing();
    void aPageLeftDuringTheSaveGetsTheWholeSaveFirst();
    void clicksDuringARunAreRefused_data();
    void clicksDuringARunAreRefused();

private:
    // The KZ answers the reading requests with these readings, in turn.
    void answerWith(const QList<int> &readings, int answers = -1);
    // Clicks Start; true once the run and the lines it left have gone out.
    bool run();
    QList<int> barValues() const;
    QStringList boxTexts() const;
    const SetupPage &page() const { return h->controls().setup; }

    std::unique_ptr<WindowHarness> h;
    int m_requests = 0;
};

void TestAutoTune::init()
{
    h = std::make_unique<WindowHarness>(kScale);
    QVERIFY(h->start(QStringLiteral("SET UP")));
    m_requests = 0;
}

void TestAutoTune::cleanup()
{
    h.reset();
}

void TestAutoTune::answerWith(const QList<int> &readings, int answers)
{
    h->port()->setScript([this, readings, answers](const QString &line) {
        if (!line.startsWith(QLatin1String("> 11 ")))
            return QByteArray();
        const int n = m_requests++;
        if (answers >= 0 && n >= answers)
            return QByteArray();
        return QByteArray::number(readings.at(n % readings.size())) + '^';
    });
}

bool TestAutoTune::run()
{
    QTest::mouseClick(page().Command14, Qt::LeftButton);
    // The click returns at once; the run goes on from the event loop.
    return waitUntil([this] { return !h->window()->link().isSequenceRunning(); }, 60000);
}

QList<int> TestAutoTune::barValues() const
{
    QList<int> values;
    for (int i = 0; i < tune::kSettingCount; ++i)
        values << h->window()->sensitivity().bar(tune::settingAt(i))->value();
    return values;
}

QStringList TestAutoTune::boxTexts() const
{
    QStringList texts;
    for (int i = 0; i < tune::kSettingCount; ++i)
        texts << h->window()->sensitivity().box(tune::settingAt(i))->text();
    return texts;
}

void TestAutoTune::workedExampleOnTheWire()
{
    answerWith({100});
    WireRecorder wire(h->window());
    QVERIFY(run());
    // Boxes whose bars did not move keep their initial texts: the OFFSETs
    // (0 is refused) and Mid and High GAIN (their bars stand at 1 already).
    QCOMPARE(wire.events,
             requests(100)
                 + saveSettingsWire({" 240", "5", " 20", " 3"}, {" 300", "5", " 75", "4"},
                                    {" 340", "5", " 100", "4"}, Selected::Low));
    QCOMPARE(barValues(), (QList<int> {240, 254, 20, 3, 300, 254, 75, 1, 340, 254, 100, 1}));
    const QString summary = QStringLiteral("Min =  300 Max =  300 Delta =  0 Average = 300");
    QCOMPARE(page().Text9->text(), summary);
    QCOMPARE(page().Label9->text(), QStringLiteral("complete "));
    QCOMPARE(h->window()->sensitivity().gain(), qint16(3));
    QCOMPARE(page().Line3->from(), QPointF(1200, 480));
    QCOMPARE(page().Line3->to(), QPointF(1440, 1080));
    QCOMPARE(page().Picture3->palette().color(QPalette::Window), QColor(255, 255, 0));
}

void TestAutoTune::eachPassShowsItsLevel()
{
    // Levels 300, 400, 200, 350, then 300 for good.
    answerWith({100, 100, 100, 200, 100, 100, 50, 50, 100, 150, 100, 100, 100, 100, 100});
    QList<PassShown> shown;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this](const QString &line) {
        // Each pass's first request comes after the pass before was shown.
        if (line == QLatin1String("> 11 1") && m_requests > 1 && shown.size() < 5)
            shown.append({page().Label9->text(), page().Line3->from().x(),
                          page().Picture3->palette().color(QPalette::Window)});
    });
    QVERIFY(run());
    QCOMPARE(shown.size(), 5);
    const QColor red(255, 0, 0), yellow(255, 255, 0), cyan(0, 255, 255);
    const QList<PassShown> expected = {{"Pass #  1", 1200, yellow},
                                       {"Pass #  2", 1600, red},
                                       {"Pass #  3", 800, yellow},
                                       {"Pass #  4", 1400, cyan},
                                       {"Pass #  5", 1200, cyan}};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(shown[i].counter, expected[i].counter);
        QCOMPARE(shown[i].needle, expected[i].needle);
        QCOMPARE(shown[i].gauge, expected[i].gauge);
    }
}

void TestAutoTune::gainGoesIntoMidAndHighWhereverLowGainStood_data()
{
    QTest::addColumn<int>("lowGainBefore");
    QTest::newRow("bar moves to 4") << 1;
    QTest::newRow("bar stood at 4") << 4;
}

void TestAutoTune::gainGoesIntoMidAndHighWhereverLowGainStood()
{
    QFETCH(int, lowGainBefore);
    QVERIFY(page().VScroll4->setValueChecked(lowGainBefore));
    // A highest level of 150 gives a gain of 6.
    tune::PassTally tally;
    for (int p = 0; p < tune::kPasses; ++p)
        (void)tally.add(p == 0 ? 150 : 120);
    h->window()->autoTune().finish(tally);
    // The values are set at once; the save follows from the event loop.
    QVERIFY(waitUntil([this] { return !h->window()->link().isSequenceRunning(); }));
    QCOMPARE(page().VScroll4->value(), 4);
    QCOMPARE(page().Text13->text(), QStringLiteral(" 4"));
    QCOMPARE(page().VScroll6->value(), 3);
    QCOMPARE(page().VScroll7->value(), 2);
    QCOMPARE(h->window()->sensitivity().gain(), qint16(6));
}

void TestAutoTune::aStoppedRunChangesAndSendsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("bounded");
    QTest::newRow("KZ falls silent") << "silent" << AutoTune::kNoReading << true;
    QTest::newRow("page left") << "page" << AutoTune::kPageLeft << false;
    QTest::newRow("Escape") << "escape" << AutoTune::kCancelled << false;
    // Fault: a lost KZ reported as a cancel.
    QTest::newRow("KZ unplugged") << "unplug" << AutoTune::kNoReading << false;
}

void TestAutoTune::aStoppedRunChangesAndSendsNothing()
{
    QFETCH(QString, how);
    QFETCH(QString, shown);
    QFETCH(bool, bounded);
    const QList<int> barsBefore = barValues();
    const QStringList boxesBefore = boxTexts();
    constexpr int kAnswered = 7;
    // Escape comes during the wait for a request the KZ leaves unanswered:
    // an answer that came after it would show in the information window, as
    // every message does, over the stopped text.
    const bool escape = how == QLatin1String("escape");
    answerWith({100}, how == QLatin1String("silent") || escape ? kAnswered : -1);
    TickClock sinceLast;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this] {
        if (m_requests != (escape ? kAnswered + 1 : kAnswered))
            return;
        sinceLast.restart();
        if (how == QLatin1String("page"))
            QTimer::singleShot(0, this,
                               [this] { h->window()->tabs().choose(QStringLiteral("COM")); });
        else if (how == QLatin1String("escape"))
            QTimer::singleShot(0, this, [this] { QTest::keyClick(h->window(), Qt::Key_Escape); });
        else if (how == QLatin1String("unplug"))
            QTimer::singleShot(0, this, [this] { h->port()->unplug(); });
    });
    QVERIFY(run());
    const QString ended = sinceLast.checkEnded(AutoTune::kReadingWaitMs, bounded);
    QVERIFY2(ended.isEmpty(), qPrintable(ended));
    QCOMPARE(page().Text9->text(), shown);
    QCOMPARE(barValues(), barsBefore);
    QCOMPARE(boxTexts(), boxesBefore);
    QCOMPARE(h->window()->sensitivity().gain(), qint16(4));
    // The page change's stops follow the run from the event loop.
    QVERIFY(waitUntil([this] { return !h->window()->link().isSequenceRunning(); }));
    QVERIFY(!h->port()->lines().contains(QStringLiteral("> 40 2")));
}

// The KZ is never left with only some of the sets: the page change's stops
// wait for the end of the save.
void TestAutoTune::aPageLeftDuringTheSaveGetsTheWholeSaveFirst()
{
    answerWith({100});
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [this](const QString &line) {
        if (line == QLatin1String("> 46 1 1"))
            QTimer::singleShot(0, this,
                               [this] { h->window()->tabs().choose(QStringLiteral("COM")); });
    });
    WireRecorder wire(h->window());
    QVERIFY(run());
    QCOMPARE(wire.events,
             requests(100)
                 + saveSettingsWire({" 240", "5", " 20", " 3"}, {" 300", "5", " 75", "4"},
                                    {" 340", "5", " 100", "4"}, Selected::Low)
                 + paused(0, QStringLiteral("@ 2 2")) + paused(1, QStringLiteral("@ 2 2"))
                 + paused(1));
}

void TestAutoTune::clicksDuringARunAreRefused_data()
{
    QTest::addColumn<QString>("clicked");
    QTest::newRow("Start again") << "Command14";
    QTest::newRow("Save Settings") << "Command57";
    QTest::newRow("Restore Defaults") << "Command12";
    QTest::newRow("Firmware Version") << "Command10";
}

void TestAutoTune::clicksDuringARunAreRefused()
{
    QFETCH(QString, clicked);
    answerWith({100});
    bool done = false;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this] {
        if (m_requests != 20 || done)
            return;
        done = true;
        QTimer::singleShot(0, this, [&, this] {
            QTest::mouseClick(h->window()->findChild<QPushButton *>(clicked), Qt::LeftButton);
        });
    });
    WireRecorder wire(h->window());
    QVERIFY(run());
    QVERIFY(done);
    QCOMPARE(wire.events,
             requests(100)
                 + saveSettingsWire({" 240", "5", " 20", " 3"}, {" 300", "5", " 75", "4"},
                                    {" 340", "5", " 100", "4"}, Selected::Low));
    QCOMPARE(page().Text9->text(),
             QStringLiteral("Min =  300 Max =  300 Delta =  0 Average = 300"));
}

QTEST_MAIN(TestAutoTune)
#include "tst_autotune.moc"
