// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/systemserialport.h"

#include "device/pacing.h"
#include "device/portlock.h"

#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace kz {

namespace {
constexpr int kHangUpCheckMs = 200; // as often as the receive loop reads
} // namespace

SystemSerialPort::SystemSerialPort(PortLocator locator, QObject *parent)
    : SerialPort(parent), m_locator(std::move(locator)), m_port(new QSerialPort(this)),
      m_hangUpWatch(new QTimer(this))
{
    m_port->setReadBufferSize(0); // everything the device sends is kept until read
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(static_cast<int>(e)); });
    // An unplugged adapter (or the closed far end of a pseudo-terminal) hangs
    // the terminal up, and reads then find an empty end of file. Qt 6.4 takes
    // that for a read error; Qt 6.8 says nothing until a write fails, so a KZ
    // unplugged while the program only listens would go unnoticed. The
    // descriptor's own state tells on either.
    m_hangUpWatch->setInterval(Pacing::scaled(kHangUpCheckMs));
    connect(m_hangUpWatch, &QTimer::timeout, this, &SystemSerialPort::checkHangUp);
}

SystemSerialPort::~SystemSerialPort() = default;

// Each text names the port first: the search lists them as they stand.
static QString openFailureText(int portNumber, const QString &location,
                               QSerialPort::SerialPortError error, const QString &detail)
{
    const QString port = QStringLiteral("Port # %1").arg(portNumber);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: %2 does not exist").arg(port, location);
    case QSerialPort::PermissionError:
#ifdef Q_OS_LINUX
        return QStringLiteral("%1: %2 is not permitted (%3); on Linux join the group that "
                              "owns it (dialout on Debian and Ubuntu: sudo usermod -aG dialout "
                              "$USER) and log in again")
            .arg(port, location, detail);
#else
        return QStringLiteral("%1: %2 is not permitted (%3)").arg(port, location, detail);
#endif
    default:
        return QStringLiteral("%1: %2: %3").arg(port, location, detail);
    }
}

static QString inUseText(int portNumber, qint64 pid)
{
    QString text = QStringLiteral("Port # %1 is in use by another program").arg(portNumber);
    if (pid > 0)
        text += QStringLiteral(" (process %1)").arg(pid);
    return text;
}

bool SystemSerialPort::open(int portNumber)
{
    close();
    m_portNumber = portNumber;
    m_refused = false;
    const QString location = m_locator.location(portNumber);
    if (location.isEmpty()) {
        m_errorText = QStringLiteral("there is no port #%1").arg(portNumber);
        return false;
    }
    // Looked at before opening: root is not stopped by the terminal's
    // exclusive mode, and two programs on one port split the KZ's answers.
    const PortHolder holder = findPortHolder(location);
    if (holder.held) {
        m_refused = true;
        m_errorText = inUseText(portNumber, holder.pid);
        return false;
    }
    m_port->setPortName(location);
    m_port->setBaudRate(QSerialPort::Baud19200);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_refused = m_port->error() == QSerialPort::PermissionError;
        m_errorText =
            openFailureText(portNumber, location, m_port->error(), m_port->errorString());
        m_port->clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    // Others who look for an advisory lock see the port taken; one who took
    // it since the look above keeps it.
    if (!lockOpenPort(m_port->handle())) {
        m_port->close();
        m_refused = true;
        m_errorText = inUseText(portNumber, 0);
        return false;
    }
#endif
    m_port->clearError();
    m_errorText.clear();
#ifdef Q_OS_UNIX
    m_hangUpWatch->start();
#endif
    if (holder.staleExclusiveCleared)
        emit notice(QStringLiteral("Port # %1 (%2) was left reserved by a program that has "
                                   "ended; the reservation was cleared")
                        .arg(portNumber)
                        .arg(location));
    return true;
}

void SystemSerialPort::close()
{
    m_hangUpWatch->stop();
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

bool SystemSerialPort::isOpen() const
{
    return m_port->isOpen();
}

void SystemSerialPort::write(const QByteArray &data)
{
    if (m_port->isOpen())
        m_port->write(data);
}

QByteArray SystemSerialPort::readAll()
{
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

void SystemSerialPort::onError(int error)
{
    const auto e = static_cast<QSerialPort::SerialPortError>(error);
    // A vanished device raises ReadError over and over while the port stays
    // open; close once and tell the window. Other errors (a pty refusing
    // modem lines, a timeout) leave the port usable.
    if ((e != QSerialPort::ReadError && e != QSerialPort::ResourceError
         && e != QSerialPort::WriteError)
        || !m_port->isOpen())
        return;
    gone(m_port->errorString(), e == QSerialPort::WriteError
                                    ? QStringLiteral("the device took no more text")
                                    : QStringLiteral("the device was unplugged"));
}

void SystemSerialPort::checkHangUp()
{
#ifdef Q_OS_UNIX
    if (!m_port->isOpen())
        return;
    pollfd fd {static_cast<int>(m_port->handle()), POLLIN, 0};
    if (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        gone(QStringLiteral("the terminal hung up"), QStringLiteral("the device was unplugged"));
#endif
}

void SystemSerialPort::gone(const QString &detail, const QString &reason)
{
    m_errorText = QStringLiteral("%1: %2").arg(m_port->portName(), detail);
    close();
    emit lost(reason);
}

} // namespace kz
