// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/aboutpage.h"

#include "window/browser/browserfactory.h"
#include "window/browser/browserview.h"
#include "kit/pages.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace kz {

AboutBrowser::AboutBrowser(const AboutPage &page, SiteSettings sites, QObject *parent)
    : QObject(parent), m_page(page), m_sites(std::move(sites))
{
    connect(m_page.Command25, &QPushButton::clicked, this,
            [this] { navigate(m_sites.devicePage()); });
    connect(m_page.Command26, &QPushButton::clicked, this, [this] { navigate(m_sites.helpPdf()); });
    connect(m_page.Command28, &QPushButton::clicked, this,
            [this] { navigate(m_sites.homePage()); });
}

void AboutBrowser::showDevicePage()
{
    navigate(m_sites.devicePage());
}

void AboutBrowser::navigate(const QUrl &url)
{
    if (!m_browser) {
        // Made on first use: the embedded browser costs start-up time and
        // tens of megabytes that a user who never opens this page need not pay.
        auto *layout = new QVBoxLayout(m_page.WebBrowser1);
        layout->setContentsMargins(0, 0, 0, 0);
        m_browser = createBrowserView(m_page.WebBrowser1);
        layout->addWidget(m_browser);
    }
    m_browser->navigate(url);
}

} // namespace kz
