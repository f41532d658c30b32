// The Word List and SET UP pages' requests to the KZ: say word, the voice
// and the amplifier, and the read-back request, on the wire with their waits.
#include "device/devicelink.h"
#include "device/pacing.h"
#include "support.h"
#include "window/widgets.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
constexpr int kHoldMs = 250;
// A lower bound for a wait that timer jitter cannot break.
constexpr double kAtLeast = 0.8;

const QString kSayLead = QStringLiteral("> 26  10  10 ");
const QString kVoiceHeader = QStringLiteral("> 24 22");
const QStringList kReadBackLines {"> 14 1", "* 800", "> 2 1"};

struct Voice {
    int volume, speed, pitch, bend;
};
} // namespace

Q_DECLARE_METATYPE(Voice)

class TestWords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sayRequestSendsBothLinesWithItsWaits_data();
    void sayRequestSendsBothLinesWithItsWaits();
    void wordNumberIsReadOnceAndReverseWhenTheSecondLineGoes();
    void secondRequestDuringASequenceIsRefused_data();
    void secondRequestDuringASequenceIsRefused();
    void voiceLoadSendsTheValuesTwice_data();
    void voiceLoadSendsTheValuesTwice();
    void voiceValuesAreReadForEachLine();
    void oneLineButtons_data();
    void oneLineButtons();
    void readBackRequestShowsPleaseWaitAndSendsItsLines();

private:
    void showPage(const QString &caption);
    void clickListItem(int row);
    QPushButton *button(const QString &name) const;
    // Milliseconds between line i - 1 and line i.
    qint64 gapBefore(int i) const;
    static double holds(int count) { return count * Pacing::scaled(kHoldMs); }
    const WordListPage &words() const { return h->controls().words; }
    const SetupPage &setup() const { return h->controls().setup; }

    WindowHarness *h = nullptr;
};

void TestWords::init()
{
    h = new WindowHarness(0.1);
    QVERIFY(h->connectWindow());
    showPage(QStringLiteral("Word List"));
    h->port()->clearWritten();
}

void TestWords::cleanup()
{
    delete h;
    h = nullptr;
}

void TestWords::showPage(const QString &caption)
{
    QTabBar *tabs = h->controls().form.TabStrip1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == caption)
            tabs->setCurrentIndex(i);
    }
}

void TestWords::clickListItem(int row)
{
    ListBox *list = words().List3;
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

QPushButton *TestWords::button(const QString &name) const
{
    auto *b = h->window()->findChild<QPushButton *>(name);
    if (!b)
        qFatal("no button %s", qPrintable(name));
    return b;
}

qint64 TestWords::gapBefore(int i) const
{
    const QList<qint64> at = h->port()->lineTimes();
    return at.at(i) - at.at(i - 1);
}

void TestWords::sayRequestSendsBothLinesWithItsWaits_data()
{
    QTest::addColumn<bool>("fromList");
    QTest::addColumn<int>("word");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("count"); // Text8 afterwards
    QTest::newRow("word 0") << false << 0 << false << "@  0 0"
                            << " 1";
    QTest::newRow("2048, the empty last item") << false << 2048 << false << "@  2048 0"
                                               << " 2049";
    QTest::newRow("reversed") << false << 5 << true << "@  5 1"
                              << " 6";
    QTest::newRow("picked in the list") << true << 57 << false << "@  57 0"
                                        << " 58";
    QTest::newRow("picked in the list, reversed") << true << 1 << true << "@  1 1"
                                                  << " 2";
}

void TestWords::sayRequestSendsBothLinesWithItsWaits()
{
    QFETCH(bool, fromList);
    QFETCH(int, word);
    QFETCH(bool, reverse);
    QFETCH(QString, second);
    QFETCH(QString, count);
    QCOMPARE(words().Text8->text(), QStringLiteral("200"));
    words().Check5->setChecked(reverse);
    QList<bool> listEnabled;
    QElapsedTimer sinceSecondLine;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&] {
        listEnabled << words().List3->isEnabled();
        sinceSecondLine.start();
    });

    if (fromList) {
        clickListItem(word);
    } else {
        QVERIFY(words().HScroll7->setValueChecked(word));
        QTest::mouseClick(words().Command47, Qt::LeftButton);
    }
    const qint64 spoken = sinceSecondLine.elapsed();
    QCOMPARE(h->port()->lines(),
             (QStringList {kSayLead + QLatin1Char(' ') + QString::number(word), second}));
    QCOMPARE(words().HScroll7->value(), word);
    QCOMPARE(words().Text8->text(), count);
    QCOMPARE(h->controls().com.List1->currentRow(), word);
    QVERIFY(gapBefore(1) >= kAtLeast * holds(1));
    QVERIFY2(spoken >= kAtLeast * holds(5), "five holds for the word to be spoken");
    QCOMPARE(listEnabled, (QList<bool> {false, false}));
    QVERIFY(words().List3->isEnabled());
}

