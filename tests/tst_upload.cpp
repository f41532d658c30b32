// SPDX-License-Identifier: GPL-3.0-or-later
// The word list written into the simulated KZ's store: the blocks on the
// wire, the progress in the title, the wait for each block's answer, and the
// ways an upload ends early.
#include "device/commands.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "harness.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/phonetable.h"
#include "words/upload.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <optional>

using namespace kz;
using namespace kz::test;

using Outcome = WordListUpload::Outcome;

namespace {

// The waits' floor of 1 ms makes a whole upload take about half a minute
// whatever the scale; at this one the 5-s bound is still 100 ms, well above
// the few milliseconds an answer takes.
constexpr double kTimeScale = 0.02;

const QString kStop = commands::kStop;

// How an upload is made to end early.
enum class Ending { Unanswered, CancelButton, Escape, EscapeWhileAwaited };

bool isValueLine(const QString &line)
{
    return line.startsWith(QLatin1String("* "));
}

// A window connected to a simulated KZ with the Word List page shown, and a
// record of what an upload sends and shows.
class UploadBench {
public:
    UploadBench() : h(kTimeScale)
    {
        kz = h.addDevice(1);
        if (!h.connectWindow())
            return;
        // An answered stop would leave a "^" that could pass for a block's answer.
        kz->setProbeAnswers(sim::SimulatedKz::ProbeAnswers::None);
        ready = h.showPage(QStringLiteral("Word List"));
        clock.start();
        QObject::connect(&h.window()->link(), &DeviceLink::commandSent, [this](const QString &l) {
            lines << l;
            times << clock.elapsed();
            if (isValueLine(l))
                ++values;
            if (onLine)
                onLine(l);
        });
        QObject::connect(h.window(), &QWidget::windowTitleChanged, [this](const QString &t) {
            titles.append({values, t});
        });
        QObject::connect(&upload(), &WordListUpload::finished, [this](Outcome o, int block) {
            outcome = o;
            endBlock = block;
        });
    }

    WordListUpload &upload() { return h.window()->upload(); }
    const WordListPage &page() const { return h.controls().words; }
    // Clicks "Re-Load Word List" and returns when the upload has ended;
    // false when it had to be stopped after `limitMs` of real time.
    bool click(int limitMs = 10000)
    {
        QTimer watchdog;
        bool late = false;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            late = true;
            h.window()->link().endProgram();
        });
        QSignalSpy ended(&upload(), &WordListUpload::finished);
        watchdog.start(limitMs);
        QTest::mouseClick(page().Command24, Qt::LeftButton);
        // The click returns at once; the upload runs on from the event loop,
        // which a polling wait would slow down with its sleeps.
        if (ended.isEmpty())
            ended.wait(2 * limitMs);
        return !late;
    }
    // Runs `action` from the event loop once the address line of `block` has
    // gone out, that is in the wait that follows it.
    void atBlock(int block, std::function<void()> action)
    {
        const QString address = WordListUpload::blockAddressLine(block);
        onLine = [address, action](const QString &l) {
            if (l == address)
                QTimer::singleShot(0, action);
        };
    }
    bool pageRestored() const
    {
        return page().List3->isVisible() && page().Frame6->isVisible()
            && h.controls().form.TabStrip1->isVisible() && !page().uploadCancel->isVisible();
    }

    Harness h;
    sim::SimulatedKz *kz = nullptr;
    bool ready = false;
    QStringList lines;
    QList<qint64> times; // of the lines, in ms
    QElapsedTimer clock;
    int values = 0;
    QList<std::pair<int, QString>> titles; // value lines sent by then, title
    std::function<void(const QString &)> onLine;
    std::optional<Outcome> outcome;
    int endBlock = -1;
    bool inTime = false;
    bool hiddenWhileRunning = false;
};

} // namespace

Q_DECLARE_METATYPE(Ending)

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void linesOfABlock_data();
    void linesOfABlock();
    void storeHoldsElementsUpTo20511AndNothingBeyond();
    void titleShowsTheProgress_data();
    void titleShowsTheProgress();
    void endsWithTwoStopsAndThePageShownAgain();
    void valuesGoAtTheirOwnPaceOnceTheFirstBlockIsOpen();
    void answerWithoutEndMarkLetsEveryLaterBlockPass();
    void earlyEndStopsTheKzAndShowsThePageAgain_data();
    void earlyEndStopsTheKzAndShowsThePageAgain();
    void theAnswerIsWhatTheKzSentNotWhatTheBoxShows();
    void aLostKzEndsTheUploadAndSaysSo();
    void secondClickDuringTheUploadIsRefused();
    void closingTheWindowEndsTheUploadAtOnce();

