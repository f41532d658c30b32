// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/serialport.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <functional>

namespace kz::test {

// A serial port in memory, for the unit suites: bytes can be fed in as the
// device's answers, what was written is kept line by line with the time it
// went out, an open can be refused, the device unplugged, and lines can be
// answered by a script.
class MemoryPort : public SerialPort {
    Q_OBJECT
public:
    // Answers a written line (without its carriage return); empty for none.
    using Script = std::function<QByteArray(const QString &line)>;

    explicit MemoryPort(QObject *parent = nullptr);

    bool open(int portNumber) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int portNumber() const override { return m_number; }
    void write(const QByteArray &data) override;
    QByteArray readAll() override { return std::exchange(m_incoming, {}); }
    QString errorText() const override { return m_error; }
    bool lastOpenRefused() const override { return m_refused; }

    // Text the device sends, read by the next readAll().
    void feed(const QByteArray &bytes) { m_incoming += bytes; }
    // Fed text that no read has taken yet.
    bool hasUnread() const { return !m_incoming.isEmpty(); }
    // Only these port numbers open; empty means every one does.
    void setPresentPorts(const QList<int> &ports) { m_present = ports; }
    // The next open fails as a port in use would.
    void refuseNextOpen(const QString &why);
    // The device goes away: the port closes and says so.
    void unplug();
    void setScript(Script script) { m_script = std::move(script); }

    QByteArray written() const { return m_written; }
    QStringList lines() const { return m_lines; }
    // Milliseconds since the port was made, for each line in lines().
    QList<qint64> lineTimes() const { return m_lineTimes; }
    qint64 now() const { return m_clock.elapsed(); }
    QList<int> opens() const { return m_opens; }
    void clearWritten();

private:
    bool m_open = false;
    int m_number = 0;
    bool m_refused = false;
    bool m_refuseNext = false;
    QString m_error;
    QList<int> m_present;
    QList<int> m_opens;
    QByteArray m_incoming;
    QByteArray m_written;
    QByteArray m_partial;
    QStringList m_lines;
    QList<qint64> m_lineTimes;
    QElapsedTimer m_clock;
    Script m_script;
};

} // namespace kz::test
