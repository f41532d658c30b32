#pragma once

#include <QObject>
#include <QStringList>

namespace kz {

class DeviceLink;
struct Form1Controls;
struct FormState;

// The life of the connection: the window's load, the search of ports 1 to 30
// for the KZ, the manual open of a port by number, and what the window shows
// when a connection is made or fails.
class Connection : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 30;

    Connection(const Form1Controls &controls, FormState &state, DeviceLink &link,
               QObject *parent = nullptr);

    // The window's load: word lists, recent words, pages shown, gain.
    void load();
    // Click of "Connect  to KZ". Ignored while a search runs.
    void search();
    // Click of "Open Com #". Ignored while a search runs.
    void openManually();

    bool isSearching() const { return m_searching; }
    bool isConnected() const { return m_connected; }

signals:
    void connected(int portNumber);
    // The search tried every port without an answer (after its message box).
    void notFound();

private:
    bool probe(int port);
    void showConnected();
    void showNotFound();
    void portLost(const QString &reason);

    const Form1Controls &c;
    FormState &m_state;
    DeviceLink &m_link;
    // Why ports that exist could not be opened during the last search.
    QStringList m_refusals;
    bool m_searching = false;
    bool m_connected = false;
};

} // namespace kz