private:
    // One whole upload, run by the first check that needs it.
    UploadBench &whole();
    std::unique_ptr<UploadBench> m_whole;
};

UploadBench &TestUpload::whole()
{
    if (m_whole)
        return *m_whole;
    m_whole = std::make_unique<UploadBench>();
    UploadBench &b = *m_whole;
    if (!b.ready)
        return b;
    QObject::connect(b.h.window(), &QWidget::windowTitleChanged, [&] {
        if (b.values == 11)
            b.hiddenWhileRunning = b.page().List3->isHidden() && b.page().Frame6->isHidden()
                && b.h.controls().form.TabStrip1->isHidden() && b.page().uploadCancel->isVisible();
    });
    QElapsedTimer clock;
    clock.start();
    b.inTime = b.click(120000);
    qInfo("whole upload at time scale %g: %lld ms", kTimeScale, clock.elapsed());
    return b;
}

void TestUpload::linesOfABlock_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<QStringList>("lines");
    // Row 0 is 199 145 130 187 131 171 164 and 48s; a block ends with slot 1 of row 3.
    QStringList first = {">  4 2", "@  17664", "*  199", "*  145", "*  130", "*  187",
                         "*  131", "*  171",   "*  164", "*  48",  "*  48",  "*  48"};
    for (int i = 10; i < 32; ++i)
        first << QStringLiteral("* ") + signedField(phone(i));
    QTest::newRow("first block") << 0 << first;
    QStringList last = {">  4 2", "@  58624"};
    for (int i = 20480; i < 20512; ++i)
        last << QStringLiteral("* ") + signedField(phone(i));
    QTest::newRow("last block, slots 0 and 1 of row 2051 at its end") << 640 << last;
}

void TestUpload::linesOfABlock()
{
    QFETCH(int, block);
    QFETCH(QStringList, lines);
    const UploadBench &w = whole();
    QVERIFY(w.inTime);
    QCOMPARE(w.outcome, Outcome::Complete);
    // 641 blocks of a header, an address and 32 values, then the two stops.
    QCOMPARE(w.lines.size(), 641 * 34 + 2);
    QCOMPARE(w.lines.mid(34 * block, 34), lines);
}

void TestUpload::storeHoldsElementsUpTo20511AndNothingBeyond()
{
    QMap<int, int> expected;
    for (int i = 0; i <= 20511; ++i)
        expected.insert(17664 + 2 * i, phone(i));
    const UploadBench &w = whole();
    const QMap<int, int> store = w.kz->store();
    QCOMPARE(store.size(), expected.size());
    QCOMPARE(store.firstKey(), 17664);
    QCOMPARE(store.lastKey(), 17664 + 2 * 20511);
    QCOMPARE(store, expected);
}

void TestUpload::titleShowsTheProgress_data()
{
    QTest::addColumn<int>("values");
    QTest::addColumn<QStringList>("titles"); // set after that many values
    const QString tail = QStringLiteral(" Please Wait Till Done ");
    QTest::newRow("ten values: none yet") << 10 << QStringList();
    QTest::newRow("11th value") << 11 << QStringList {" 1.1 words written  PASS # 0" + tail};
    QTest::newRow("20th: a whole number has no point")
        << 20 << QStringList {" 2 words written  PASS # 0" + tail};
    QTest::newRow("block end leaves the title") << 32 << QStringList();
    QTest::newRow("first value after an answer")
        << 33 << QStringList {" 3.3 words written  PASS # 1" + tail};
    QTest::newRow("last block reads PASS # 640")
        << 20481 << QStringList {" 2048.1 words written  PASS # 640" + tail};
    QTest::newRow("31st value of the last block")
        << 20511 << QStringList {" 2051.1 words written  PASS # 640" + tail};
    QTest::newRow("after the last") << 20512 << QStringList {"Upload Complete"};
}

void TestUpload::titleShowsTheProgress()
{
    QFETCH(int, values);
    QFETCH(QStringList, titles);
    const UploadBench &w = whole();
    QStringList shown;
    for (const auto &[count, title] : w.titles) {
        if (count == values)
            shown << title;
    }
    QCOMPARE(shown, titles);
    QVERIFY(!w.titles.isEmpty());
    QCOMPARE(w.titles.first().first, 11);
}

void TestUpload::endsWithTwoStopsAndThePageShownAgain()
{
    const UploadBench &w = whole();
    QVERIFY(w.hiddenWhileRunning);
    QCOMPARE(w.lines.mid(w.lines.size() - 3),
             (QStringList {QStringLiteral("* ") + signedField(phone(20511)), kStop, kStop}));
    QVERIFY(w.pageRestored());
    QCOMPARE(w.h.window()->windowTitle(), QStringLiteral("Upload Complete"));
}

