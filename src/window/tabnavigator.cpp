// SPDX-License-Identifier: GPL-3.0-or-later
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
    : QObject(parent), m_controls(controls), m_link(link), m_about(about)
{
    // A click on the tab already chosen is a click too, as is a change of
    // tab by the keyboard.
    connect(m_controls.form.TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == m_controls.form.TabStrip1->currentIndex())
            tabClicked();
    });
    connect(m_controls.form.TabStrip1, &QTabBar::currentChanged, this, &TabNavigator::tabClicked);
}

bool TabNavigator::choose(const QString &caption)
{
    const int index = captions().indexOf(captionOf(caption));
    if (index < 0)
        return false;
    m_controls.form.TabStrip1->setCurrentIndex(index);
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
    for (int i = 0; i < m_controls.form.TabStrip1->count(); ++i)
        all << m_controls.form.TabStrip1->tabText(i);
    return all;
}

void TabNavigator::tabClicked()
{
    if (m_link.isEnding())
        return;
    for (QGroupBox *page :
         {m_controls.words.setupframe, m_controls.setup.Controlframe, m_controls.com.comframe,
          m_controls.kzPage.KZframe, m_controls.pk.pkframe, m_controls.about.Aboutframe,
          m_controls.log.Frame10})
        page->hide();

    const std::pair<const QString &, QGroupBox *> tabs[]
        = {{kCom, m_controls.com.comframe},       {kLog, m_controls.log.Frame10},
           {kPk, m_controls.pk.pkframe},          {kKz, m_controls.kzPage.KZframe},
           {kWords, m_controls.words.setupframe}, {kSetUp, m_controls.setup.Controlframe},
           {kAbout, m_controls.about.Aboutframe}};
    const QString chosen
        = m_controls.form.TabStrip1->tabText(m_controls.form.TabStrip1->currentIndex());
    for (const auto &[caption, page] : tabs) {
        if (chosen != caption)
            continue;
        if (caption == kKz)
            m_controls.pk.Text15->setText(
                QStringLiteral("Press Start to begin , prompts will tell you what to do next"));
        page->show();
        if (caption == kAbout) {
            m_about.showDevicePage();
            m_controls.form.TabStrip1->window()->setWindowTitle(
                QStringLiteral("Loading PDF from Website Please wait"));
        }
        // The stops go out even when another sequence holds the wire: as
        // soon as it lets go, before anything that asks after them.
        CommandSequence stops(SequenceKind::PageChange);
        stops.send(commands::kStop).hold().send(commands::kStop).hold();
        if (caption == kKz)
            stops.send(commands::kKzPageSelect).hold();
        stops.onEnd([this](WaitResult) { emit switched(); });
        m_link.run(std::move(stops));
        return;
    }
}

} // namespace kz
