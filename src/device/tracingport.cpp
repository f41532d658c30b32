// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/tracingport.h"

#include "device/filewrite.h"
#include "device/pacing.h"
#include "device/systemserialport.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <tuple>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kz {

using wiretrace::Direction;

namespace {

// Room kept on the disk ahead of the trace, beside that of its last line.
constexpr qint64 kRoomAhead = 8192;

} // namespace

std::unique_ptr<TraceWriter> TraceWriter::create(const QString &path, const QString &port,
                                                 QString *error, qint64 maxBytes)
{
    return create(QFile::encodeName(path), port, error, maxBytes);
}

std::unique_ptr<TraceWriter> TraceWriter::create(const QByteArray &path, const QString &port,
                                                 QString *error, qint64 maxBytes)
{
    std::unique_ptr<TraceWriter> trace(new TraceWriter(maxBytes));
    trace->m_shownPath = readableFileName(path);
    auto refuse = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot write the trace %1: %2").arg(trace->m_shownPath, why);
        return nullptr;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("the file has no name"));
#ifdef Q_OS_UNIX
    // By its bytes: a name that is not UTF-8 would become another one on its
    // way through a QString. Not blocking: a pipe nobody reads would wait.
    const int fd = ::open(path.constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return refuse(errno == EISDIR ? QStringLiteral("it is a folder") : systemErrorText(errno));
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("it is not a regular file"));
    }
    // Unbuffered: every line reaches the system at once.
    if (!trace->m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                            QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(trace->m_file.errorString());
    }
#else
    trace->m_file.setFileName(QFile::decodeName(path));
    if (!trace->m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return refuse(trace->m_file.errorString());
#endif
    trace->m_lastLineRoom
        = wiretrace::noteLine(std::numeric_limits<qint64>::max(),
                              QStringLiteral("cannot write the trace %1: %2")
                                  .arg(trace->m_shownPath, QString(80, u'x')))
              .size();
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
    // The last line goes into the room kept for it.
    const QByteArray last = wiretrace::noteLine(m_clock.elapsed(), why);
#ifdef Q_OS_UNIX
    if (m_file.isOpen() && appendWhole(m_file.handle(), last) == 0)
        m_size += last.size();
#else
    m_file.write(last);
#endif
    m_ended = why;
    closeFile();
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

bool TraceWriter::keepRoom(qint64 bytes)
{
#ifdef Q_OS_LINUX
    if (m_roomTo < 0 || m_size + bytes + m_lastLineRoom <= m_roomTo)
        return true;
    const qint64 from = std::max(m_size, m_roomTo);
    // Some room ahead saves a call per line; near a full disk, only what
    // this line and the last one need.
    for (const qint64 to : {m_size + bytes + m_lastLineRoom + kRoomAhead,
                            m_size + bytes + m_lastLineRoom}) {
        int result;
        do
            result = ::fallocate(m_file.handle(), FALLOC_FL_KEEP_SIZE, from, to - from);
        while (result != 0 && errno == EINTR);
        if (result == 0) {
            m_roomTo = to;
            return true;
        }
        if (errno != ENOSPC)
            break;
    }
    // Where room cannot be kept ahead, a line cut by a full disk is taken
    // back after the write instead.
    if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) {
        m_roomTo = -1;
        return true;
    }
    return false;
#else
    Q_UNUSED(bytes);
    return true;
#endif
}

void TraceWriter::closeFile()
{
#ifdef Q_OS_LINUX
    // The room kept ahead goes back to the disk.
    if (m_file.isOpen() && m_roomTo > m_size)
        std::ignore = ::fallocate(m_file.handle(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                                  m_size, m_roomTo - m_size);
#endif
    m_file.close();
}

bool TraceWriter::putNow(const QByteArray &line)
{
    if (!m_file.isOpen())
        return false;
    int error = 0;
    if (!keepRoom(line.size())) {
        // The line is not begun: the room left is the last line's.
        error = errno;
    } else {
#ifdef Q_OS_UNIX
        error = appendWhole(m_file.handle(), line);
#else
        if (m_file.write(line) != line.size())
            error = EIO;
#endif
    }
    if (error == 0) {
        m_size += line.size();
        return true;
    }
    m_ended = QStringLiteral("cannot write the trace %1: %2").arg(path(), systemErrorText(error));
    // The last line says why, wherever there is room for it.
#ifdef Q_OS_UNIX
    const QByteArray last = wiretrace::noteLine(m_clock.elapsed(), m_ended);
    if (appendWhole(m_file.handle(), last) == 0)
        m_size += last.size();
#endif
    closeFile();
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
    connect(m_port, &SerialPort::notice, this, &SerialPort::notice);
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