void TestUpload::valuesGoAtTheirOwnPaceOnceTheFirstBlockIsOpen()
{
    const UploadBench &w = whole();
    QVERIFY(w.times.size() > 3);
    // The first block's header waits at Timer4's start-up interval.
    const int startUp = Pacing::scaled(125);
    QVERIFY2(w.times[1] - w.times[0] >= startUp, qPrintable(QString::number(w.times[1])));
    QVERIFY2(w.times[2] - w.times[1] >= startUp, qPrintable(QString::number(w.times[2])));
    // A later upload keeps the value pace from its first wait.
    QCOMPARE(w.h.controls().form.Timer4->designInterval(), WordListUpload::kValueHoldMs);
}

void TestUpload::answerWithoutEndMarkLetsEveryLaterBlockPass()
{
    UploadBench b;
    QVERIFY(b.ready);
    // Only block 0 is answered, and without the end mark: the text stays in
    // the receive loop's buffer and refills Text18 on every tick.
    b.kz->setBlockAnswer("OK");
    QObject::connect(b.kz, &sim::SimulatedKz::lineReceived, [&](const QString &l) {
        if (l == WordListUpload::blockAddressLine(1))
            b.kz->setBlockAnswer({});
    });
    b.atBlock(6, [&] { b.page().uploadCancel->click(); });
    QVERIFY(b.click());
    QCOMPARE(b.outcome, Outcome::Cancelled);
    QCOMPARE(b.endBlock, 6);
    // A cancel ends the wait for the block's answer: the block is whole.
    QCOMPARE(b.kz->store().size(), 7 * 32);
    QCOMPARE(b.h.window()->receiver().pending(), QStringLiteral("OK"));
}

void TestUpload::earlyEndStopsTheKzAndShowsThePageAgain_data()
{
    QTest::addColumn<Ending>("how");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("stored"); // values in the store
    QTest::addColumn<QString>("title");
    QTest::newRow("block 3 unanswered") << Ending::Unanswered << Outcome::NoAnswer << 4 * 32
                                        << "Upload stopped: no answer from the KZ at block 3";
    // A cancel leaves the wait for the block's answer: the block goes out whole.
    QTest::newRow("Cancel button")
        << Ending::CancelButton << Outcome::Cancelled << 4 * 32 << "Upload cancelled at block 3";
    QTest::newRow("Escape") << Ending::Escape << Outcome::Cancelled << 4 * 32
                            << "Upload cancelled at block 3";
    QTest::newRow("Escape while the answer is awaited")
        << Ending::EscapeWhileAwaited << Outcome::Cancelled << 4 * 32
        << "Upload cancelled at block 3";
}

void TestUpload::earlyEndStopsTheKzAndShowsThePageAgain()
{
    QFETCH(Ending, how);
    QFETCH(Outcome, outcome);
    QFETCH(int, stored);
    QFETCH(QString, title);
    UploadBench b;
    QVERIFY(b.ready);
    QWidget *window = b.h.window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    // Counted from the cancel, or from the last value of the unanswered block.
    qsizetype endedAt = -1;
    int holds = 0;
    QElapsedTimer sinceEnd;
    qint64 beforeStop = -1;
    TickClock ticks;
    int ticksBeforeStop = -1;
    QObject::connect(b.h.controls().form.Timer3, &QTimer::timeout, [&] { ++holds; });
    auto endHere = [&] {
        endedAt = b.lines.size();
        holds = 0;
        sinceEnd.start();
        ticks.restart();
    };
    const bool unanswered = how == Ending::Unanswered || how == Ending::EscapeWhileAwaited;
    if (unanswered) {
        QObject::connect(b.kz, &sim::SimulatedKz::lineReceived, [&](const QString &l) {
            if (l == WordListUpload::blockAddressLine(3))
                b.kz->setBlockAnswer({});
        });
        b.onLine = [&](const QString &l) {
            if (l == kStop && beforeStop < 0) {
                beforeStop = sinceEnd.elapsed();
                ticksBeforeStop = ticks.designMs();
            } else if (b.values == stored && isValueLine(l)) {
                endHere();
                // A tenth into the wait for the answer that does not come.
                if (how == Ending::EscapeWhileAwaited)
                    QTimer::singleShot(Pacing::scaled(WordListUpload::kAnswerWaitMs / 10), [&] {
                        QTest::keyClick(window, Qt::Key_Escape);
                    });
            }
        };
    } else {
        b.atBlock(3, [&] {
            endHere();
            if (how == Ending::Escape)
                QTest::keyClick(window, Qt::Key_Escape);
            else
                QTest::mouseClick(b.page().uploadCancel, Qt::LeftButton);
        });
    }
    QVERIFY(b.click());
    QCOMPARE(b.outcome, outcome);
    QCOMPARE(b.endBlock, 3);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(b.kz->store().size(), stored);
    // The rest of the block, nothing of the next; the stops go out with
    // their waits.
    const QStringList after = b.lines.mid(endedAt);
    QCOMPARE(after.last(2), (QStringList {kStop, kStop}));
    QVERIFY(std::all_of(after.begin(), after.end() - 2, isValueLine));
    QCOMPARE(after.size() - 2, unanswered ? 0 : 32);
    QVERIFY(b.pageRestored());
    QVERIFY(!b.h.window()->link().isSequenceRunning());
    if (how == Ending::Unanswered)
        QVERIFY2(beforeStop >= Pacing::scaled(WordListUpload::kAnswerWaitMs),
                 qPrintable(QString::number(beforeStop)));
    // Escape ends the wait itself, not its deadline.
    if (how == Ending::EscapeWhileAwaited)
        QVERIFY2(ticksBeforeStop < WordListUpload::kAnswerWaitMs,
                 qPrintable(QString::number(ticksBeforeStop)));
    QCOMPARE(holds, 2);
}

