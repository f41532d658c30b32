// The sensitivity values of the SET UP page: bars and boxes, the gain, and
// the lines of Save Settings, Restore Defaults and Firmware Version.
#include "support.h"
#include "tuning/sensitivity.h"
#include "kit/receiverouter.h"
#include "window/tabnavigator.h"
#include "kit/widgets.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QStringList kInitial = {"150", "5", "12", "4"};
const QString kFirmware = QStringLiteral("> 27 10 10");
} // namespace

class TestSensitivity : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveSettingsSendsEveryLevelThenTheSelectedOne_data();
    void saveSettingsSendsEveryLevelThenTheSelectedOne();
    void upperArrowRaisesTheValueAndOnlyItsBoxChanges();
    void restoreDefaultsRewritesEveryBoxAndSaves();
    void gainFollowsTheLowGainText_data();
    void gainFollowsTheLowGainText();
    void firmwareVersionLines();
    void aSecondSequenceIsRefused_data();
    void aSecondSequenceIsRefused();
    void closingTheWindowEndsASequencePromptly_data();
    void closingTheWindowEndsASequencePromptly();

private:
    void showPage(const QString &caption);
    QPushButton *button(const QString &name) const;
    // Runs the click; `during` is clicked once the wire has carried `after` lines.
    QStringList wireOf(const QString &first, const QString &during = {}, int after = 2);

    WindowHarness *h = nullptr;
};

void TestSensitivity::init()
{
    h = new WindowHarness(0.05);
    QVERIFY(h->connectWindow());
    showPage(QStringLiteral("SET UP"));
}

void TestSensitivity::cleanup()
{
    delete h;
    h = nullptr;
}

void TestSensitivity::showPage(const QString &caption)
{
    h->window()->tabs().choose(caption);
    QVERIFY(waitUntil([&] { return !h->window()->receiver().isBusy(); }));
    h->port()->clearWritten();
}

QPushButton *TestSensitivity::button(const QString &name) const
{
    return h->window()->findChild<QPushButton *>(name);
}

QStringList TestSensitivity::wireOf(const QString &first, const QString &during, int after)
{
    WireRecorder wire(h->window());
    bool clicked = false;
    QMetaObject::Connection trigger;
    if (!during.isEmpty()) {
        trigger = connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this] {
            if (wire.lines().size() != after)
                return;
            // A click handled in the first sequence's next wait.
            QTimer::singleShot(0, this, [&, this] {
                QTest::mouseClick(button(during), Qt::LeftButton);
                clicked = true;
            });
        });
    }
    QTest::mouseClick(button(first), Qt::LeftButton);
    disconnect(trigger);
    if (!during.isEmpty() && !clicked)
        return {QStringLiteral("the second click never came")};
    return wire.events;
}

void TestSensitivity::saveSettingsSendsEveryLevelThenTheSelectedOne_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("typedBox");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("high");
    // Directly after start every box still holds its initial text.
    QTest::newRow("after start, Low") << "Option4"
                                      << ""
                                      << "" << int(Selected::Low) << kInitial;
    QTest::newRow("High with a typed High RANGE")
        << "Option6"
        << "Text26"
        << "777" << int(Selected::High) << QStringList {"777", "5", "12", "4"};
    QTest::newRow("Mid, an empty High GAIN")
        << "Option5"
        << "Text20"
        << "" << int(Selected::Mid) << QStringList {"150", "5", "12", ""};
}

void TestSensitivity::saveSettingsSendsEveryLevelThenTheSelectedOne()
{
    QFETCH(QString, option);
    QFETCH(QString, typedBox);
    QFETCH(QString, typed);
    QFETCH(int, selected);
    QFETCH(QStringList, high);
    QTest::mouseClick(h->window()->findChild<QRadioButton *>(option), Qt::LeftButton);
    if (!typedBox.isEmpty()) {
        auto *edit
            = qobject_cast<QLineEdit *>(h->window()->findChild<TextBox *>(typedBox)->editor());
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
    }
    QCOMPARE(wireOf("Command57"), saveSettingsWire(kInitial, kInitial, high, Selected(selected)));
}

