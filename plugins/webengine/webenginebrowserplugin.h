// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/browser/browserview.h"

#include <QObject>

class QWebEngineView;

namespace kz {

class WebEngineBrowserView : public BrowserView {
    Q_OBJECT
public:
    explicit WebEngineBrowserView(QWidget *parent = nullptr);

    void navigate(const QUrl &url) override;
    QUrl currentUrl() const override { return m_url; }
    LoadState loadState() const override { return m_state; }
    bool isEmbedded() const override { return true; }

private:
    QWebEngineView *m_view;
    QUrl m_url;
    LoadState m_state = LoadState::Idle;
};

class WebEngineBrowserPlugin : public QObject, public BrowserPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KZ_BROWSER_PLUGIN_IID FILE "kzwebbrowser.json")
    Q_INTERFACES(kz::BrowserPlugin)
public:
    BrowserView *createView(QWidget *parent) override;
};

} // namespace kz
