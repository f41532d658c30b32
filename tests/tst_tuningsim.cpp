// SPDX-License-Identifier: GPL-3.0-or-later
// Save Settings, auto tune, firmware version and the PK test end to end,
// against the simulated KZ on a pseudo-terminal.
#include "device/devicelink.h"
#include "harness.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "tuning/pktest.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kz;
using namespace kz::test;

class TestTuningSim : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void autoTuneSavesTheWorkedExample();
    void firmwareVersionShowsInTheInformationWindow();
    void pkTestCalibratesOnTheStreamAndDoneStopsIt();

private:
    std::unique_ptr<Harness> h;
    sim::SimulatedKz *kz = nullptr;
};

void TestTuningSim::init()
{
    h = std::make_unique<Harness>(0.05);
    kz = h->addDevice(1);
    QVERIFY(h->connectWindow());
}

void TestTuningSim::cleanup()
{
    h.reset();
}

void TestTuningSim::autoTuneSavesTheWorkedExample()
{
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    // Every reading 100: every pass level 300.
    QTest::mouseClick(h->controls().setup.Command14, Qt::LeftButton);
    // The click returns at once; the run and its save follow from the event loop.
    QVERIFY(waitUntil(
        [&] {
            return !h->window()->link().isSequenceRunning()
                && kz->receivedLines().size() == 300 + 24;
        },
        60000));
    QCOMPARE(kz->readingsSent(), 300);
    QCOMPARE(h->controls().setup.Text9->text(),
             QStringLiteral("Min =  300 Max =  300 Delta =  0 Average = 300"));
    QCOMPARE(h->controls().setup.Label9->text(), QStringLiteral("complete "));
    const QStringList lines = kz->receivedLines();
    const QStringList settings = lines.mid(300);
    QCOMPARE(settings.size(), 24);
    QCOMPARE(settings.mid(0, 6),
             (QStringList {"> 40 2", "*  240", "* 5", "*  20", "*  3", "> 46 1 1"}));
    QCOMPARE(settings.mid(18),
             (QStringList {"> 40 2", "*  240", "* 5", "*  20", "*  3", "> 43 1"}));
}

void TestTuningSim::firmwareVersionShowsInTheInformationWindow()
{
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    kz->setFirmwareVersion(QStringLiteral("KZ FIRMWARE 9.99"));
    QTest::mouseClick(h->controls().setup.Command10, Qt::LeftButton);
    // The last line goes without a pause after it.
    QVERIFY(waitUntil([&] { return kz->receivedLines().size() == 4; }));
    QCOMPARE(kz->receivedLines(), (QStringList {"@ 2 2", "@ 2 2", "> 27 10 10", "> 27 10 10"}));
    QVERIFY(waitUntil([&] {
        return h->controls().setup.Text9->text().endsWith(QStringLiteral("KZ FIRMWARE 9.99^"));
    }));
}

void TestTuningSim::pkTestCalibratesOnTheStreamAndDoneStopsIt()
{
    QVERIFY(h->showPage(QStringLiteral("PK")));
    const PkPage &pk = h->controls().pk;
    QTest::mouseClick(pk.Command5, Qt::LeftButton);
    // The click returns at once; the Start runs on from the event loop.
    QVERIFY(waitUntil(
        [&] {
            return h->window()->pkTest().calibration().isCalibrated()
                && !h->window()->pkTest().isStarting();
        },
        20000));
    QCOMPARE(kz->mode(), sim::SimulatedKz::Mode::Touch);
    QVERIFY(!kz->ampOn());
    QCOMPARE(h->window()->pkTest().calibration().avg(), qint16(100));
    QCOMPARE(pk.Text15->text(), QStringLiteral(" When Your Done press the Done Button "));

    kz->setSteadyReading(130);
    QVERIFY(waitUntil([&] { return pk.Line1->from().x() == 3870.0; }));
    bool stopAnswered = false;
    bool takenSince = false;
    connect(kz, &sim::SimulatedKz::sent, this, [&](const QByteArray &text) {
        if (text == "^")
            stopAnswered = true;
    });
    connect(h->controls().hidden.rec, &TextBox::changed, this, [&] {
        if (stopAnswered)
            takenSince = true;
    });
    QTest::mouseClick(pk.Command5, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return kz->ampOn(); }));
    QCOMPARE(kz->mode(), sim::SimulatedKz::Mode::None);
    QVERIFY(kz->ampOn());
    QCOMPARE(pk.Command5->text(), QStringLiteral("Start"));
    // The stop's answer, a bare end mark, reaches the PK page and is no reading.
    QVERIFY(waitUntil([&] { return takenSince && !h->window()->receiver().isBusy(); }));
    QVERIFY(h->controls().hidden.rec->text().endsWith(u'^'));
    QCOMPARE(pk.Line1->from().x(), 3870.0);
}

QTEST_MAIN(TestTuningSim)
#include "tst_tuningsim.moc"
