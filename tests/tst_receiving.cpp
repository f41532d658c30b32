// SPDX-License-Identifier: GPL-3.0-or-later
// What the KZ sends, from bytes to messages to words, on a port in memory.
#include "device/messageassembler.h"
#include "support.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/comwords.h"
#include "words/readback.h"
#include "words/readinggroups.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace kz;
using namespace kz::test;

class TestReceiving : public QObject {
    Q_OBJECT
private slots:
    void messageIsWholeOnceItsEndMarkArrives_data();
    void messageIsWholeOnceItsEndMarkArrives();
    void groupsOfFourNameWords_data();
    void groupsOfFourNameWords();
    void repeatFilterKeepsTwentyWords();
    void dumpLineIsReadFromItsLastTenCharacters_data();
    void dumpLineIsReadFromItsLastTenCharacters();
    void saidWordIsGivenItsWaits();
    void endlessTextStaysBounded();
};

void TestReceiving::messageIsWholeOnceItsEndMarkArrives_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one reading") << QStringLiteral("123^");
    QTest::newRow("two messages between two takes") << QStringLiteral("50^60^70^");
    QTest::newRow("a dump with line ends")
        << QStringLiteral("Word 1 PROM d 5\r\nWord 2 PROM d 12^");
    QTest::newRow("text after the last mark") << QStringLiteral("7^8");
}

// Fed in chunks of every size, including one byte at a time, the text
// becomes one message on the chunk that brings the first end mark.
void TestReceiving::messageIsWholeOnceItsEndMarkArrives()
{
    QFETCH(QString, text);
    const qsizetype firstMark = text.indexOf(u'^');
    for (qsizetype size = 1; size <= text.size(); ++size) {
        MessageAssembler assembler;
        std::optional<QString> message;
        qsizetype fed = 0;
        while (fed < text.size() && !message) {
            assembler.append(text.mid(fed, size));
            fed = std::min(fed + size, text.size());
            message = assembler.takeMessage();
            QCOMPARE(message.has_value(), fed > firstMark);
        }
        QVERIFY(message);
        QCOMPARE(*message, text.left(fed));
        QVERIFY(assembler.pending().isEmpty());
        QVERIFY(!assembler.takeMessage());
    }
}

void TestReceiving::groupsOfFourNameWords_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("word"); // 0: no word
    QTest::newRow("messages 2 to 4 times gain")
        << QStringList {"7^", "10^", "20^", "30^", "99^"} << 4 << 240;
    QTest::newRow("first four digits")
        << QStringList {"0^", "12345^", "0^", "0^", "x^"} << 1 << 1234;
    QTest::newRow("3000 is above 2048") << QStringList {"0^", "30000^", "0^", "0^", "x^"} << 1 << 0;
    QTest::newRow("2048 is a word") << QStringList {"0^", "2048^", "0^", "0^", "x^"} << 1 << 2048;
    QTest::newRow("zero is none") << QStringList {"0^", "0^", "0^", "0^", "x^"} << 4 << 0;
    QTest::newRow("only the leading number counts")
        << QStringList {"0^", "5^6^", "  7 x^", "abc^", "x^"} << 2 << 24;
    QTest::newRow("999 never") << QStringList {"0^", "999^", "0^", "0^", "x^"} << 1 << 0;
    QTest::newRow("a fraction keeps its digits")
        << QStringList {"0^", "1.25^", "0^", "0^", "x^"} << 2 << 25;
}

void TestReceiving::groupsOfFourNameWords()
{
    QFETCH(QStringList, messages);
    QFETCH(int, gain);
    QFETCH(int, word);
    ReadingGroups groups;
    for (qsizetype i = 0; i + 1 < messages.size(); ++i)
        QVERIFY(!groups.take(messages.at(i), qint16(gain)));
    const std::optional<QString> group = groups.take(messages.last(), qint16(gain));
    QVERIFY(group);
    const std::optional<ReadingGroups::Word> named = groups.wordFor(*group);
    QCOMPARE(named ? named->number : 0, word);
    QCOMPARE(groups.phase(), 1);
}

void TestReceiving::repeatFilterKeepsTwentyWords()
{
    ReadingGroups groups;
    for (int w = 1; w <= 20; ++w)
        QVERIFY(groups.wordFor(QString::number(w)));
    // A repeat is dropped, and the ring still moves on past slot 1.
    QVERIFY(!groups.wordFor(QStringLiteral("5")));
    QCOMPARE(groups.recentIndex(), 1);
    QCOMPARE(groups.recentWords().at(1), QStringLiteral("1"));
    // Slot 2 (word 2) is overwritten next, so word 1 is still filtered and
    // word 2 is free again only after that.
    QVERIFY(groups.wordFor(QStringLiteral("21")));
    QVERIFY(!groups.wordFor(QStringLiteral("1")));
    QVERIFY(groups.wordFor(QStringLiteral("2")));
}

