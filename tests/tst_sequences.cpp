// SPDX-License-Identifier: GPL-3.0-or-later
// While a multi-line sequence holds the wire, nothing else puts lines
// between its own.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "support.h"
#include "kit/receiverouter.h"
#include "questions/questiondesk.h"
#include "kit/widgets.h"
#include "window/tabnavigator.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolTip>

using namespace kz;
using namespace kz::test;

namespace {

// Holds the wire as a running click does, until it goes out of scope.
class WireHolder {
public:
    explicit WireHolder(DeviceLink &link, const QString &name = {})
        : m_link(link), m_released(std::make_shared<bool>(false))
    {
        CommandSequence s(SequenceKind::Click, name);
        s.waitForAnswer([released = m_released] { return *released; }, 600000);
        link.run(std::move(s));
    }
    ~WireHolder()
    {
        *m_released = true;
        m_link.recheck();
    }
    Q_DISABLE_COPY_MOVE(WireHolder)

private:
    DeviceLink &m_link;
    std::shared_ptr<bool> m_released;
};

} // namespace

class TestSequences : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tabChangeDuringASequenceStopsOnceTheWireIsFree();
    void pollWaitsOutASequence();
    void aClickDuringAComWordSendsOnceTheWordIsSaid();
    void aPollDuringAComWordWaitsForTheWord();
    void aPollLeftWaitingPastTheResponseWindowSendsNothing();
    void aRefusedClickSaysWhatHoldsTheWire();
    void closingTheWindowEndsASequencePromptly_data();
    void closingTheWindowEndsASequencePromptly();

private:
    // Feeds a first message, three readings and the group's end, one a
    // receive tick: a word is announced on the COM page.
    void feedAGroup();

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

void TestSequences::tabChangeDuringASequenceStopsOnceTheWireIsFree()
{
    QTabBar *tabs = h->controls().form.TabStrip1;
    {
        const WireHolder running(h->window()->link());
        tabs->setCurrentIndex(tabs->count() - 1); // "Log File"
        QVERIFY(!h->controls().log.Frame10->isHidden());
        QVERIFY(h->port()->lines().isEmpty());
    }
    // The stops owed go out once the wire is free, before the next page's.
    tabs->setCurrentIndex(0);
    QVERIFY(waitUntil([&] { return !h->window()->link().isSequenceRunning(); }));
    QCOMPARE(h->port()->lines(), QStringList(4, QStringLiteral("@ 2 2")));
}

void TestSequences::pollWaitsOutASequence()
{
    auto running = std::make_unique<WireHolder>(h->window()->link());
    QSignalSpy pollTicks(h->controls().form.talk, &QTimer::timeout);
    QTest::mouseClick(h->controls().com.Command2, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return pollTicks.count() >= 3; }));
    QVERIFY(h->port()->lines().isEmpty());
    running.reset();
    QVERIFY(waitUntil([&] { return h->port()->lines().contains(QStringLiteral("> 11 1")); }));
}

void TestSequences::aClickDuringAComWordSendsOnceTheWordIsSaid()
{
    const QString sayLead = QStringLiteral("> 26  10  10 ");
    QPushButton *firmware = h->controls().setup.Command10;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&](const QString &line) {
        if (line == sayLead)
            QTimer::singleShot(0, firmware, &QPushButton::click);
    });
    feedAGroup();
    QVERIFY(waitUntil([&] {
        return h->port()->lines().count(QStringLiteral("> 27 10 10")) == 2;
    }));
    const QStringList lines = h->port()->lines();
    const qsizetype said = lines.indexOf(QRegularExpression(QStringLiteral("^@ \\d+ 0 $")));
    QVERIFY2(said > 0 && lines.at(said - 1) == sayLead, qPrintable(lines.join(u'|')));
    QVERIFY2(said < lines.indexOf(QStringLiteral("> 27 10 10")), qPrintable(lines.join(u'|')));
}

void TestSequences::feedAGroup()
{
    auto group = std::make_shared<QList<QByteArray>>(
        QList<QByteArray> {"1^", "100^", "100^", "100^", "1^"});
    connect(h->controls().form.Timer1, &QTimer::timeout, this, [this, group] {
        if (!group->isEmpty() && !h->port()->hasUnread())
            h->port()->feed(group->takeFirst());
    });
}

