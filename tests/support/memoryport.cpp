// SPDX-License-Identifier: GPL-3.0-or-later
#include "memoryport.h"

namespace kz::test {

MemoryPort::MemoryPort(QObject *parent) : SerialPort(parent)
{
    m_clock.start();
}

bool MemoryPort::open(int portNumber)
{
    m_opens << portNumber;
    m_number = portNumber;
    m_refused = std::exchange(m_refuseNext, false);
    if (m_refused || (!m_present.isEmpty() && !m_present.contains(portNumber))) {
        if (!m_refused)
            m_error = QStringLiteral("there is no port #%1").arg(portNumber);
        m_open = false;
        return false;
    }
    m_error.clear();
    m_open = true;
    return true;
}

void MemoryPort::write(const QByteArray &data)
{
    m_written += data;
    for (const char c : data) {
        if (c != '\r') {
            m_partial += c;
            continue;
        }
        const QString line = QString::fromLatin1(std::exchange(m_partial, {}));
        m_lines << line;
        m_lineTimes << m_clock.elapsed();
        if (m_script)
            m_incoming += m_script(line);
    }
}

void MemoryPort::refuseNextOpen(const QString &why)
{
    m_refuseNext = true;
    m_error = why;
}

void MemoryPort::unplug()
{
    if (!m_open)
        return;
    m_open = false;
    m_error = QStringLiteral("the device went away");
    emit lost(m_error);
}

void MemoryPort::clearWritten()
{
    m_written.clear();
    m_lines.clear();
    m_lineTimes.clear();
}

} // namespace kz::test
