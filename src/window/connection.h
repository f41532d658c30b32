// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/portsearch.h"

#include <QObject>
#include <QStringList>

class QTimer;
class QWidget;

namespace kz {

class DeviceLink;
struct ConnectPanel;
struct FormParts;
struct PicturePanel;

// The life of the connection on screen: the search of ports 1 to 30 for the
// KZ, the manual open of a port by number, and what the window shows when a
// connection is made, fails or is lost.
class Connection : public QObject {
    Q_OBJECT
public:
    Connection(const ConnectPanel &panel, const FormParts &form, const PicturePanel &pictures,
               QWidget *firstPage, DeviceLink &link, QObject *parent = nullptr);

    // Click of "Connect  to KZ": starts the search, which reports by
    // `connected` or `notFound`. Ignored while a search runs.
    void search();
    // Click of "Open Com #". Ignored while a search runs.
    void openManually();

    // From the click until the search has shown what it found.
    bool isSearching() const { return m_searching; }
    bool isConnected() const { return m_connected; }

signals:
    void connected(int portNumber);
    // The search tried every port without an answer (after its message box).
    void notFound();
    // The open port went away, or came back: a notice for the user.
    void lost(const QString &notice);
    void back(const QString &notice);

private:
    void showTrying(int port);
    void searchEnded(const PortSearch::Result &result);
    void probedStop(bool answered);
    void showConnected();
    void showNotFound(const QStringList &refusals);
    void portLost(const QString &reason);
    void lookForReturn();

    const ConnectPanel &m_panel;
    const FormParts &m_form;
    const PicturePanel &m_pictures;
    QWidget *m_firstPage;
    DeviceLink &m_link;
    PortSearch *m_search;
    bool m_searching = false;
    bool m_connected = false;
    int m_port = 0;
    // While the KZ is away: one attempt a second to open its port again.
    QTimer *m_returnWatch;
};

} // namespace kz
