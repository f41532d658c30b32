// The KZ page: the mode buttons' sequences on the wire, the word display
// they show or hide, and the words the KZ reports.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "support.h"
#include "window/receiverouter.h"
#include "window/widgets.h"
#include "words/wordlist.h"

#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kStop = QStringLiteral("@ 2 2");
constexpr int kHoldMs = 250;
// A lower bound for a wait that timer jitter cannot break.
constexpr double kAtLeast = 0.8;
} // namespace

class TestModes : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void eachButtonSendsItsSequenceAndSetsTheDisplay_data();
    void eachButtonSendsItsSequenceAndSetsTheDisplay();
    void clickDuringASequenceIsIgnored_data();
    void clickDuringASequenceIsIgnored();
    void onlyMessagesWithDigitsAreReports_data();
    void onlyMessagesWithDigitsAreReports();
    void doubleClickEmptiesTheWordDisplay();

private:
    QPushButton *button(const QString &name) const;
    void deliver(const QByteArray &text);
    const KzPage &page() const { return h->controls().kzPage; }

    WindowHarness *h = nullptr;
};

void TestModes::init()
{
    h = new WindowHarness(0.1);
    QVERIFY(h->connectWindow());
    QTabBar *tabs = h->controls().form.TabStrip1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == QLatin1String("KZ"))
            tabs->setCurrentIndex(i);
    }
    QVERIFY(!page().KZframe->isHidden());
    h->port()->clearWritten();
}

void TestModes::cleanup()
{
    delete h;
    h = nullptr;
}

QPushButton *TestModes::button(const QString &name) const
{
    for (QPushButton *b :
         {page().Command4, page().Command6, page().Command7, page().Command8, page().Command9}) {
        if (b->objectName() == name)
            return b;
    }
    qFatal("no mode button %s", qPrintable(name));
}

// Sends text as the KZ and waits until a tick has taken it and finished.
void TestModes::deliver(const QByteArray &text)
{
    ReceiveRouter &router = h->window()->receiver();
    h->controls().hidden.rec->setText(QString());
    h->port()->feed(text);
    QVERIFY(waitUntil([&] {
        return !router.isBusy() && router.pending().isEmpty()
            && h->controls().hidden.rec->text() == QString::fromLatin1(text);
    }));
}

void TestModes::eachButtonSendsItsSequenceAndSetsTheDisplay_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("shown");
    QTest::newRow("Dictionary Mode 1") << "Command4"
                                       << "> 47 1 1"
                                       << "> 18 2" << 1 << true;
    QTest::newRow("Phonetic Mode 1") << "Command6"
                                     << "> 47 0 1"
                                     << "> 15 2" << 2 << false;
    QTest::newRow("Touch Mode") << "Command7"
                                << "> 47 0 1"
                                << "> 17 2" << 4 << false;
    QTest::newRow("Voice change mode") << "Command8"
                                       << "> 47 1 1"
                                       << "> 20 1 1" << 1 << true;
    QTest::newRow("Reverse Phonetic Mode") << "Command9"
                                           << "> 47 0 1"
                                           << "> 16 2" << 3 << false;
}

void TestModes::eachButtonSendsItsSequenceAndSetsTheDisplay()
{
    QFETCH(QString, name);
    QFETCH(QString, first);
    QFETCH(QString, start);
    QFETCH(int, mode);
    QFETCH(bool, shown);
    // The display starts the other way, so that the click must set it.
    page().List2->setVisible(!shown);
    page().Text10->setVisible(!shown);

    QTest::mouseClick(button(name), Qt::LeftButton);
    QCOMPARE(h->port()->lines(), (QStringList {first, kStop, start}));
    const QList<qint64> at = h->port()->lineTimes();
    const double hold = Pacing::scaled(kHoldMs);
    QVERIFY2(at[1] - at[0] >= kAtLeast * hold, "one hold before the stop");
    QVERIFY2(at[2] - at[1] >= kAtLeast * 2 * hold, "the stop's hold and one more");
    QCOMPARE(h->window()->state().mode, qint16(mode));
    QCOMPARE(page().List2->isHidden(), !shown);
    QCOMPARE(page().Text10->isHidden(), !shown);
}

void TestModes::clickDuringASequenceIsIgnored_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("firstSent");
    QTest::addColumn<QStringList>("secondSent");
    QTest::addColumn<int>("mode"); // after the ignored click
    QTest::newRow("another mode") << "Command4"
                                  << "Command7" << QStringList {"> 47 1 1", kStop, "> 18 2"}
                                  << QStringList {"> 47 0 1", kStop, "> 17 2"} << 1;
    QTest::newRow("the same mode") << "Command9"
                                   << "Command9" << QStringList {"> 47 0 1", kStop, "> 16 2"}
                                   << QStringList {"> 47 0 1", kStop, "> 16 2"} << 3;
}

void TestModes::clickDuringASequenceIsIgnored()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, firstSent);
    QFETCH(QStringList, secondSent);
    QFETCH(int, mode);
    QSignalSpy refused(&h->window()->link(), &DeviceLink::sequenceRefused);
    bool clicked = false;
    // The second click comes while the first sequence waits after its first line.
    auto once = connect(&h->window()->link(), &DeviceLink::commandSent, this, [&] {
        if (!std::exchange(clicked, true))
            QTimer::singleShot(0, this, [&] { button(second)->click(); });
    });
    button(first)->click();
    disconnect(once);
    QVERIFY(clicked);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(h->port()->lines(), firstSent);
    QCOMPARE(h->window()->state().mode, qint16(mode));

    // Once the first has ended, the same click goes through.
    h->port()->clearWritten();
    button(second)->click();
    QCOMPARE(h->port()->lines(), secondSent);
    QCOMPARE(refused.count(), 1);
}

void TestModes::onlyMessagesWithDigitsAreReports_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("word"); // -1: none
    QTest::newRow("the stop's answer") << QByteArray("^") << -1;
    QTest::newRow("two stops' answers") << QByteArray("^^") << -1;
    QTest::newRow("text without digits") << QByteArray("AA = ^") << -1;
    QTest::newRow("a report") << QByteArray("AA = 12^") << 12;
    QTest::newRow("a report of word 0") << QByteArray("AA = 0^") << 0;
}

void TestModes::onlyMessagesWithDigitsAreReports()
{
    QFETCH(QByteArray, message);
    QFETCH(int, word);
    deliver(message);
    QCOMPARE(page().Text10->text(), word < 0 ? QString() : wordText(word) + kCrLf);
    QVERIFY(h->port()->lines().isEmpty()); // a report says nothing
}

void TestModes::doubleClickEmptiesTheWordDisplay()
{
    page().Command4->click();
    deliver("AA = 12^");
    deliver("AA = 57^");
    QCOMPARE(page().Text10->text(), wordText(57) + kCrLf + wordText(12) + kCrLf);
    auto *editor = qobject_cast<QAbstractScrollArea *>(page().Text10->editor());
    QVERIFY(editor);
    QTest::mouseDClick(editor->viewport(), Qt::LeftButton);
    QCOMPARE(page().Text10->text(), QString());
    deliver("AA = 5^");
    QCOMPARE(page().Text10->text(), wordText(5) + kCrLf);
}

QTEST_MAIN(TestModes)
#include "tst_modes.moc"
