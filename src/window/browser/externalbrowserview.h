// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/browser/browserview.h"

class QLabel;
class QPushButton;

namespace kz {

// Stands in for the embedded browser when Qt WebEngine is missing or turned
// off: shows the address and opens it in the system's web browser, but only
// when the user asks. Switching pages must never pop up a browser window.
class ExternalBrowserView : public BrowserView {
    Q_OBJECT
public:
    explicit ExternalBrowserView(QWidget *parent = nullptr);

    void navigate(const QUrl &url) override;
    QUrl currentUrl() const override { return m_url; }
    LoadState loadState() const override { return m_state; }
    bool isEmbedded() const override { return false; }

    // Hands the current address to the system's web browser. Returns false
    // and tells the user so when none could be started.
    bool openExternally();

private:
    QUrl m_url;
    LoadState m_state = LoadState::Idle;
    QLabel *m_address;
    QPushButton *m_open;
    QLabel *m_problem;
};

} // namespace kz
