// SPDX-License-Identifier: GPL-3.0-or-later
// What the KZ sends, gathered tick by tick and routed by the page shown.
#include "harness.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/comwords.h"
#include "words/wordlist.h"

#include <QGroupBox>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

class TestReceiveLoop : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fifthMessageGivesTheWordOfMessagesTwoToFour();
    void wordNumberKeepsItsFirstFourDigits_data();
    void wordNumberKeepsItsFirstFourDigits();
    void repeatedWordsAreSuppressedAndTheRingMovesOn();
    void ringReusesItsSlotsAfterTwentyWords();
    void textInPiecesIsHandledOnceItEnds();
    void messagesArrivingDuringTheWaitsCountAsOne();
    void kzPageListsReportedWords();
    void setUpPageShowsMessagesExceptDone();
    void wordListPageDecodesTheDump();
    void pkPageTakesTheFirstThreeDigits();
    void otherPagesOnlyEmptyTheBuffer();

private:
    // Sends text and waits until a tick has taken it and finished.
    void deliver(const QByteArray &text);
    void deliverReadings(const QList<int> &readings);
    ReceiveRouter &router() const { return h->window()->receiver(); }
    ComWords &words() const { return h->window()->comWords(); }
    const ReadingGroups &groups() const { return words().groups(); }

    std::unique_ptr<Harness> h;
    sim::SimulatedKz *kz = nullptr;
};

void TestReceiveLoop::init()
{
    h = std::make_unique<Harness>(0.02);
    kz = h->addDevice(1);
    QVERIFY(h->connectWindow());
    // The stops of a tab change would otherwise come back as messages of
    // their own.
    kz->setProbeAnswers(sim::SimulatedKz::ProbeAnswers::None);
    kz->clearReceived();
}

void TestReceiveLoop::cleanup()
{
    h.reset();
}

void TestReceiveLoop::deliver(const QByteArray &text)
{
    h->controls().hidden.rec->setText(QString());
    kz->send(text);
    QVERIFY2(waitUntil([&] {
                 return !router().isBusy() && router().pending().isEmpty()
                     && h->controls().hidden.rec->text().endsWith(
                         QString::fromLatin1(text.right(1)));
             }),
             text.constData());
}

void TestReceiveLoop::deliverReadings(const QList<int> &readings)
{
    for (int r : readings)
        deliver(QByteArray::number(r) + '^');
}

void TestReceiveLoop::fifthMessageGivesTheWordOfMessagesTwoToFour()
{
    QCOMPARE(h->window()->state().gain(), qint16(4));
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    deliverReadings({7, 10, 20, 30});
    QCOMPARE(groups().phase(), 4);
    QCOMPARE(announced.count(), 0);
    QVERIFY(kz->receivedLines().isEmpty());
    deliver("99^");
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.at(0).at(0).toInt(), 240);
    QCOMPARE(words().answer(), QStringLiteral(" ") + wordText(240));
    QCOMPARE(h->controls().com.List1->currentRow(), 240);
    QCOMPARE(kz->receivedBytes(), QByteArray("> 26  10  10 \r@ 240 0 \r"));
    QCOMPARE(kz->wordsSaid(), QList<int> {240});
    // Message 9 gives the next word; 6 to 8 are its readings.
    deliverReadings({1, 2, 3});
    QCOMPARE(announced.count(), 1);
    deliver("0^");
    QCOMPARE(announced.count(), 2);
    QCOMPARE(announced.at(1).at(0).toInt(), 24);
    QCOMPARE(h->controls().hidden.Text18->text(), QStringLiteral("0^"));
}

void TestReceiveLoop::wordNumberKeepsItsFirstFourDigits_data()
{
    QTest::addColumn<int>("gain");
    QTest::addColumn<QList<int>>("readings");
    QTest::addColumn<int>("word"); // 0: none
    QTest::newRow("first four digits of 12345") << 1 << QList<int> {12000, 300, 45} << 1234;
    QTest::newRow("3000 of 30000 is too high") << 1 << QList<int> {10000, 10000, 10000} << 0;
    QTest::newRow("2048 is the last word") << 1 << QList<int> {2000, 40, 8} << 2048;
    QTest::newRow("zero is no word") << 5 << QList<int> {0, 0, 0} << 0;
    QTest::newRow("999 is never announced") << 1 << QList<int> {900, 90, 9} << 0;
    QTest::newRow("gain multiplies") << 3 << QList<int> {1, 1, 1} << 9;
}

