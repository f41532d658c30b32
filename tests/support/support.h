#pragma once

#include "memoryport.h"
#include "window/form1.h"

#include <QObject>
#include <QTemporaryDir>
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

// Clicks "Connect  to KZ" and waits until the window is connected.
bool clickConnect(Form1 &window);

// The real window, offscreen, on a port in memory, with time scaled down.
// Port 1 answers the search's stop, so the window can connect.
class WindowHarness {
public:
    explicit WindowHarness(double timeScale = 0.1);
    ~WindowHarness();

    Form1 *createWindow();
    // Runs the search and waits until the window is connected on port 1.
    bool connectWindow();

    Form1 *window() const { return m_window.get(); }
    MemoryPort *port() const { return m_port; }
    const Form1Controls &controls() const { return m_window->controls(); }

private:
    std::unique_ptr<Form1> m_window;
    MemoryPort *m_port = nullptr;
};

} // namespace kz::test
