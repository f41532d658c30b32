// SPDX-License-Identifier: GPL-3.0-or-later
// Moving between the pages: what each tab click shows and sends, and the
// About page's browser.
#include "harness.h"
#include "device/devicelink.h"
#include "window/aboutpage.h"
#include "window/browser/browserview.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QString kPkPrompt
    = QStringLiteral("Press Start to begin , prompts will tell you what to do next");
}

class TestTabs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyTabShowsItsPageAndStopsTheDeviceTwice_data();
    void everyTabShowsItsPageAndStopsTheDeviceTwice();
    void kzTabResetsThePkPrompt();
    void clickOnTheTabAlreadyChosenCountsToo();
    void aboutTabLoadsTheDevicePageAndKeepsItsCaption();
    void aboutButtonsNavigateAndSendNothing();
    void secondClickDuringTheWaitsWins();

private:
    int indexOf(const QString &caption) const;
    void click(const QString &caption);
    QWidget *shownPage() const;
    std::unique_ptr<Harness> h;
    sim::SimulatedKz *kz = nullptr;
};

void TestTabs::initTestCase()
{
    // The system-browser stand-in keeps these tests quick; the embedded
    // browser has tests of its own.
    qputenv("KZ_NO_WEBENGINE", "1");
}

void TestTabs::init()
{
    h = std::make_unique<Harness>(0.05);
    kz = h->addDevice(1);
    QVERIFY(h->connectWindow());
    kz->clearReceived();
}

void TestTabs::cleanup()
{
    h.reset();
}

int TestTabs::indexOf(const QString &caption) const
{
    const QTabBar *tabs = h->controls().form.TabStrip1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == caption)
            return i;
    }
    return -1;
}

void TestTabs::click(const QString &caption)
{
    QTabBar *tabs = h->controls().form.TabStrip1;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(indexOf(caption)).center());
    // The click returns before its lines are out.
    QVERIFY(waitUntil([this] { return !h->window()->link().isSequenceRunning(); }));
}

QWidget *TestTabs::shownPage() const
{
    const auto &c = h->controls();
    QWidget *shown = nullptr;
    for (QGroupBox *page : {c.com.comframe, c.kzPage.KZframe, c.setup.Controlframe,
                            c.words.setupframe, c.pk.pkframe, c.about.Aboutframe, c.log.Frame10}) {
        if (!page->isHidden()) {
            if (shown)
                return nullptr; // more than one: not a valid state
            shown = page;
        }
    }
    return shown;
}

void TestTabs::everyTabShowsItsPageAndStopsTheDeviceTwice_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("sent");
    const QStringList stops {"@ 2 2", "@ 2 2"};
    QTest::newRow("KZ") << "KZ"
                        << "KZframe" << (stops + QStringList {"@ 47 1 1"});
    QTest::newRow("SET UP") << "SET UP"
                            << "Controlframe" << stops;
    QTest::newRow("Word List") << "Word List"
                               << "setupframe" << stops;
    QTest::newRow("PK") << "PK"
                        << "pkframe" << stops;
    QTest::newRow("About") << "About The KZ"
                           << "Aboutframe" << stops;
    QTest::newRow("Log File") << "Log File"
                              << "Frame10" << stops;
}

void TestTabs::everyTabShowsItsPageAndStopsTheDeviceTwice()
{
    QFETCH(QString, caption);
    QFETCH(QString, page);
    QFETCH(QStringList, sent);
    click(caption);
    QVERIFY(shownPage());
    QCOMPARE(shownPage()->objectName(), page);
    QCOMPARE(kz->receivedLines(), sent);
    // And back to the COM page.
    kz->clearReceived();
    click(QStringLiteral("COM"));
    QCOMPARE(shownPage(), h->controls().com.comframe);
    QCOMPARE(kz->receivedBytes(), QByteArray("@ 2 2\r@ 2 2\r"));
}

void TestTabs::kzTabResetsThePkPrompt()
{
    const auto &c = h->controls();
    c.pk.Text15->setText(QStringLiteral("Please wait while the KZ Adjusts"));
    click(QStringLiteral("PK"));
    QCOMPARE(c.pk.Text15->text(), QStringLiteral("Please wait while the KZ Adjusts"));
    click(QStringLiteral("KZ"));
    QCOMPARE(c.pk.Text15->text(), kPkPrompt);
}

void TestTabs::clickOnTheTabAlreadyChosenCountsToo()
{
    click(QStringLiteral("COM"));
    QCOMPARE(kz->receivedLines(), (QStringList {"@ 2 2", "@ 2 2"}));
    QCOMPARE(shownPage(), h->controls().com.comframe);
}

void TestTabs::aboutTabLoadsTheDevicePageAndKeepsItsCaption()
{
    QVERIFY(!h->window()->about().browser()); // nothing made before it is needed
    click(QStringLiteral("About The KZ"));
    BrowserView *browser = h->window()->about().browser();
    QVERIFY(browser);
    QCOMPARE(browser->currentUrl(), QUrl(QStringLiteral("http://www.example.com/kz")));
    QCOMPARE(h->window()->windowTitle(), QStringLiteral("Loading PDF from Website Please wait"));
    click(QStringLiteral("COM"));
    QCOMPARE(h->window()->windowTitle(), QStringLiteral("Loading PDF from Website Please wait"));
    // Entering again loads the device page again, in the same browser.
    browser->navigate(QUrl(QStringLiteral("http://www.example.com/other")));
    click(QStringLiteral("About The KZ"));
    QCOMPARE(h->window()->about().browser(), browser);
    QCOMPARE(browser->currentUrl(), QUrl(QStringLiteral("http://www.example.com/kz")));
}

void TestTabs::aboutButtonsNavigateAndSendNothing()
{
    click(QStringLiteral("About The KZ"));
    kz->clearReceived();
    const auto &c = h->controls();
    BrowserView *browser = h->window()->about().browser();
    h->window()->setWindowTitle(QStringLiteral("unchanged"));
    c.about.Command26->click();
    QCOMPARE(browser->currentUrl(), QUrl(QStringLiteral("http://www.example.org/KZM.pdf")));
    c.about.Command28->click();
    QCOMPARE(browser->currentUrl(), QUrl(QStringLiteral("http://www.example.com/")));
    c.about.Command25->click();
    QCOMPARE(browser->currentUrl(), QUrl(QStringLiteral("http://www.example.com/kz")));
    QSignalSpy ticks(c.form.Timer1, &QTimer::timeout);
    QVERIFY(waitUntil([&] { return ticks.count() >= 2; }));
    QVERIFY(kz->receivedLines().isEmpty());
    QCOMPARE(h->window()->windowTitle(), QStringLiteral("unchanged"));
}

void TestTabs::secondClickDuringTheWaitsWins()
{
    // "Log File" is chosen while the KZ tab still waits between its sends:
    // the Log File page ends up shown, and its stops follow the KZ click's
    // lines, so that the KZ ends stopped as the page shown asks.
    bool clicked = false;
    connect(kz, &sim::SimulatedKz::lineReceived, h->window(), [&] {
        if (!std::exchange(clicked, true))
            click(QStringLiteral("Log File"));
    });
    click(QStringLiteral("KZ"));
    QVERIFY(waitUntil([&] { return clicked && kz->receivedLines().size() == 5; }));
    QCOMPARE(shownPage(), h->controls().log.Frame10);
    QCOMPARE(kz->receivedLines(),
             (QStringList {"@ 2 2", "@ 2 2", "@ 47 1 1", "@ 2 2", "@ 2 2"}));
}

QTEST_MAIN(TestTabs)
#include "tst_tabs.moc"