void TestWords::wordNumberIsReadOnceAndReverseWhenTheSecondLineGoes()
{
    QVERIFY(words().HScroll7->setValueChecked(100));
    bool moved = false;
    // The user moves the bar and ticks Reverse while the request waits.
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&] {
        if (!std::exchange(moved, true))
            QTimer::singleShot(0, this, [&] {
                words().HScroll7->setValueChecked(300);
                words().Check5->setChecked(true);
            });
    });
    words().Command47->click();
    QVERIFY(moved);
    QCOMPARE(h->port()->lines(), (QStringList {kSayLead + QStringLiteral(" 100"), "@  100 1"}));
    QCOMPARE(h->controls().com.List1->currentRow(), 100);
    QCOMPARE(words().Text8->text(), QStringLiteral(" 301"));
}

void TestWords::secondRequestDuringASequenceIsRefused_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); // a button, or "List3" for a pick in the list
    QTest::addColumn<QStringList>("sent");
    const QStringList say {kSayLead + QStringLiteral(" 200"), "@  200 0"};
    const QString values = QStringLiteral("@  0 120 114 89 6");
    const QStringList load {kVoiceHeader, values, values};
    QTest::newRow("Say Word during a say request") << "Command47"
                                                   << "Command47" << say;
    QTest::newRow("a list pick during a say request") << "Command47"
                                                      << "List3" << say;
    QTest::newRow("Test Voice during a voice load") << "Command48"
                                                    << "Command48" << load;
    QTest::newRow("Default Voice during a voice load") << "Command48"
                                                       << "Command13" << load;
    QTest::newRow("Save during a voice load") << "Command48"
                                              << "Command11" << load;
    QTest::newRow("Amp during a voice load") << "Command48"
                                             << "Command16" << load;
    QTest::newRow("Read Words Spoken twice") << "Command17"
                                             << "Command17" << kReadBackLines;
    QTest::newRow("Say Word during a read-back") << "Command17"
                                                 << "Command47" << kReadBackLines;
}

void TestWords::secondRequestDuringASequenceIsRefused()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, sent);
    bool clicked = false;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&] {
        if (std::exchange(clicked, true))
            return;
        QTimer::singleShot(0, this, [&] {
            if (second == QLatin1String("List3"))
                clickListItem(7);
            else
                button(second)->click();
        });
    });
    button(first)->click();
    QVERIFY(clicked);
    QCOMPARE(h->port()->lines(), sent);
    QVERIFY(!h->window()->link().isSequenceRunning());
}

void TestWords::voiceLoadSendsTheValuesTwice_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Voice>("set");
    QTest::addColumn<bool>("sixSeconds");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QStringList>("boxes"); // Text4 to Text7 afterwards
    const Voice defaults {120, 114, 89, 6};
    const QStringList startBoxes {"120", "114", "89", "6"};
    QTest::newRow("Test Voice with the defaults")
        << "Command48" << defaults << false << "@  0 120 114 89 6" << startBoxes;
    QTest::newRow("6 seconds chosen")
        << "Command48" << defaults << true << "@  1 120 114 89 6" << startBoxes;
    QTest::newRow("pitch 254") << "Command48" << Voice {120, 114, 254, 6} << false
                               << "@  0 120 114 254 6" << QStringList {"120", "114", " 254", "6"};
    QTest::newRow("every value moved")
        << "Command48" << Voice {0, 127, 1, 15} << false << "@  0 0 127 1 15"
        << QStringList {" 0", " 127", " 1", " 15"};
    QTest::newRow("Default Voice sets the defaults back")
        << "Command13" << Voice {0, 127, 1, 15} << true << "@  1 120 114 89 6"
        << QStringList {" 120", " 114", " 89", " 6"};
    QTest::newRow("Default Voice at the defaults still loads")
        << "Command13" << defaults << false << "@  0 120 114 89 6" << startBoxes;
}