// Text in the hidden box that the KZ did not send is no answer: a block the
// KZ leaves unanswered ends the upload however the box reads.
void TestUpload::theAnswerIsWhatTheKzSentNotWhatTheBoxShows()
{
    UploadBench b;
    QVERIFY(b.ready);
    b.kz->setBlockAnswer({});
    b.atBlock(0, [&] { b.h.controls().hidden.Text18->setText(QStringLiteral("OK")); });
    QVERIFY(b.click());
    QCOMPARE(b.outcome, Outcome::NoAnswer);
    QCOMPARE(b.endBlock, 0);
    QVERIFY(!b.lines.contains(WordListUpload::blockAddressLine(1)));
    QCOMPARE(b.h.controls().hidden.Text18->text(), QStringLiteral("OK"));
}

void TestUpload::aLostKzEndsTheUploadAndSaysSo()
{
    UploadBench b;
    QVERIFY(b.ready);
    b.atBlock(3, [&] { b.h.removeDevices(); });
    QVERIFY(b.click());
    QCOMPARE(b.outcome, Outcome::Lost);
    QCOMPARE(b.h.window()->windowTitle(), QStringLiteral("Upload stopped: lost the KZ at block 3"));
    QVERIFY(b.pageRestored());
}

void TestUpload::secondClickDuringTheUploadIsRefused()
{
    UploadBench b;
    QVERIFY(b.ready);
    QSignalSpy refused(&b.h.window()->link(), &DeviceLink::sequenceRefused);
    int finishedCount = 0;
    QObject::connect(&b.upload(), &WordListUpload::finished, [&] { ++finishedCount; });
    auto secondClick = [&] { QTest::mouseClick(b.page().Command24, Qt::LeftButton); };
    // Once while the blocks go out, once between the closing stops.
    b.atBlock(1, [&] {
        secondClick();
        b.atBlock(3, [&] {
            b.page().uploadCancel->click();
            b.onLine = [&](const QString &l) {
                if (l == kStop && refused.count() == 1)
                    QTimer::singleShot(0, secondClick);
            };
        });
    });
    QVERIFY(b.click());
    QCOMPARE(refused.count(), 2);
    QCOMPARE(finishedCount, 1);
    QCOMPARE(b.lines.count(WordListUpload::blockAddressLine(0)), 1);
    QCOMPARE(b.lines.count(commands::kBlockOpen), 4);
    QCOMPARE(b.lines.last(2), (QStringList {kStop, kStop}));
    QCOMPARE(b.kz->store().size(), 4 * 32);
    QCOMPARE(b.kz->store().lastKey(), 17664 + 2 * (4 * 32 - 1));
}

void TestUpload::closingTheWindowEndsTheUploadAtOnce()
{
    UploadBench b;
    QVERIFY(b.ready);
    TickClock sinceClose;
    b.atBlock(2, [&] {
        sinceClose.restart();
        b.h.window()->close();
    });
    QVERIFY(b.click());
    QCOMPARE(b.outcome, Outcome::Ending);
    // Not one hold more of the half minute the rest of the upload would take.
    QVERIFY2(sinceClose.designMs() < 250, qPrintable(QString::number(sinceClose.designMs())));
    QVERIFY(!b.lines.contains(kStop));
    QCOMPARE(b.lines.last(), WordListUpload::blockAddressLine(2));
}

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"
