#include "window/aboutpage.h"

#include "window/browser/browserfactory.h"
#include "window/browser/browserview.h"
#include "window/form1controls.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace kz {

AboutPage::AboutPage(const Form1Controls &controls, SiteSettings sites, QObject *parent)
    : QObject(parent), c(controls), m_sites(std::move(sites))
{
    connect(c.Command25, &QPushButton::clicked, this, [this] { navigate(m_sites.devicePage()); });
    connect(c.Command26, &QPushButton::clicked, this, [this] { navigate(m_sites.helpPdf()); });
    connect(c.Command28, &QPushButton::clicked, this, [this] { navigate(m_sites.homePage()); });
}

void AboutPage::showDevicePage()
{
    navigate(m_sites.devicePage());
}

void AboutPage::navigate(const QUrl &url)
{
    if (!m_browser) {
        // Made on first use: the embedded browser costs start-up time and
        // tens of megabytes that a user who never opens this page need not pay.
        auto *layout = new QVBoxLayout(c.WebBrowser1);
        layout->setContentsMargins(0, 0, 0, 0);
        m_browser = createBrowserView(c.WebBrowser1);
        layout->addWidget(m_browser);
    }
    m_browser->navigate(url);
}

} // namespace kz
