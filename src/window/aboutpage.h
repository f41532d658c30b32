#pragma once

#include "window/browser/sites.h"

#include <QObject>

namespace kz {

class BrowserView;
struct Form1Controls;

// The About page: the maker's pages and the help PDF in the page's browser,
// which is created the first time it is needed.
class AboutPage : public QObject {
    Q_OBJECT
public:
    AboutPage(const Form1Controls &controls, SiteSettings sites, QObject *parent = nullptr);

    // Entering the page loads the device page.
    void showDevicePage();
    BrowserView *browser() const { return m_browser; }
    const SiteSettings &sites() const { return m_sites; }

private:
    void navigate(const QUrl &url);

    const Form1Controls &c;
    SiteSettings m_sites;
    BrowserView *m_browser = nullptr;
};

} // namespace kz
