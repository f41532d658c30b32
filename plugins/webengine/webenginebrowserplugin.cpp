// SPDX-License-Identifier: GPL-3.0-or-later
#include "webenginebrowserplugin.h"

#include <QVBoxLayout>
#include <QWebEngineView>

namespace kz {

WebEngineBrowserView::WebEngineBrowserView(QWidget *parent)
    : BrowserView(parent), m_view(new QWebEngineView(this))
{
    setObjectName(QStringLiteral("webEngineBrowserView"));
    m_view->setObjectName(QStringLiteral("webEngineView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_state = LoadState::Loading; });
    connect(m_view, &QWebEngineView::loadFinished, this,
            [this](bool ok) { m_state = ok ? LoadState::Loaded : LoadState::Failed; });
    // Links followed inside the page move the address too.
    connect(m_view, &QWebEngineView::urlChanged, this, [this](const QUrl &url) {
        if (!url.isEmpty())
            m_url = url;
    });
}

void WebEngineBrowserView::navigate(const QUrl &url)
{
    // The page reports the new address and the start of loading only later;
    // callers are to see both at once.
    m_url = url;
    m_state = LoadState::Loading;
    m_view->load(url);
}

BrowserView *WebEngineBrowserPlugin::createView(QWidget *parent)
{
    return new WebEngineBrowserView(parent);
}

} // namespace kz
