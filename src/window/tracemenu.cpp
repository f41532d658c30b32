// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/tracemenu.h"

#include "device/tracingport.h"
#include "questions/questiondesk.h"
#include "window/form1.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace kz {

namespace {

QString chooseFile(QWidget *parent)
{
    const QString suggested = QDir::current().filePath(
        QStringLiteral("kz-trace-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Record the wire to a file"),
                                        suggested,
                                        QStringLiteral("Wire traces (*.txt);;All files (*)"));
}

} // namespace

TraceMenu::TraceMenu(Form1 &window, TracingPort &port)
    : QObject(&window), m_window(window), m_port(port),
      m_record(new QAction(QStringLiteral("Record the wire to a file..."), this)),
      m_stop(new QAction(QStringLiteral("Stop recording"), this)), m_chooser(chooseFile)
{
    m_record->setObjectName(QStringLiteral("recordWire"));
    m_record->setCheckable(true);
    m_stop->setObjectName(QStringLiteral("stopRecording"));
    // Unchecking the entry stops the trace as "Stop recording" does.
    connect(m_record, &QAction::triggered, this, &TraceMenu::record);
    connect(m_stop, &QAction::triggered, this, [this] { record(false); });
    connect(&m_port, &TracingPort::traceEnded, this, &TraceMenu::ended);
    window.addPageAction(m_record);
    window.addPageAction(m_stop);
    showState();
}

void TraceMenu::record(bool checked)
{
    if (!checked) {
        m_port.stopTrace();
        showState();
        return;
    }
    const QString path = m_chooser(&m_window);
    QString error;
    std::unique_ptr<TraceWriter> trace;
    if (!path.isEmpty())
        trace = TraceWriter::create(path, m_port.description(), &error);
    if (trace)
        m_port.startTrace(std::move(trace));
    else if (!path.isEmpty())
        QMessageBox::warning(&m_window, QStringLiteral("Record the wire"),
                             QStringLiteral("Nothing is recorded: %1.").arg(error));
    showState();
}

void TraceMenu::ended(const QString &why)
{
    const QString text = QStringLiteral("Recording of the wire ended: %1.").arg(why);
    m_window.questions().note(text);
    m_window.tellWriteFailure(text);
    showState();
}

void TraceMenu::showState()
{
    m_record->setChecked(m_port.isTracing());
    m_record->setToolTip(m_port.isTracing() ? QStringLiteral("Recording to ") + m_port.tracePath()
                                            : QString());
    m_stop->setEnabled(m_port.isTracing());
}

} // namespace kz