void TestReceiveLoop::wordNumberKeepsItsFirstFourDigits()
{
    QFETCH(int, gain);
    QFETCH(QList<int>, readings);
    QFETCH(int, word);
    // Typed into the Low GAIN box, which owns the gain.
    h->controls().setup.Text13->setText(QString::number(gain));
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    deliver("0^");
    deliverReadings(readings);
    deliver("0^");
    if (word == 0) {
        QCOMPARE(announced.count(), 0);
        QVERIFY(kz->receivedLines().isEmpty());
        QCOMPARE(words().answer(), QString());
    } else {
        QCOMPARE(announced.count(), 1);
        QCOMPARE(kz->receivedLines(),
                 (QStringList {"> 26  10  10 ", QStringLiteral("@ %1 0 ").arg(word)}));
    }
}

void TestReceiveLoop::repeatedWordsAreSuppressedAndTheRingMovesOn()
{
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    deliverReadings({0, 10, 20, 30, 0}); // word 240
    QCOMPARE(groups().recentIndex(), 1);
    deliverReadings({10, 20, 30, 0}); // 240 again
    QCOMPARE(announced.count(), 1);
    QCOMPARE(groups().recentIndex(), 2);
    const QStringList &recent = groups().recentWords();
    QCOMPARE(recent.at(0), QStringLiteral("999"));
    QCOMPARE(recent.at(1), QStringLiteral("240"));
    QCOMPARE(recent.at(2), QStringLiteral("999"));
    QCOMPARE(words().answer(), QStringLiteral(" ") + wordText(240));
    QCOMPARE(kz->wordsSaid(), QList<int> {240});
    deliverReadings({1, 1, 1, 0}); // word 12, into slot 3
    QCOMPARE(recent.at(3), QStringLiteral("12"));
    QCOMPARE(words().answer(),
             QStringLiteral(" ") + wordText(240) + QStringLiteral(" ") + wordText(12));
}

void TestReceiveLoop::ringReusesItsSlotsAfterTwentyWords()
{
    h->controls().setup.Text13->setText(QStringLiteral("1"));
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    deliver("0^");
    for (int w = 1; w <= 20; ++w)
        deliverReadings({w, 0, 0, 0});
    QCOMPARE(announced.count(), 20);
    QCOMPARE(groups().recentIndex(), 20);
    deliverReadings({1, 0, 0, 0}); // still in slot 1: suppressed, ring wraps to 1
    QCOMPARE(announced.count(), 20);
    QCOMPARE(groups().recentIndex(), 1);
    deliverReadings({21, 0, 0, 0}); // slot 2 takes 21 in place of 2
    QCOMPARE(announced.count(), 21);
    QCOMPARE(groups().recentWords().at(2), QStringLiteral("21"));
    deliverReadings({2, 0, 0, 0}); // 2 has left the ring
    QCOMPARE(announced.count(), 22);
}

void TestReceiveLoop::textInPiecesIsHandledOnceItEnds()
{
    deliver("0^");
    kz->send("1");
    QVERIFY(waitUntil([&] { return h->controls().hidden.rec->text() == QLatin1String("1"); }));
    kz->send("2");
    QVERIFY(waitUntil([&] { return h->controls().hidden.Text18->text() == QLatin1String("12"); }));
    QCOMPARE(groups().phase(), 1);
    QCOMPARE(router().pending(), QStringLiteral("12"));
    deliver("3^");
    QCOMPARE(groups().phase(), 2);
    deliverReadings({0, 0});
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    deliver("0^");
    QCOMPARE(announced.at(0).at(0).toInt(), 123 * 4);
}

void TestReceiveLoop::messagesArrivingDuringTheWaitsCountAsOne()
{
    QSignalSpy announced(&words(), &ComWords::wordAnnounced);
    // These arrive while the tick waits after the word it announces.
    connect(&words(), &ComWords::wordAnnounced, kz, [this] { kz->send("50^60^70^"); });
    deliverReadings({0, 10, 20, 30});
    deliver("0^");
    QCOMPARE(announced.count(), 1);
    QVERIFY(waitUntil([&] { return router().pending().isEmpty() && groups().phase() == 2; }));
    QCOMPARE(groups().phase(), 2); // one message, taken as reading 1
    deliverReadings({1, 2, 0});
    QCOMPARE(announced.count(), 2);
    QCOMPARE(announced.at(1).at(0).toInt(), (50 + 1 + 2) * 4);
}

