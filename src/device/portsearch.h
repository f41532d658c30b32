// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

namespace kz {

class DeviceLink;

// Looks for the KZ on ports 1 to 30: each port that opens is stopped and
// probed, and the first that answers stays open.
class PortSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 30;
    // Seconds between the steps of a probe.
    static constexpr double kProbeWait = 0.3;

    struct Result {
        // The port the KZ answered on; it stays open.
        std::optional<int> port;
        // Why ports that exist could not be opened, each naming its port
        // ("Port # 3 is in use by another program").
        QStringList refusals;
    };

    explicit PortSearch(DeviceLink &link, QObject *parent = nullptr);

    // Runs the whole search; the window's events keep running meanwhile.
    Result run();
    bool isRunning() const { return m_running; }
    // Opens port p and stops the device there, as the search's first probe
    // does. The port stays open when the KZ answers, and is closed when not.
    bool answersStop(int port);

signals:
    // Port p is about to be tried; the search pumps events once after this.
    void trying(int port);

private:
    bool probe(int port, QStringList &refusals);
    // One probe step: whether the KZ answered the line with the token.
    bool answers(const QString &line, const QString &token);

    DeviceLink &m_link;
    bool m_running = false;
};

} // namespace kz