void TestSensitivity::upperArrowRaisesTheValueAndOnlyItsBoxChanges()
{
    ScrollBar *bar = h->controls().setup.VScroll4;
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.upsideDown = bar->invertedAppearance();
    opt.subControls = QStyle::SC_All;
    const QPoint up
        = bar->style()
              ->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSubLine, bar)
              .center();
    const QPoint down
        = bar->style()
              ->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarAddLine, bar)
              .center();

    QTest::mouseClick(bar, Qt::LeftButton, {}, up);
    QCOMPARE(bar->value(), 2);
    QCOMPARE(h->controls().setup.Text13->text(), QStringLiteral(" 2"));
    QCOMPARE(h->window()->state().gain, qint16(2));
    // The other bars have not moved, so their boxes keep the initial texts.
    QCOMPARE(h->controls().setup.Text14->text(), QStringLiteral("150"));
    QCOMPARE(h->controls().setup.Text20->text(), QStringLiteral("4"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, down);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(h->controls().setup.Text13->text(), QStringLiteral(" 1"));
    QCOMPARE(h->window()->state().gain, qint16(1));
}

void TestSensitivity::restoreDefaultsRewritesEveryBoxAndSaves()
{
    QTest::mouseClick(h->controls().setup.Option5, Qt::LeftButton);
    const QStringList wire = wireOf("Command12");
    // High GAIN's bar stands at its default 1 already; its box still says so.
    QCOMPARE(wire,
             saveSettingsWire({" 225", " 20", " 30", " 3"}, {" 300", " 60", " 75", " 2"},
                              {" 500", " 90", " 100", " 1"}, Selected::Mid));
    QCOMPARE(h->controls().setup.VScroll7->value(), 1);
    QCOMPARE(h->controls().setup.VScroll13->value(), 500);
    QCOMPARE(h->window()->state().gain, qint16(3));
    QVERIFY(h->controls().setup.Option5->isChecked());
}

void TestSensitivity::gainFollowsTheLowGainText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("gain");
    QTest::newRow("2.5 to even") << "2.5" << 2;
    QTest::newRow("3.5 to even") << "3.5" << 4;
    QTest::newRow("no number") << "abc" << 0;
    QTest::newRow("blanks first") << "  7" << 7;
    QTest::newRow("negative") << "-3" << -3;
    // 99999 does not fit 16 bits: the last value that did stays.
    QTest::newRow("99999") << "99999" << 9999;
}

void TestSensitivity::gainFollowsTheLowGainText()
{
    QFETCH(QString, typed);
    QFETCH(int, gain);
    auto *edit = qobject_cast<QLineEdit *>(h->controls().setup.Text13->editor());
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QCOMPARE(h->controls().setup.Text13->text(), typed);
    QCOMPARE(h->window()->state().gain, qint16(gain));
    // Typing does not move the bar.
    QCOMPARE(h->controls().setup.VScroll4->value(), 1);
}

void TestSensitivity::firmwareVersionLines()
{
    QCOMPARE(wireOf("Command10"),
             (QStringList {"@ 2 2", "P", "@ 2 2", "P", kFirmware, "P", kFirmware}));
}

void TestSensitivity::aSecondSequenceIsRefused_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("Save during Save") << "Command57"
                                      << "Command57";
    QTest::newRow("Restore during Save") << "Command57"
                                         << "Command12";
    QTest::newRow("Firmware during Save") << "Command57"
                                          << "Command10";
    QTest::newRow("Auto tune during Save") << "Command57"
                                           << "Command14";
    QTest::newRow("Save during Restore") << "Command12"
                                         << "Command57";
    QTest::newRow("Save during Firmware") << "Command10"
                                          << "Command57";
    QTest::newRow("Restore during Firmware") << "Command10"
                                             << "Command12";
}

void TestSensitivity::aSecondSequenceIsRefused()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QStringList alone = wireOf(first);
    const QStringList interrupted = wireOf(first, second);
    QCOMPARE(interrupted, alone);
}

void TestSensitivity::closingTheWindowEndsASequencePromptly_data()
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

void TestSensitivity::closingTheWindowEndsASequencePromptly()
{
    QFETCH(QString, page);
    QFETCH(QString, clicked);
    showPage(page);
    QElapsedTimer sinceClose;
    int linesAtClose = -1;
    connect(&h->window()->link(), &DeviceLink::commandSent, this, [&, this] {
        if (linesAtClose >= 0)
            return;
        linesAtClose = int(h->port()->lines().size());
        QTimer::singleShot(0, this, [&, this] {
            sinceClose.start();
            h->window()->close();
        });
    });
    QTest::mouseClick(button(clicked), Qt::LeftButton);
    QVERIFY(sinceClose.isValid());
    QVERIFY2(sinceClose.elapsed() < 100, qPrintable(QString::number(sinceClose.elapsed())));
    QCOMPARE(int(h->port()->lines().size()), linesAtClose);
}

QTEST_MAIN(TestSensitivity)
#include "tst_sensitivity.moc"
