// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

namespace kz {

class CommandSequence;
class DeviceLink;

// Looks for the KZ on ports 1 to 30: each port that opens is stopped and
// probed, and the first that answers stays open. The search is one sequence
// the link runs from the event loop: no other sequence puts lines between
// its probes, and it waits behind one that runs when it starts.
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

    // Starts the whole search and returns at once; `finished` tells how it
    // ended. Ignored while a search or a stop probe runs.
    void start();
    bool isRunning() const { return m_running; }
    // Opens port p and stops the device there, as the search's first probe
    // does; `stopProbed` tells whether it answered. The port stays open when
    // the KZ answers, and is closed when not. Ignored while a search runs.
    void probeStop(int port);

signals:
    // Port p is about to be tried.
    void trying(int port);
    // The search has ended; with no port when the program is ending.
    void finished(const kz::PortSearch::Result &result);
    void stopProbed(bool answered);

private:
    void tryPort(CommandSequence &steps, int port);
    void probe(CommandSequence &steps, int port);
    void goOn(CommandSequence &steps, int port);
    void ended(bool lost);
    // A pause, the line, and a pause for the answer.
    static void ask(CommandSequence &steps, const QString &line);
    CommandSequence search() const;

    DeviceLink &m_link;
    bool m_running = false;
    // The port being tried, and what the search has found so far.
    int m_port = 0;
    Result m_result;
};

} // namespace kz
