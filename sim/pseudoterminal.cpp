// SPDX-License-Identifier: GPL-3.0-or-later
#include "pseudoterminal.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kz::sim {

namespace {

// Only reached if the master reports a hang-up despite the slave held open.
constexpr int kResumeAfterHangUpMs = 200;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString errnoText(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent)
{
}

PseudoTerminal::~PseudoTerminal()
{
    for (const QString &link : std::as_const(m_links)) {
        // Another device may have taken the name over since.
        if (QFileInfo(link).symLinkTarget() == m_slavePath)
            QFile::remove(link);
    }
    closeAll();
}

bool PseudoTerminal::start(QString *error)
{
    if (isRunning())
        return true;

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        setError(error, errnoText("openpty"));
        return false;
    }

    termios settings {};
    bool ok = ::tcgetattr(slave, &settings) == 0;
    if (ok) {
        // Without raw mode the slave would echo the device's own answers
        // back to it as if the program had sent them.
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B19200);
        ::cfsetospeed(&settings, B19200);
        ok = ::tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    const int flags = ok ? ::fcntl(master, F_GETFL) : -1;
    ok = ok && flags >= 0 && ::fcntl(master, F_SETFL, flags | O_NONBLOCK) == 0
        && ::fcntl(master, F_SETFD, FD_CLOEXEC) == 0 && ::fcntl(slave, F_SETFD, FD_CLOEXEC) == 0;
    if (!ok) {
        setError(error, errnoText("pseudo-terminal set-up"));
        ::close(master);
        ::close(slave);
        return false;
    }

    m_masterFd = master;
    m_slaveFd = slave;
    m_slavePath = QString::fromLocal8Bit(name);

    m_readNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    m_writeNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::flushOutput);
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setSingleShot(true);
    m_resumeTimer->setInterval(kResumeAfterHangUpMs);
    connect(m_resumeTimer, &QTimer::timeout, this, &PseudoTerminal::resumeReading);
    return true;
}

bool PseudoTerminal::linkAs(const QString &folder, int portNumber, QString *error)
{
    if (!isRunning()) {
        setError(error, QStringLiteral("the pseudo-terminal is not started"));
        return false;
    }
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("cannot create %1").arg(folder));
        return false;
    }
    const QString link = QDir(folder).absoluteFilePath(QStringLiteral("COM%1").arg(portNumber));
    const QByteArray linkName = QFile::encodeName(link);

    // lstat, because a link left by a device that died points nowhere and
    // QFileInfo::exists() would call it absent.
    struct stat info { };
    if (::lstat(linkName.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            setError(error, QStringLiteral("%1 exists and is not a link").arg(link));
            return false;
        }
        if (::unlink(linkName.constData()) != 0) {
            setError(error, errnoText("unlink"));
            return false;
        }
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), linkName.constData()) != 0) {
        setError(error, errnoText("symlink"));
        return false;
    }
    if (!m_links.contains(link))
        m_links.append(link);
    return true;
}

void PseudoTerminal::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_masterFd, buffer, sizeof buffer);
        if (count > 0) {
            emit received(QByteArray(buffer, count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        // A hang-up stays readable for ever; stop listening for a while
        // rather than spin on it.
        m_readNotifier->setEnabled(false);
        m_resumeTimer->start();
        return;
    }
}

void PseudoTerminal::resumeReading()
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    if (!isRunning())
        return;
    m_pendingOutput += bytes;
    flushOutput();
}

void PseudoTerminal::flushOutput()
{
    while (!m_pendingOutput.isEmpty()) {
        const ssize_t count
            = ::write(m_masterFd, m_pendingOutput.constData(), m_pendingOutput.size());
        if (count > 0) {
            m_pendingOutput.remove(0, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN) {
            // The program is not reading: finish when the queue has room.
            m_writeNotifier->setEnabled(true);
            return;
        }
        qWarning("cannot write to the pseudo-terminal: %s", std::strerror(errno));
        m_pendingOutput.clear();
        break;
    }
    m_writeNotifier->setEnabled(false);
}

void PseudoTerminal::closeAll()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_masterFd = -1;
    m_slaveFd = -1;
}

} // namespace kz::sim