// Fault: the question's poll goes between a word's lines or into its waits.
void TestSequences::aPollDuringAComWordWaitsForTheWord()
{
    const QRegularExpression said(QStringLiteral("^@ \\d+ 0 $"));
    QTest::mouseClick(h->controls().com.Command2, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return h->port()->lines().contains(QStringLiteral("> 11 1")); }));
    feedAGroup();
    QVERIFY(waitUntil([&] {
        const QStringList lines = h->port()->lines();
        const qsizetype at = lines.indexOf(said);
        return at >= 0 && lines.indexOf(QStringLiteral("> 11 1"), at) > at;
    }));
    const QStringList lines = h->port()->lines();
    const qsizetype at = lines.indexOf(said);
    QVERIFY2(lines.at(at - 1) == QStringLiteral("> 26  10  10 "), qPrintable(lines.join(u'|')));
    const qsizetype poll = lines.indexOf(QStringLiteral("> 11 1"), at);
    QCOMPARE(poll, at + 1);
    // Not before the word's ten holds are over.
    const QList<qint64> times = h->port()->lineTimes();
    QVERIFY2(times.at(poll) - times.at(at) >= 0.8 * 10 * Pacing::scaled(250),
             qPrintable(QString::number(times.at(poll) - times.at(at))));
}

// Fault: a poll that waited out a sequence goes after the question's window
// has ended.
void TestSequences::aPollLeftWaitingPastTheResponseWindowSendsNothing()
{
    QSignalSpy answered(&h->window()->questions(), &QuestionDesk::answered);
    h->controls().com.Option2->setChecked(true); // 6 seconds
    QTest::mouseClick(h->controls().com.Command2, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return h->port()->lines().contains(QStringLiteral("> 11 1")); }));
    // Holds the wire from a poll's wait until past the window's end.
    CommandSequence holding(SequenceKind::Click, QStringLiteral("holding"));
    holding.send(QStringLiteral("L")).dtimer(8);
    h->window()->link().run(holding);
    QVERIFY(waitUntil([&] { return !h->window()->link().isSequenceRunning(); }));
    QCOMPARE(answered.count(), 1);
    const QStringList lines = h->port()->lines();
    QCOMPARE(lines.last(), QStringLiteral("L"));
}

void TestSequences::aRefusedClickSaysWhatHoldsTheWire()
{
    QPushButton *firmware = h->controls().setup.Command10;
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    const WireHolder running(h->window()->link(), QStringLiteral("the word list upload"));
    QTest::mouseClick(firmware, Qt::LeftButton);
    QCOMPARE(QToolTip::text(), QStringLiteral("Busy: the word list upload is running"));
    QVERIFY(h->port()->lines().isEmpty());
}

void TestSequences::closingTheWindowEndsASequencePromptly_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("clicked");
    QTest::newRow("Save Settings") << "SET UP"
                                   << "Command57";
    QTest::newRow("Restore Defaults") << "SET UP"
                                      << "Command12";
    QTest::newRow("Firmware Version") << "SET UP"
                                      << "Command10";
    QTest::newRow("Auto tune") << "SET UP"
                               << "Command14";
    QTest::newRow("PK Start") << "PK"
                              << "Command5";
}

void TestSequences::closingTheWindowEndsASequencePromptly()
{
    QFETCH(QString, page);
    QFETCH(QString, clicked);
    QVERIFY(h->showPage(page));
    TickClock sinceClose;
    int linesAtClose = -1;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this] {
        if (linesAtClose >= 0)
            return;
        linesAtClose = int(h->port()->lines().size());
        QTimer::singleShot(0, this, [&, this] {
            sinceClose.restart();
            h->window()->close();
        });
    });
    QTest::mouseClick(h->window()->findChild<QPushButton *>(clicked), Qt::LeftButton);
    QVERIFY(linesAtClose >= 0);
    // A sequence the link runs goes on after the click has returned.
    QVERIFY(waitUntil([this] {
        return h->window()->link().isEnding() && !h->window()->link().isSequenceRunning();
    }));
    // Not one hold more, nor a wait for readings.
    QVERIFY2(sinceClose.designMs() < 250, qPrintable(QString::number(sinceClose.designMs())));
    QCOMPARE(int(h->port()->lines().size()), linesAtClose);
}

QTEST_MAIN(TestSequences)
#include "tst_sequences.moc"
