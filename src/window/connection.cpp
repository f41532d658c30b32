// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/connection.h"

#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "device/portsearch.h"
#include "device/serialport.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

namespace kz {

namespace {
const QColor kSearching(255, 0, 0);
const QColor kFound(0, 255, 255);
const QColor kNotFound(255, 255, 0);
const QString kFoundLead = QStringLiteral("************* Controller on port #");
const QString kStars = QStringLiteral(" *****************");
constexpr int kReturnWatchMs = 1000;
} // namespace

Connection::Connection(const ConnectPanel &panel, const FormParts &form,
                       const PicturePanel &pictures, QWidget *firstPage, DeviceLink &link,
                       QObject *parent)
    : QObject(parent), m_panel(panel), m_form(form), m_pictures(pictures), m_firstPage(firstPage),
      m_link(link), m_search(new PortSearch(link, this)), m_returnWatch(new QTimer(this))
{
    m_returnWatch->setInterval(Pacing::scaled(kReturnWatchMs));
    connect(m_returnWatch, &QTimer::timeout, this, &Connection::lookForReturn);
    connect(m_panel.Command1, &QPushButton::clicked, this, &Connection::search);
    connect(m_panel.Command23, &QPushButton::clicked, this, &Connection::openManually);
    connect(m_panel.VScroll5, &QScrollBar::valueChanged, this,
            [this](int value) { m_panel.Text17->setText(signedField(value)); });
    connect(m_search, &PortSearch::trying, this, &Connection::showTrying);
    connect(m_search, &PortSearch::finished, this, &Connection::searchEnded);
    connect(m_search, &PortSearch::stopProbed, this, &Connection::probedStop);
    connect(&m_link, &DeviceLink::portLost, this, &Connection::portLost);
}

void Connection::showTrying(int p)
{
    setBackground(m_panel.Text1, kSearching);
    m_panel.Text1->setText(signedField(p) + QStringLiteral(" SEARCHING  FOR ACTIVE KZ"));
}

void Connection::search()
{
    if (isSearching() || m_connected || m_link.isEnding())
        return;
    m_searching = true;
    m_search->start();
}

void Connection::searchEnded(const PortSearch::Result &result)
{
    if (m_link.isEnding()) {
        m_searching = false;
        return;
    }
    if (!result.port) {
        // From the event loop: the link hands the wire on first, and the
        // message box waits there.
        QTimer::singleShot(0, this, [this, refusals = result.refusals] {
            if (m_link.isEnding())
                m_searching = false;
            else
                showNotFound(refusals);
        });
        return;
    }
    m_searching = false;
    setBackground(m_panel.Text1, kFound);
    m_panel.Text1->setText(m_panel.Text1->text() + kFoundLead + signedField(*result.port) + kStars);
    showConnected();
    emit connected(*result.port);
}

void Connection::showNotFound(const QStringList &refusals)
{
    m_panel.Frame11->show();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KZ"),
                    QStringLiteral("try selecting the port #"), QMessageBox::Ok,
                    m_panel.Frame1->window());
    box.setObjectName(QStringLiteral("portMessage"));
    // A port that is there but refused is not "no device": say why.
    if (!refusals.isEmpty())
        box.setInformativeText(refusals.join(u'\n'));
    box.exec();
    setBackground(m_panel.Text1, kNotFound);
    m_panel.Text1->setText(QStringLiteral("******** No Controller Found *************"));
    m_panel.Text1->setToolTip(refusals.join(u'\n'));
    m_searching = false;
    emit notFound();
}

void Connection::openManually()
{
    if (isSearching() || m_connected)
        return;
    const std::optional<qint16> number = toInt16(numericValue(m_panel.Text17->text()));
    if (number && m_link.port()->open(*number)) {
        // The port number is not written between the two halves here.
        m_panel.Text1->setText(m_panel.Text1->text() + kFoundLead + kStars);
        showConnected();
        emit connected(*number);
        return;
    }
    m_panel.Text1->setText(m_panel.Text1->text()
                           + QStringLiteral("************* No Controller on port #") + kStars);
    if (!m_link.port()->errorText().isEmpty())
        m_panel.Text1->setToolTip(m_link.port()->errorText());
}

void Connection::portLost(const QString &reason)
{
    if (!m_connected)
        return;
    // Nothing more is read until the KZ is back: the probe must see its
    // answer, not the receive loop.
    m_form.Timer1->setEnabled(false);
    const QString notice = QStringLiteral("Lost the KZ on port #%1: %2. Plug it back in: the "
                                          "program looks for it there every second.")
                               .arg(signedField(m_port), reason);
    setBackground(m_panel.Text1, kNotFound);
    m_panel.Text1->setText(notice);
    m_panel.Text1->setToolTip(m_link.port()->errorText());
    m_returnWatch->start();
    emit lost(notice);
}

void Connection::lookForReturn()
{
    if (m_link.isEnding() || m_search->isRunning())
        return;
    m_search->probeStop(m_port);
}

void Connection::probedStop(bool answered)
{
    if (!answered || m_link.isEnding())
        return;
    m_returnWatch->stop();
    const QString notice = QStringLiteral("The KZ is back on port #%1.").arg(signedField(m_port));
    setBackground(m_panel.Text1, kFound);
    m_panel.Text1->setText(notice);
    m_form.Timer1->setEnabled(true);
    emit back(notice);
}

void Connection::showConnected()
{
    m_connected = true;
    m_port = m_link.port()->portNumber();
    m_form.Timer1->setEnabled(true);
    m_pictures.Frame2->hide();
    m_panel.Command1->setEnabled(false);
    m_firstPage->show();
    m_form.TabStrip1->show();
    m_panel.Frame1->hide();
}

} // namespace kz
