// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memoryport.h"
#include "window/form1.h"

#include <QObject>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

namespace kz::test {

// Closes the next message box that shows up, noting its text and what had
// happened by then.
class MessageBoxCloser : public QObject {
    Q_OBJECT
public:
    // `snapshot` runs when the box is seen, before it is closed.
    explicit MessageBoxCloser(std::function<void()> snapshot = {}, bool accept = true);
    bool seen = false;
    QString text;
    QString title;

private:
    QTimer m_poll;
    std::function<void()> m_snapshot;
    bool m_accept;
};

// Makes the working folder one where no file can be created. Permissions
// alone do not stop root, so then the folder is taken away from under the
// program instead.
void enterUnwritableFolder(QTemporaryDir &dir);

// Runs the event loop until the condition holds or the deadline passes.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

// Scaled time counted in ticks of a precise timer: a clock that a loaded
// machine can slow (a tick missed is not made up) but never hurry, so that an
// upper bound on it does not flake. It runs while the event loop does.
class TickClock : public QObject {
public:
    // One tick per tickDesignMs of design time, scaled.
    explicit TickClock(int tickDesignMs = 50);
    void restart();
    // Design time counted so far: whole ticks only.
    int designMs() const { return m_ticks * m_tickDesignMs; }
    // Empty when the wait measured ended as it should: at its deadline (no
    // sooner by the wall's clock, nor after a second deadline by the ticks),
    // or cut short before it. Else what it took.
    QString checkEnded(int deadlineDesignMs, bool atDeadline) const;

private:
    QElapsedTimer m_wall;
    QTimer m_timer;
    int m_tickDesignMs;
    int m_ticks = 0;
};

// Clicks "Connect  to KZ" and waits until the window is connected.
bool clickConnect(Form1 &window);

// Chooses a page by its tab's caption, as a click on the tab does, and waits
// until the receive loop has taken in all that arrived meanwhile (and `quiet`
// holds, when given): what the tab change started is then over.
bool showPage(Form1 &window, const QString &caption, const std::function<bool()> &quiet = {});

// The real window, offscreen, with time scaled down, on a port the harness
// makes. A suite makes one per test function and drops it in cleanup().
class WindowHarnessBase {
public:
    explicit WindowHarnessBase(double timeScale);
    virtual ~WindowHarnessBase();
    Q_DISABLE_COPY_MOVE(WindowHarnessBase)

    Form1 *createWindow();
    // Runs the search and waits until the window is connected.
    bool connectWindow();
    // Connects, then shows the page: where most tests begin.
    bool start(const QString &caption);
    // Shows the page, lets it settle, and forgets what went over the wire
    // meanwhile.
    virtual bool showPage(const QString &caption);

    Form1 *window() const { return m_window.get(); }
    const Form1Controls &controls() const { return m_window->controls(); }

protected:
    virtual SerialPort *makePort() = 0;
    // Nothing the device sent is left unread.
    virtual bool quiet() const { return true; }
    virtual void forgetTraffic() { }
    void closeWindow() { m_window.reset(); }

private:
    std::unique_ptr<Form1> m_window;
};

// The window on a port in memory. Port 1 answers the search's stop, so the
// window can connect.
class WindowHarness : public WindowHarnessBase {
public:
    explicit WindowHarness(double timeScale = 0.1) : WindowHarnessBase(timeScale) { }
    MemoryPort *port() const { return m_port; }

protected:
    SerialPort *makePort() override;
    bool quiet() const override { return !m_port->hasUnread(); }
    void forgetTraffic() override { m_port->clearWritten(); }

private:
    MemoryPort *m_port = nullptr;
};

} // namespace kz::test