void TestReceiveLoop::kzPageListsReportedWords()
{
    QVERIFY(h->showPage(QStringLiteral("KZ")));
    const auto &c = h->controls();
    kz->sendModeReport(1234);
    QVERIFY(waitUntil([&] { return !c.kzPage.Text10->text().isEmpty(); }));
    QCOMPARE(c.kzPage.List2->currentRow(), 123);
    QCOMPARE(c.kzPage.Text10->text(), wordText(123) + kCrLf);
    deliver("300 AA = 5^"); // a leading number of 256 or more is not a report
    QCOMPARE(c.kzPage.Text10->text(), wordText(123) + kCrLf);
    deliver("ABCD45^"); // no token: the first four characters go
    QCOMPARE(c.kzPage.Text10->text(), wordText(45) + kCrLf + wordText(123) + kCrLf);
    deliver("AA = 9999^"); // the first three digits only
    QCOMPARE(c.kzPage.List2->currentRow(), 999);
    const QString shown = c.kzPage.Text10->text();
    deliver("AA = -5^"); // no such position: nothing changes
    QCOMPARE(c.kzPage.List2->currentRow(), 999);
    QCOMPARE(c.kzPage.Text10->text(), shown);
    QCOMPARE(groups().phase(), 0);
}

void TestReceiveLoop::setUpPageShowsMessagesExceptDone()
{
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    const auto &c = h->controls();
    deliver("  KZ FIRMWARE 2.10^  ");
    QCOMPARE(c.setup.Text9->text(), QStringLiteral("KZ FIRMWARE 2.10^"));
    deliver("Upload Done^");
    QCOMPARE(c.setup.Text9->text(), QStringLiteral("KZ FIRMWARE 2.10^"));
    deliver("done^"); // the token is case-sensitive
    QCOMPARE(c.setup.Text9->text(), QStringLiteral("done^"));
}

void TestReceiveLoop::wordListPageDecodesTheDump()
{
    QVERIFY(h->showPage(QStringLiteral("Word List")));
    const auto &c = h->controls();
    deliver("Word 1 PROM d 57\r\n"
            "line d 12\r"
            "no number here\r\n"
            "Word 4 PROM d 2048\r\n"
            "Word 5 PROM d 3000\r\n"
            "Word 6 PROM d 7^");
    QCOMPARE(c.words.Text27->text(),
             QStringLiteral("Word # 1 ") + wordText(57) + kCrLf + QStringLiteral("Word # 2 PLUTO")
                 + kCrLf + QStringLiteral("Word # 3 PLACEBO") + kCrLf + QStringLiteral("Word # 4 ")
                 + wordText(7) + kCrLf);
    QCOMPARE(c.words.Text28->text(), QString());
    // Text without the dump's mark stays in the staging box only.
    deliver("hello^");
    QCOMPARE(c.words.Text28->text(), QStringLiteral("hello^"));
    QVERIFY(c.words.Text27->text().startsWith(QStringLiteral("Word # 1 ")));
    // A second dump replaces the first.
    deliver("Word 1 PROM d 100\r\nWord 2 PROM d 7^");
    QCOMPARE(c.words.Text27->text(),
             QStringLiteral("Word # 1 ") + wordText(100) + kCrLf + QStringLiteral("Word # 2 ")
                 + wordText(7) + kCrLf);
    QCOMPARE(c.hidden.Text18->text(), QStringLiteral("Word 1 PROM d 100\r\nWord 2 PROM d 7^"));
}

void TestReceiveLoop::pkPageTakesTheFirstThreeDigits()
{
    QVERIFY(h->showPage(QStringLiteral("PK")));
    const auto &c = h->controls();
    deliver("A12345^");
    QCOMPARE(c.pk.pktext->text(), QStringLiteral("123"));
    deliver("x4^");
    QCOMPARE(c.pk.pktext->text(), QStringLiteral("4"));
    deliver("^");
    QCOMPARE(c.pk.pktext->text(), QString());
}

void TestReceiveLoop::otherPagesOnlyEmptyTheBuffer()
{
    const auto &c = h->controls();
    for (const QString &caption : {QStringLiteral("Log File"), QStringLiteral("About The KZ")}) {
        qputenv("KZ_NO_WEBENGINE", "1");
        QVERIFY(h->showPage(caption));
        const QString sam = words().answer();
        deliver("Word 1 PROM d 5\r\nAA = 12^");
        QCOMPARE(groups().phase(), 0);
        QCOMPARE(c.words.Text27->text(), QStringLiteral("Text27"));
        QCOMPARE(c.kzPage.Text10->text(), QString());
        QCOMPARE(c.setup.Text9->text(), QString());
        QCOMPARE(c.pk.pktext->text(), QStringLiteral("Text16"));
        QCOMPARE(words().answer(), sam);
        QVERIFY(kz->receivedLines().isEmpty());
    }
}

QTEST_MAIN(TestReceiveLoop)
#include "tst_receiveloop.moc"
