// SPDX-License-Identifier: GPL-3.0-or-later
// What the KZ and Word List pages' buttons send, on the wire with their
// waits: the mode buttons and the word display, say word, the voice and the
// amplifier, and requests refused while another sequence runs.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "support.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "modes/modecontrol.h"
#include "words/wordlist.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kStop = QStringLiteral("@ 2 2");
const QString kSayLead = QStringLiteral("> 26  10  10 ");
const QString kVoiceHeader = QStringLiteral("> 24 22");
const QString kDefaultValues = QStringLiteral("@  0 120 114 89 6");
} // namespace

class TestRequests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void modeButtonSendsItsSequenceAndSetsTheDisplay_data();
    void modeButtonSendsItsSequenceAndSetsTheDisplay();
    void clickDuringASequenceIsRefused_data();
    void clickDuringASequenceIsRefused();
    void onlyMessagesWithDigitsAreReports_data();
    void onlyMessagesWithDigitsAreReports();
    void doubleClickEmptiesTheWordDisplay();
    void sayRequest_data();
    void sayRequest();
    void sayReadsTheWordOnceAndReverseAtTheSecondLine();
    void voiceLoad_data();
    void voiceLoad();
    void voiceLinesReadTheValuesAfresh();
    void oneLineButtons_data();
    void oneLineButtons();

private:
    void clickListItem(int row);
    QPushButton *button(const QString &name) const;
    // Runs `action` once, during the wait after line `line` (from 0) is sent.
    void duringWaitAfter(int line, const std::function<void()> &action);
    // Each gap between lines is at least 0.8 of its holds: a bound timer
    // jitter cannot break.
    void verifyGaps(const QList<int> &holds) const;
    // A click returns before its lines have gone: waits until the link runs
    // nothing.
    bool settled() const;
    const WordListPage &words() const { return h->controls().words; }
    const SetupPage &setup() const { return h->controls().setup; }
    const KzPage &kzPage() const { return h->controls().kzPage; }

    std::unique_ptr<WindowHarness> h;
};

void TestRequests::init()
{
    h = std::make_unique<WindowHarness>(0.1);
    QVERIFY(h->start(QStringLiteral("Word List")));
}

void TestRequests::cleanup()
{
    h.reset();
}

void TestRequests::clickListItem(int row)
{
    ListBox *list = words().List3;
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

QPushButton *TestRequests::button(const QString &name) const
{
    auto *b = h->window()->findChild<QPushButton *>(name);
    if (!b)
        qFatal("no button %s", qPrintable(name));
    return b;
}

void TestRequests::duringWaitAfter(int line, const std::function<void()> &action)
{
    auto sent = std::make_shared<int>(0);
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [=, this] {
        if ((*sent)++ == line)
            QTimer::singleShot(0, this, action);
    });
}

bool TestRequests::settled() const
{
    return waitUntil([this] { return !h->window()->link().isSequenceRunning(); });
}

void TestRequests::verifyGaps(const QList<int> &holds) const
{
    const QList<qint64> at = h->port()->lineTimes();
    QCOMPARE(at.size(), holds.size() + 1);
    for (int i = 0; i < holds.size(); ++i)
        QVERIFY2(at[i + 1] - at[i] >= 0.8 * holds[i] * Pacing::scaled(250),
                 qPrintable(QStringLiteral("wait before line %1").arg(i + 1)));
}

void TestRequests::modeButtonSendsItsSequenceAndSetsTheDisplay_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("mode");
    QTest::newRow("Dictionary") << "Command4" << QStringList {"> 47 1 1", kStop, "> 18 2"} << 1;
    QTest::newRow("Phonetic") << "Command6" << QStringList {"> 47 0 1", kStop, "> 15 2"} << 2;
    QTest::newRow("Touch") << "Command7" << QStringList {"> 47 0 1", kStop, "> 17 2"} << 4;
    QTest::newRow("Voice change") << "Command8" << QStringList {"> 47 1 1", kStop, "> 20 1 1"} << 1;
    QTest::newRow("Reverse") << "Command9" << QStringList {"> 47 0 1", kStop, "> 16 2"} << 3;
}

