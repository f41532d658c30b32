#include "window/tabnavigator.h"

#include "device/devicelink.h"
#include "window/aboutpage.h"
#include "window/form1controls.h"
#include "window/widgets.h"

#include <QGroupBox>
#include <QTabBar>

namespace kz {

namespace {
const QString kCom = QStringLiteral("COM");
const QString kLog = QStringLiteral("Log File");
const QString kPk = QStringLiteral("PK");
const QString kKz = QStringLiteral("KZ");
const QString kWords = QStringLiteral("Word List");
const QString kSetUp = QStringLiteral("SET UP");
const QString kAbout = QStringLiteral("About The KZ");
const QString kStop = QStringLiteral("@ 2 2");
} // namespace

TabNavigator::TabNavigator(const Form1Controls &controls, DeviceLink &link, AboutPage &about,
                           QObject *parent)
    : QObject(parent), c(controls), m_link(link), m_about(about)
{
    // A click on the tab already chosen is a click too, as is a change of
    // tab by the keyboard.
    connect(c.TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == c.TabStrip1->currentIndex())
            tabClicked();
    });
    connect(c.TabStrip1, &QTabBar::currentChanged, this, &TabNavigator::tabClicked);
}

void TabNavigator::tabClicked()
{
    for (QGroupBox *page :
         {c.setupframe, c.Controlframe, c.comframe, c.KZframe, c.pkframe, c.Aboutframe, c.Frame10})
        page->hide();

    const std::pair<const QString &, QGroupBox *> tabs[] = {
        {kCom, c.comframe},     {kLog, c.Frame10},        {kPk, c.pkframe},      {kKz, c.KZframe},
        {kWords, c.setupframe}, {kSetUp, c.Controlframe}, {kAbout, c.Aboutframe}};
    for (const auto &[caption, page] : tabs) {
        // The selected tab is read afresh for every caption: a click handled
        // during the waits below may have chosen another.
        if (m_link.isEnding() || c.TabStrip1->tabText(c.TabStrip1->currentIndex()) != caption)
            continue;
        if (caption == kKz)
            c.Text15->setText(
                QStringLiteral("Press Start to begin , prompts will tell you what to do next"));
        page->show();
        if (caption == kAbout)
            m_about.showDevicePage();
        DeviceLink::pumpOnce();
        if (caption == kAbout)
            c.TabStrip1->window()->setWindowTitle(
                QStringLiteral("Loading PDF from Website Please wait"));
        m_link.sendCommand(kStop);
        m_link.hold();
        m_link.sendCommand(kStop);
        m_link.hold();
        if (caption == kKz) {
            m_link.sendCommand(QStringLiteral("@ 47 1 1"));
            m_link.hold();
        }
    }
}

} // namespace kz
