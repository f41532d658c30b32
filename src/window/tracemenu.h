// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QWidget;

namespace kz {

class Form1;
class TracingPort;

// The wire trace from the window: "Record the wire to a file..." in the
// context menu of every page, checked while a trace runs, and "Stop
// recording".
class TraceMenu : public QObject {
    Q_OBJECT
public:
    TraceMenu(Form1 &window, TracingPort &port);

    QAction *recordAction() const { return m_record; }
    QAction *stopAction() const { return m_stop; }

    // Asks the user for the file to record into; empty when cancelled.
    using FileChooser = std::function<QString(QWidget *parent)>;
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

private:
    void record(bool checked);
    void ended(const QString &why);
    void showState();

    Form1 &m_window;
    TracingPort &m_port;
    QAction *m_record;
    QAction *m_stop;
    FileChooser m_chooser;
};

} // namespace kz
