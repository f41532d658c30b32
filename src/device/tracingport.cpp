// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/tracingport.h"

#include "device/pacing.h"
#include "device/systemserialport.h"

#include <QDateTime>
#include <QFileInfo>

#include <limits>

namespace kz {

using wiretrace::Direction;

std::unique_ptr<TraceWriter> TraceWriter::create(const QString &path, const QString &port,
                                                 QString *error, qint64 maxBytes)
{
    std::unique_ptr<TraceWriter> trace(new TraceWriter(maxBytes));
    trace->m_file.setFileName(path);
    // Unbuffered: every line reaches the system at once.
    if (QFileInfo(path).isDir()
        || !trace->m_file.open(QIODevice::WriteOnly | QIODevice::Truncate
                               | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("cannot write the trace %1: %2")
                         .arg(path,
                              QFileInfo(path).isDir() ? QStringLiteral("it is a folder")
                                                      : trace->m_file.errorString());
        return nullptr;
    }
    trace->m_clock.start();
    if (!trace->putNow(wiretrace::headerLine(QDateTime::currentDateTime(), port))) {
        if (error)
            *error = trace->endedBecause();
        return nullptr;
    }
    return trace;
}

void TraceWriter::event(Direction direction, QByteArrayView bytes)
{
    put(wiretrace::eventLine(m_clock.elapsed(), direction, bytes));
}

void TraceWriter::note(const QString &text)
{
    put(wiretrace::noteLine(m_clock.elapsed(), text));
}

void TraceWriter::end(const QString &why)
{
    if (!isRunning())
        return;
    putNow(wiretrace::noteLine(m_clock.elapsed(), why));
    m_ended = why;
    m_file.close();
}

TraceWriter::TraceWriter(qint64 maxBytes)
    : m_maxBytes(maxBytes),
      m_limitNote(QStringLiteral("the trace reached its limit of %1 MB; nothing more was recorded")
                      .arg(double(maxBytes) / 1e6)),
      // Room for the last line, whatever its time.
      m_limitReserve(wiretrace::noteLine(std::numeric_limits<qint64>::max(), m_limitNote).size())
{
}

void TraceWriter::put(const QByteArray &line)
{
    if (!isRunning())
        return;
    if (m_size + line.size() + m_limitReserve > m_maxBytes)
        end(m_limitNote);
    else
        putNow(line);
}

bool TraceWriter::putNow(const QByteArray &line)
{
    if (m_file.write(line) == line.size()) {
        m_size += line.size();
        return true;
    }
    m_ended = QStringLiteral("cannot write the trace %1: %2").arg(path(), m_file.errorString());
    m_file.close();
    return false;
}

TracingPort::TracingPort(SerialPort *port, QObject *parent) : SerialPort(parent), m_port(port)
{
    m_port->setParent(this);
    connect(m_port, &SerialPort::lost, this, [this](const QString &reason) {
        if (m_trace) {
            m_trace->note(wiretrace::lostNote(m_port->portNumber(), reason));
            checkTrace();
        }
        emit lost(reason);
    });
}

TracingPort::~TracingPort()
{
    // A trace that ends without this line ended with a crash. The port
    // closes with the program: the trace says so first.
    if (m_trace && m_port->isOpen())
        m_trace->note(wiretrace::closedNote(m_port->portNumber()));
    if (m_trace)
        m_trace->end(QStringLiteral("the program ended"));
}

bool TracingPort::open(int portNumber)
{
    if (m_trace && m_port->isOpen())
        m_trace->note(wiretrace::closedNote(m_port->portNumber()));
    const bool opened = m_port->open(portNumber);
    if (m_trace && opened) {
        m_trace->note(wiretrace::openedNote(portNumber, location(portNumber)));
        checkTrace();
    }
    return opened;
}

void TracingPort::close()
{
    if (m_trace && m_port->isOpen()) {
        m_trace->note(wiretrace::closedNote(m_port->portNumber()));
        checkTrace();
    }
    m_port->close();
}

void TracingPort::write(const QByteArray &data)
{
    if (m_trace && m_port->isOpen())
        record(Direction::Sent, data);
    m_port->write(data);
}

QByteArray TracingPort::readAll()
{
    QByteArray data = m_port->readAll();
    if (m_trace && !data.isEmpty())
        record(Direction::Received, data);
    return data;
}

void TracingPort::record(Direction direction, const QByteArray &bytes)
{
    m_trace->event(direction, bytes);
    checkTrace();
}

void TracingPort::checkTrace()
{
    if (m_trace->isRunning())
        return;
    const QString why = m_trace->endedBecause();
    m_trace.reset();
    emit traceEnded(why);
}

QString TracingPort::description() const
{
    return m_port->isOpen()
        ? wiretrace::portText(m_port->portNumber(), location(m_port->portNumber()))
        : wiretrace::kNoPort;
}

void TracingPort::startTrace(std::unique_ptr<TraceWriter> trace)
{
    stopTrace();
    m_trace = std::move(trace);
    if (m_trace) {
        // A replay keeps the device's messages as far apart as the reads.
        m_trace->note(wiretrace::tickNote(Pacing::scaled(kReceiveTickMs)));
        checkTrace();
    }
}

void TracingPort::stopTrace()
{
    if (!m_trace)
        return;
    m_trace->end(QStringLiteral("recording stopped"));
    m_trace.reset();
}

QString TracingPort::location(int portNumber) const
{
    const auto *system = qobject_cast<const SystemSerialPort *>(m_port);
    return system ? system->locator().location(portNumber) : QString();
}

} // namespace kz
