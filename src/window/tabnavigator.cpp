#include "window/tabnavigator.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "window/aboutpage.h"
#include "kit/pages.h"
#include "kit/widgets.h"

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
} // namespace

TabNavigator::TabNavigator(const Form1Controls &controls, DeviceLink &link, AboutBrowser &about,
                           QObject *parent)
    : QObject(parent), c(controls), m_link(link), m_about(about)
{
    // A click on the tab already chosen is a click too, as is a change of
    // tab by the keyboard.
    connect(c.form.TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == c.form.TabStrip1->currentIndex())
            tabClicked();
    });
    connect(c.form.TabStrip1, &QTabBar::currentChanged, this, &TabNavigator::tabClicked);
}

bool TabNavigator::choose(const QString &caption)
{
    const int index = captions().indexOf(captionOf(caption));
    if (index < 0)
        return false;
    c.form.TabStrip1->setCurrentIndex(index);
    return true;
}

QString TabNavigator::captionOf(const QString &caption) const
{
    for (const QString &own : captions()) {
        if (own.compare(caption, Qt::CaseInsensitive) == 0)
            return own;
    }
    return {};
}

QStringList TabNavigator::captions() const
{
    QStringList all;
    for (int i = 0; i < c.form.TabStrip1->count(); ++i)
        all << c.form.TabStrip1->tabText(i);
    return all;
}

void TabNavigator::tabClicked()
{
    for (QGroupBox *page : {c.words.setupframe, c.setup.Controlframe, c.com.comframe,
                            c.kzPage.KZframe, c.pk.pkframe, c.about.Aboutframe, c.log.Frame10})
        page->hide();

    const std::pair<const QString &, QGroupBox *> tabs[] = {
        {kCom, c.com.comframe},      {kLog, c.log.Frame10},        {kPk, c.pk.pkframe},
        {kKz, c.kzPage.KZframe},     {kWords, c.words.setupframe}, {kSetUp, c.setup.Controlframe},
        {kAbout, c.about.Aboutframe}};
    for (const auto &[caption, page] : tabs) {
        // The selected tab is read afresh for every caption: a click handled
        // during the waits below may have chosen another.
        if (m_link.isEnding()
            || c.form.TabStrip1->tabText(c.form.TabStrip1->currentIndex()) != caption)
            continue;
        if (caption == kKz)
            c.pk.Text15->setText(
                QStringLiteral("Press Start to begin , prompts will tell you what to do next"));
        page->show();
        if (caption == kAbout)
            m_about.showDevicePage();
        const WaitResult shown = m_link.pumpOnce();
        if (caption == kAbout)
            c.form.TabStrip1->window()->setWindowTitle(
                QStringLiteral("Loading PDF from Website Please wait"));
        // A sequence that holds the wire (an upload, a settings transfer)
        // must not get stops between its lines: the page changes, the
        // device is not told.
        if (m_link.isSequenceRunning())
            continue;
        if (!shown)
            return;
        m_link.sendCommand(commands::kStop);
        if (!m_link.hold())
            return;
        m_link.sendCommand(commands::kStop);
        if (!m_link.hold())
            return;
        if (caption == kKz) {
            m_link.sendCommand(commands::kKzPageSelect);
            if (!m_link.hold())
                return;
        }
    }
}

} // namespace kz