void TestRequests::modeButtonSendsItsSequenceAndSetsTheDisplay()
{
    QFETCH(QString, name);
    QFETCH(QStringList, sent);
    QFETCH(int, mode);
    QVERIFY(h->showPage(QStringLiteral("KZ")));
    // The display starts the other way, so that the click must set it.
    const bool shown = mode == 1;
    kzPage().List2->setVisible(!shown);
    kzPage().Text10->setVisible(!shown);
    QTest::mouseClick(button(name), Qt::LeftButton);
    QVERIFY(settled());
    QCOMPARE(h->port()->lines(), sent);
    verifyGaps({1, 2}); // a hold, then the stop's hold and one more
    QCOMPARE(h->window()->modes().mode(), qint16(mode));
    QCOMPARE(kzPage().List2->isHidden(), !shown);
    QCOMPARE(kzPage().Text10->isHidden(), !shown);
}

void TestRequests::clickDuringASequenceIsRefused_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); // a button, or "List3" for a pick in the list
    QTest::addColumn<QStringList>("sent");
    const QStringList load {kVoiceHeader, kDefaultValues, kDefaultValues};
    const QStringList say {kSayLead + QStringLiteral(" 200"), "@  200 0"};
    QTest::newRow("mode during a mode") << "Command4"
                                        << "Command7" << QStringList {"> 47 1 1", kStop, "> 18 2"};
    QTest::newRow("say during a say") << "Command47"
                                      << "Command47" << say;
    QTest::newRow("list pick during a say") << "Command47"
                                            << "List3" << say;
    QTest::newRow("voice during a voice") << "Command48"
                                          << "Command13" << load;
    QTest::newRow("Save during a voice") << "Command48"
                                         << "Command11" << load;
    QTest::newRow("read-back during a read-back")
        << "Command17"
        << "Command17" << QStringList {"> 14 1", "* 800", "> 2 1"};
}

void TestRequests::clickDuringASequenceIsRefused()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, sent);
    duringWaitAfter(0, [&] {
        if (second == QLatin1String("List3"))
            clickListItem(7);
        else
            button(second)->click();
    });
    button(first)->click();
    QVERIFY(settled());
    QCOMPARE(h->port()->lines(), sent);
    // A refused mode click leaves `mode` as the first click set it.
    QCOMPARE(h->window()->modes().mode(), qint16(first == QLatin1String("Command4") ? 1 : 0));
}

void TestRequests::onlyMessagesWithDigitsAreReports_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("listed");
    QTest::newRow("the stop's bare answer") << QByteArray("^") << QString();
    QTest::newRow("a report without digits") << QByteArray("AA = ^") << QString();
    QTest::newRow("a report") << QByteArray("AA = 12^") << wordText(12) + kCrLf;
    QTest::newRow("256, a reading") << QByteArray("256^") << QString(); // fault: > for >=
}

void TestRequests::onlyMessagesWithDigitsAreReports()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, listed);
    QVERIFY(h->showPage(QStringLiteral("KZ")));
    kzPage().Text10->setText(QString()); // the tab's own stops were answered
    ReceiveRouter &router = h->window()->receiver();
    h->controls().hidden.rec->setText(QString()); // so the wait sees this message taken
    h->port()->feed(message);
    QVERIFY(waitUntil([&] {
        return !router.isBusy() && router.pending().isEmpty()
            && h->controls().hidden.rec->text() == message;
    }));
    QCOMPARE(kzPage().Text10->text(), listed);
}

void TestRequests::doubleClickEmptiesTheWordDisplay()
{
    QVERIFY(h->showPage(QStringLiteral("KZ")));
    kzPage().Text10->show();
    kzPage().Text10->setText(wordText(5) + kCrLf);
    auto *editor = qobject_cast<QAbstractScrollArea *>(kzPage().Text10->editor());
    QVERIFY(editor);
    QTest::mouseDClick(editor->viewport(), Qt::LeftButton);
    QCOMPARE(kzPage().Text10->text(), QString());
}

void TestRequests::sayRequest_data()
{
    QTest::addColumn<bool>("fromList");
    QTest::addColumn<int>("word");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QString>("second");
    QTest::newRow("word 0") << false << 0 << false << "@  0 0";
    QTest::newRow("2048, the empty item") << false << 2048 << false << "@  2048 0";
    QTest::newRow("reversed") << false << 5 << true << "@  5 1";
    QTest::newRow("picked in the list") << true << 57 << false << "@  57 0";
}

