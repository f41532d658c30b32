// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/serialport.h"
#include "device/wiretrace.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>

namespace kz {

// A trace file being written. Each line goes to the system as it is written,
// so a crash of the program loses none of it, and goes whole or not at all.
// At its size limit, or when the disk is full, the trace ends with a line
// that says why: room for that line is kept ahead of the file's end.
class TraceWriter {
public:
    static constexpr qint64 kMaxBytes = 100'000'000;

    // Creates (or empties) the file, writes the header naming the port and
    // starts the clock of the events. Empty, with the reason, when the file
    // cannot be written.
    static std::unique_ptr<TraceWriter> create(const QString &path, const QString &port,
                                               QString *error, qint64 maxBytes = kMaxBytes);

    // Opens the file by its name's bytes, as the system gives them.
    static std::unique_ptr<TraceWriter> create(const QByteArray &path, const QString &port,
                                               QString *error, qint64 maxBytes = kMaxBytes);

    // The name as the user reads it.
    QString path() const { return m_shownPath; }
    void event(wiretrace::Direction direction, QByteArrayView bytes);
    void note(const QString &text);
    // Ends the trace with a last note; nothing is written after it.
    void end(const QString &why);
    // Why the trace ended by itself (its limit, a failed write); empty while
    // it runs.
    QString endedBecause() const { return m_ended; }
    bool isRunning() const { return m_ended.isEmpty(); }

private:
    explicit TraceWriter(qint64 maxBytes);
    void put(const QByteArray &line);
    bool putNow(const QByteArray &line);
    // Keeps room for `bytes` and the last line past the file's end; false
    // when the disk has no more room.
    bool keepRoom(qint64 bytes);
    void closeFile();

    QFile m_file;
    QString m_shownPath;
    qint64 m_lastLineRoom = 0;
    // The end of the room kept on the disk; -1 where the file system keeps
    // none ahead of a file's end.
    qint64 m_roomTo = 0;
    QElapsedTimer m_clock;
    qint64 m_maxBytes;
    QString m_limitNote;
    qint64 m_limitReserve;
    qint64 m_size = 0;
    QString m_ended;
};

// The port the window talks through, recording what crosses the wire when a
// trace runs: every line written and every chunk read, as it happens, and
// each port opened. With no trace running it only passes calls on.
class TracingPort : public SerialPort {
    Q_OBJECT
public:
    // Takes the port over.
    explicit TracingPort(SerialPort *port, QObject *parent = nullptr);
    ~TracingPort() override;

    bool open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return m_port->isOpen(); }
    int portNumber() const override { return m_port->portNumber(); }
    void write(const QByteArray &data) override;
    QByteArray readAll() override;
    QString errorText() const override { return m_port->errorText(); }
    bool lastOpenRefused() const override { return m_port->lastOpenRefused(); }

    // The port open, as a trace's header names it.
    QString description() const;
    // Records into the trace from now on, ending one that runs.
    void startTrace(std::unique_ptr<TraceWriter> trace);
    // Ends the trace with a line that says the user stopped it.
    void stopTrace();
    bool isTracing() const { return m_trace != nullptr; }
    QString tracePath() const { return m_trace ? m_trace->path() : QString(); }

signals:
    // The trace ended by itself (its size limit, a failed write).
    void traceEnded(const QString &why);

private:
    void record(wiretrace::Direction direction, const QByteArray &bytes);
    void checkTrace();
    QString location(int portNumber) const;

    SerialPort *m_port;
    std::unique_ptr<TraceWriter> m_trace;
};

} // namespace kz
