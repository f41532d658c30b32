// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/browser/sites.h"

#include <QObject>

namespace kz {

class BrowserView;
struct AboutPage;

// The About page: the maker's pages and the help PDF in the page's browser,
// which is created the first time it is needed.
class AboutBrowser : public QObject {
    Q_OBJECT
public:
    AboutBrowser(const AboutPage &page, SiteSettings sites, QObject *parent = nullptr);

    // Entering the page loads the device page.
    void showDevicePage();
    BrowserView *browser() const { return m_browser; }
    const SiteSettings &sites() const { return m_sites; }

private:
    void navigate(const QUrl &url);

    const AboutPage &m_page;
    SiteSettings m_sites;
    BrowserView *m_browser = nullptr;
};

} // namespace kz