void TestRequests::sayRequest()
{
    QFETCH(bool, fromList);
    QFETCH(int, word);
    QFETCH(bool, reverse);
    QFETCH(QString, second);
    QCOMPARE(words().Text8->text(), QStringLiteral("200"));
    words().Check5->setChecked(reverse);
    QList<bool> listEnabled;
    QElapsedTimer sinceLastLine;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&] {
        listEnabled << words().List3->isEnabled();
        sinceLastLine.start();
    });
    if (fromList) {
        clickListItem(word);
    } else {
        QVERIFY(words().HScroll7->setValueChecked(word));
        QTest::mouseClick(words().Command47, Qt::LeftButton);
    }
    QVERIFY(settled());
    const qint64 spoken = sinceLastLine.elapsed();
    QCOMPARE(h->port()->lines(), (QStringList {kSayLead + u' ' + QString::number(word), second}));
    QCOMPARE(words().Text8->text(), u' ' + QString::number(word + 1));
    QCOMPARE(h->controls().com.List1->currentRow(), word);
    verifyGaps({1});
    QVERIFY2(spoken >= 0.8 * 5 * Pacing::scaled(250), "five holds to speak the word");
    QCOMPARE(listEnabled, (QList<bool> {false, false}));
    QVERIFY(words().List3->isEnabled());
}

void TestRequests::sayReadsTheWordOnceAndReverseAtTheSecondLine()
{
    QVERIFY(words().HScroll7->setValueChecked(100));
    duringWaitAfter(0, [this] {
        words().HScroll7->setValueChecked(300);
        words().Check5->setChecked(true);
    });
    words().Command47->click();
    QVERIFY(settled());
    QCOMPARE(h->port()->lines(), (QStringList {kSayLead + QStringLiteral(" 100"), "@  100 1"}));
    QCOMPARE(h->controls().com.List1->currentRow(), 100);
}

void TestRequests::voiceLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pitch"); // set before the click
    QTest::addColumn<bool>("sixSeconds");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("pitchBox"); // Text6 afterwards
    QTest::newRow("defaults") << "Command48" << 89 << false << kDefaultValues << "89";
    QTest::newRow("6 seconds chosen") << "Command48" << 89 << true << "@  1 120 114 89 6"
                                      << "89";
    QTest::newRow("pitch 254") << "Command48" << 254 << false << "@  0 120 114 254 6"
                               << " 254";
    QTest::newRow("Default Voice") << "Command13" << 254 << false << kDefaultValues << " 89";
    QTest::newRow("Default Voice at the defaults")
        << "Command13" << 89 << false << kDefaultValues << "89";
}

void TestRequests::voiceLoad()
{
    QFETCH(QString, name);
    QFETCH(int, pitch);
    QFETCH(bool, sixSeconds);
    QFETCH(QString, values);
    QFETCH(QString, pitchBox);
    const ComPage &com = h->controls().com;
    (sixSeconds ? com.Option2 : com.Option8)->setChecked(true);
    com.Text3->setText(QStringLiteral("Is anyone there"));
    QVERIFY(setup().HScroll5->setValueChecked(pitch));
    QTest::mouseClick(button(name), Qt::LeftButton);
    QVERIFY(settled());
    QCOMPARE(h->port()->lines(), (QStringList {kVoiceHeader, values, values}));
    verifyGaps({1, 1});
    QCOMPARE(com.Text3->text(), QString());
    QCOMPARE(setup().Text6->text(), pitchBox);
}

void TestRequests::voiceLinesReadTheValuesAfresh()
{
    duringWaitAfter(1, [this] {
        h->controls().com.Option2->setChecked(true);
        setup().HScroll6->setValueChecked(9);
    });
    setup().Command48->click();
    QVERIFY(settled());
    QCOMPARE(h->port()->lines(), (QStringList {kVoiceHeader, kDefaultValues, "@  1 120 114 89 9"}));
}

void TestRequests::oneLineButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("option"); // of Option1, chosen before the click
    QTest::addColumn<QString>("sent");
    QTest::newRow("Save") << "Command11" << 0 << "> 23 10 10";
    QTest::newRow("amplifier ON") << "Command16" << 0 << "> 12 0";
    QTest::newRow("amplifier OFF") << "Command16" << 1 << "> 12 1";
}

void TestRequests::oneLineButtons()
{
    QFETCH(QString, name);
    QFETCH(int, option);
    QFETCH(QString, sent);
    QVERIFY(h->showPage(QStringLiteral("SET UP")));
    QTest::mouseClick(setup().Option1[option], Qt::LeftButton);
    QVERIFY(h->port()->lines().isEmpty()); // choosing alone sends nothing
    QTest::mouseClick(button(name), Qt::LeftButton);
    QCOMPARE(h->port()->lines(), QStringList {sent});
}

QTEST_MAIN(TestRequests)
#include "tst_requests.moc"
