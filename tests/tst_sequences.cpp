// While a multi-line sequence holds the wire, nothing else puts lines
// between its own.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "support.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

class TestSequences : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tabChangeDuringASequenceSendsNothing();
    void pollWaitsOutASequence();

private:
    std::unique_ptr<WindowHarness> h;
};

void TestSequences::init()
{
    h = std::make_unique<WindowHarness>(0.05);
    QVERIFY(h->connectWindow());
    h->port()->clearWritten();
}

void TestSequences::cleanup()
{
    h.reset();
}

void TestSequences::tabChangeDuringASequenceSendsNothing()
{
    QTabBar *tabs = h->controls().form.TabStrip1;
    {
        DeviceLink::Sequence running(h->window()->link());
        QVERIFY(running);
        tabs->setCurrentIndex(tabs->count() - 1); // "Log File"
        QVERIFY(!h->controls().log.Frame10->isHidden());
        QVERIFY(h->port()->lines().isEmpty());
    }
    // Once the wire is free a tab change stops the device again.
    tabs->setCurrentIndex(0);
    QVERIFY(waitUntil([&] { return h->port()->lines().size() == 2; }));
    QCOMPARE(h->port()->lines(), QStringList(2, QStringLiteral("@ 2 2")));
}

void TestSequences::pollWaitsOutASequence()
{
    auto running = std::make_unique<DeviceLink::Sequence>(h->window()->link());
    QSignalSpy pollTicks(h->controls().form.talk, &QTimer::timeout);
    QTest::mouseClick(h->controls().com.Command2, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return pollTicks.count() >= 3; }));
    QVERIFY(h->port()->lines().isEmpty());
    running.reset();
    QVERIFY(waitUntil([&] { return h->port()->lines().contains(QStringLiteral("> 11 1")); }));
}

QTEST_MAIN(TestSequences)
#include "tst_sequences.moc"
