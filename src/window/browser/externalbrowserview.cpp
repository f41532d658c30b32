// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/browser/externalbrowserview.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kz {

ExternalBrowserView::ExternalBrowserView(QWidget *parent)
    : BrowserView(parent), m_address(new QLabel(this)),
      m_open(new QPushButton(tr("Open in your web browser"), this)), m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("externalBrowserView"));
    m_address->setObjectName(QStringLiteral("addressLabel"));
    m_open->setObjectName(QStringLiteral("openButton"));
    m_problem->setObjectName(QStringLiteral("problemLabel"));

    // Users copy the address into a browser elsewhere, so it must be
    // selectable as well as clickable. Not from the keyboard: Shift+Tab
    // never leaves a label whose link the keyboard can reach (Qt 6.4), and
    // the button below opens the address.
    m_address->setTextFormat(Qt::RichText);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    m_address->setOpenExternalLinks(true);
    m_address->setWordWrap(true);
    m_problem->setWordWrap(true);
    m_problem->hide();
    m_open->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_address);
    layout->addWidget(m_open, 0, Qt::AlignLeft);
    layout->addWidget(m_problem);
    layout->addStretch(1);

    connect(m_open, &QPushButton::clicked, this, &ExternalBrowserView::openExternally);
}

void ExternalBrowserView::navigate(const QUrl &url)
{
    m_url = url;
    const QString shown = url.toDisplayString();
    const QString href = url.toString(QUrl::FullyEncoded);
    m_address->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), shown.toHtmlEscaped()));
    m_open->setEnabled(url.isValid() && !url.isEmpty());
    m_problem->hide();
    m_state = m_open->isEnabled() ? LoadState::Loaded : LoadState::Failed;
}

bool ExternalBrowserView::openExternally()
{
    if (!m_url.isValid() || m_url.isEmpty())
        return false;
    const bool opened = QDesktopServices::openUrl(m_url);
    m_problem->setText(tr("No web browser could be started. Copy the address above "
                          "into one."));
    m_problem->setVisible(!opened);
    return opened;
}

} // namespace kz
