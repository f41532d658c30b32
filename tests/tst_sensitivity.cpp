// SPDX-License-Identifier: GPL-3.0-or-later
// The sensitivity values of the SET UP page: bars and boxes, the gain, and
// the lines of Save Settings, Restore Defaults and Firmware Version. The page
// runs alone, with its behaviours, on a port in memory.
#include "device/devicelink.h"
#include "kit/widgets.h"
#include "pagefixture.h"
#include "support.h"
#include "tuning/autotune.h"
#include "tuning/sensitivity.h"
#include "wire.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionSlider>
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

private:
    template<class W> W *find(const QString &name) const { return f->form()->findChild<W *>(name); }
    // Runs the click; `during` is clicked once the wire has carried `after` lines.
    QStringList wireOf(const QString &first, const QString &during = {}, int after = 2);
    const SetupPage &page() const { return f->controls().setup; }

    std::unique_ptr<PageFixture> f;
    std::unique_ptr<Sensitivity> m_sensitivity;
    std::unique_ptr<AutoTune> m_autoTune; // for its Start, which a Save refuses
};

void TestSensitivity::init()
{
    f = std::make_unique<PageFixture>(Page::SetUp, 0.05);
    m_sensitivity = std::make_unique<Sensitivity>(page(), f->link());
    m_autoTune = std::make_unique<AutoTune>(page(), f->link(), *m_sensitivity);
}

void TestSensitivity::cleanup()
{
    m_autoTune.reset();
    m_sensitivity.reset();
    f.reset();
}

QStringList TestSensitivity::wireOf(const QString &first, const QString &during, int after)
{
    WireRecorder wire(f->link(), f->controls().form);
    bool clicked = false;
    QMetaObject::Connection trigger;
    if (!during.isEmpty()) {
        trigger = connect(&f->link(), &DeviceLink::commandSent, this, [&, this] {
            if (wire.lines().size() != after)
                return;
            // A click handled in the first sequence's next wait.
            QTimer::singleShot(0, this, [&, this] {
                QTest::mouseClick(find<QPushButton>(during), Qt::LeftButton);
                clicked = true;
            });
        });
    }
    QTest::mouseClick(find<QPushButton>(first), Qt::LeftButton);
    // The click returns at once; its lines follow from the event loop.
    const bool ended = waitUntil([this] { return !f->link().isSequenceRunning(); }, 60000);
    disconnect(trigger);
    if (!ended)
        return {QStringLiteral("the sequence never ended")};
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
    QTest::mouseClick(find<QRadioButton>(option), Qt::LeftButton);
    if (!typedBox.isEmpty()) {
        auto *edit
            = qobject_cast<QLineEdit *>(find<TextBox>(typedBox)->editor());
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
    }
    QCOMPARE(wireOf("Command57"), saveSettingsWire(kInitial, kInitial, high, Selected(selected)));
}

void TestSensitivity::upperArrowRaisesTheValueAndOnlyItsBoxChanges()
{
    ScrollBar *bar = page().VScroll4;
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
    QCOMPARE(page().Text13->text(), QStringLiteral(" 2"));
    QCOMPARE(m_sensitivity->gain(), qint16(2));
    // The other bars have not moved, so their boxes keep the initial texts.
    QCOMPARE(page().Text14->text(), QStringLiteral("150"));
    QCOMPARE(page().Text20->text(), QStringLiteral("4"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, down);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(page().Text13->text(), QStringLiteral(" 1"));
    QCOMPARE(m_sensitivity->gain(), qint16(1));
}

void TestSensitivity::restoreDefaultsRewritesEveryBoxAndSaves()
{
    QTest::mouseClick(page().Option5, Qt::LeftButton);
    const QStringList wire = wireOf("Command12");
    // High GAIN's bar stands at its default 1 already; its box still says so.
    QCOMPARE(wire,
             saveSettingsWire({" 225", " 20", " 30", " 3"}, {" 300", " 60", " 75", " 2"},
                              {" 500", " 90", " 100", " 1"}, Selected::Mid));
    QCOMPARE(page().VScroll7->value(), 1);
    QCOMPARE(page().VScroll13->value(), 500);
    QCOMPARE(m_sensitivity->gain(), qint16(3));
    QVERIFY(page().Option5->isChecked());
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
    auto *edit = qobject_cast<QLineEdit *>(page().Text13->editor());
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QCOMPARE(page().Text13->text(), typed);
    QCOMPARE(m_sensitivity->gain(), qint16(gain));
    // Typing does not move the bar.
    QCOMPARE(page().VScroll4->value(), 1);
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

QTEST_MAIN(TestSensitivity)
#include "tst_sensitivity.moc"