void TestWords::voiceLoadSendsTheValuesTwice()
{
    QFETCH(QString, name);
    QFETCH(Voice, set);
    QFETCH(bool, sixSeconds);
    QFETCH(QString, values);
    QFETCH(QStringList, boxes);
    showPage(QStringLiteral("SET UP"));
    const auto &com = h->controls().com;
    (sixSeconds ? com.Option2 : com.Option8)->setChecked(true);
    com.Text3->setText(QStringLiteral("Is anyone there"));
    QVERIFY(setup().HScroll3->setValueChecked(set.volume));
    QVERIFY(setup().HScroll4->setValueChecked(set.speed));
    QVERIFY(setup().HScroll5->setValueChecked(set.pitch));
    QVERIFY(setup().HScroll6->setValueChecked(set.bend));
    h->port()->clearWritten();

    QTest::mouseClick(button(name), Qt::LeftButton);
    QCOMPARE(h->port()->lines(), (QStringList {kVoiceHeader, values, values}));
    QVERIFY(gapBefore(1) >= kAtLeast * holds(1));
    QVERIFY(gapBefore(2) >= kAtLeast * holds(1));
    QCOMPARE(com.Text3->text(), QString());
    QCOMPARE((QStringList {setup().Text4->text(), setup().Text5->text(), setup().Text6->text(),
                           setup().Text7->text()}),
             boxes);
}

void TestWords::voiceValuesAreReadForEachLine()
{
    bool changed = false;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&](const QString &line) {
        if (line.startsWith(u'@') && !std::exchange(changed, true))
            QTimer::singleShot(0, this, [&] {
                h->controls().com.Option2->setChecked(true);
                setup().HScroll6->setValueChecked(9);
            });
    });
    setup().Command48->click();
    QVERIFY(changed);
    QCOMPARE(h->port()->lines(),
             (QStringList {kVoiceHeader, "@  0 120 114 89 6", "@  1 120 114 89 9"}));
}

void TestWords::oneLineButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("option"); // of Option1 chosen before the click
    QTest::addColumn<QString>("sent");
    QTest::newRow("Save") << "Command11" << 0 << "> 23 10 10";
    QTest::newRow("amplifier ON") << "Command16" << 0 << "> 12 0";
    QTest::newRow("amplifier OFF") << "Command16" << 1 << "> 12 1";
}

void TestWords::oneLineButtons()
{
    QFETCH(QString, name);
    QFETCH(int, option);
    QFETCH(QString, sent);
    showPage(QStringLiteral("SET UP"));
    h->port()->clearWritten();
    QTest::mouseClick(setup().Option1[option], Qt::LeftButton);
    QVERIFY(setup().Option1[option]->isChecked());
    QVERIFY(h->port()->lines().isEmpty()); // choosing alone sends nothing
    QTest::mouseClick(button(name), Qt::LeftButton);
    QCOMPARE(h->port()->lines(), QStringList {sent});
}

void TestWords::readBackRequestShowsPleaseWaitAndSendsItsLines()
{
    QStringList shown;
    connect(&h->window()->link(), &DeviceLink::commandSent, this,
            [&] { shown << words().Text27->text(); });
    QTest::mouseClick(words().Command17, Qt::LeftButton);
    QCOMPARE(h->port()->lines(), kReadBackLines);
    QVERIFY(gapBefore(1) >= kAtLeast * holds(1));
    QVERIFY(gapBefore(2) >= kAtLeast * holds(2));
    QCOMPARE(shown, QStringList(3, QStringLiteral("Please Wait ")));
}

QTEST_MAIN(TestWords)
#include "tst_words.moc"