void TestReceiving::dumpLineIsReadFromItsLastTenCharacters_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("number");
    QTest::newRow("after the d") << QStringLiteral("Word 1 PROM d 57") << 57;
    QTest::newRow("d at the window's start") << QStringLiteral("xxxxxxd 12") << 12;
    // A d just outside the last ten characters is not seen: the window
    // does not reach back further.
    QTest::newRow("d eleven from the end") << QStringLiteral("d5 aaaaaa 77") << 0;
    QTest::newRow("no d in the window: the tail as it is") << QStringLiteral("Word 9 PROM 42") << 9;
    QTest::newRow("short line") << QStringLiteral("d7") << 7;
    QTest::newRow("first d of several") << QStringLiteral("ddd 3") << 0;
}

void TestReceiving::dumpLineIsReadFromItsLastTenCharacters()
{
    QFETCH(QString, line);
    QFETCH(int, number);
    QCOMPARE(ReadBack::lineNumber(line).value_or(-1), number);
}

// After the say lead the KZ gets three holds before the word's number, and
// ten more to say it before the next message is taken.
void TestReceiving::saidWordIsGivenItsWaits()
{
    constexpr double kScale = 0.1;
    constexpr int kHoldMs = 25; // 250 ms at this scale
    WindowHarness harness(kScale);
    QVERIFY(harness.connectWindow());
    MemoryPort *port = harness.port();
    ReceiveRouter &router = harness.window()->receiver();
    port->clearWritten();
    for (const char *message : {"7^", "10^", "20^", "30^"}) {
        port->feed(message);
        QVERIFY(waitUntil([&] { return !port->hasUnread() && !router.isBusy(); }));
    }
    port->feed("99^");
    QVERIFY(waitUntil([&] { return port->lines().size() == 2; }));
    QVERIFY(waitUntil([&] { return !router.isBusy(); }, 10000));
    const qint64 saidToEnd = port->now() - port->lineTimes().at(1);
    QCOMPARE(port->lines(),
             (QStringList {QStringLiteral("> 26  10  10 "), QStringLiteral("@ 240 0 ")}));
    const qint64 leadToSay = port->lineTimes().at(1) - port->lineTimes().at(0);
    QVERIFY2(leadToSay >= 3 * kHoldMs * 0.85, qPrintable(QString::number(leadToSay)));
    QVERIFY2(saidToEnd >= 10 * kHoldMs * 0.8, qPrintable(QString::number(saidToEnd)));
}

namespace {
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0; // not Linux: memory is judged by the buffer alone
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}
} // namespace

// A device that streams without an end mark: 10 MB in 100 ticks. The kept
// text, the memory and the time a tick takes stay flat, and the user is
// told once.
void TestReceiving::endlessTextStaysBounded()
{
    WindowHarness harness(0.1);
    QVERIFY(harness.connectWindow());
    ReceiveRouter &router = harness.window()->receiver();
    QSignalSpy told(&router, &ReceiveRouter::textWithoutEndMark);
    const QByteArray chunk(100 * 1024, 'x');
    QList<qint64> tickNs;
    long residentAt20 = 0;
    for (int i = 0; i < 100; ++i) {
        harness.port()->feed(chunk);
        QElapsedTimer clock;
        clock.start();
        router.tick();
        tickNs << clock.nsecsElapsed();
        QVERIFY(router.pending().size() <= MessageAssembler::kMaxPending);
        if (i == 20)
            residentAt20 = residentKb();
    }
    QVERIFY2(residentKb() - residentAt20 < 4096, "memory grew with the stream");
    auto median = [](QList<qint64> ns) {
        std::sort(ns.begin(), ns.end());
        return ns.at(ns.size() / 2);
    };
    const qint64 early = median(tickNs.mid(5, 20));
    const qint64 late = median(tickNs.mid(80, 20));
    QVERIFY2(late < 3 * early + 2'000'000,
             qPrintable(QStringLiteral("tick %1 ns early, %2 ns late").arg(early).arg(late)));
    QCOMPARE(told.count(), 1);
    QVERIFY(harness.window()->controls().com.Text2->text().contains(QStringLiteral("end mark")));
    // A message that completes ends the stretch; the next one is told again.
    harness.port()->feed("^");
    router.tick();
    QVERIFY(router.pending().isEmpty());
    harness.port()->feed(chunk);
    router.tick();
    QCOMPARE(told.count(), 2);
    // Fault: a message whose end mark the bound cut off still counts as whole.
    MessageAssembler cut;
    cut.append(QStringLiteral("^") + QString(MessageAssembler::kMaxPending, u'a'));
    QVERIFY(!cut.takeMessage());
}

QTEST_MAIN(TestReceiving)
#include "tst_receiving.moc"
