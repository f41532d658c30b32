// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>
#include <QWidget>
#include <QtPlugin>

namespace kz {

// A page that shows one web address. The embedded implementation lives in a
// plugin that is loaded only on demand, and the plugin deliberately links none
// of the program's own code. So this class stays header-only and has no
// Q_OBJECT: a meta-object here would have to exist in both the program and the
// plugin, or be exported from the program to the plugin.
class BrowserView : public QWidget {
public:
    enum class LoadState {
        Idle, // nothing asked for yet
        Loading,
        Loaded, // the address is on show
        Failed, // the address could not be shown; an error page may be
    };

    using QWidget::QWidget;

    // Shows url. currentUrl() returns it from now on, even while it loads.
    virtual void navigate(const QUrl &url) = 0;
    // The address last asked for, or the one the user has since followed a
    // link to.
    virtual QUrl currentUrl() const = 0;
    virtual LoadState loadState() const = 0;
    // True when the page is rendered inside the program rather than handed to
    // the system's web browser.
    virtual bool isEmbedded() const = 0;
};

// What the plugin library provides: a maker of embedded views.
class BrowserPlugin {
public:
    virtual ~BrowserPlugin() = default;
    virtual BrowserView *createView(QWidget *parent) = 0;
};

} // namespace kz

#define KZ_BROWSER_PLUGIN_IID "org.kz.BrowserPlugin/1.0"
Q_DECLARE_INTERFACE(kz::BrowserPlugin, KZ_BROWSER_PLUGIN_IID)
