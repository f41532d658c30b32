// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/portlock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kz {

#ifdef Q_OS_UNIX
namespace {

bool processLives(qint64 pid)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Lock files follow the UUCP convention: LCK.. and the device's path below
// /dev with slashes made underscores, holding the owner's process id first.
qint64 lockFileOwner(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(u'/', u'_');
    for (const char *folder : {"/run/lock", "/var/lock"}) {
        QFile lock(QString::fromLatin1(folder) + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 pid = lock.readLine(32).trimmed().toLongLong(&ok);
        if (ok && processLives(pid))
            return pid;
    }
    return 0;
}

} // namespace

PortHolder findPortHolder(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return {};
    if (const qint64 pid = lockFileOwner(device))
        return {true, pid};
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return {errno == EBUSY, 0}; // exclusive mode, for anyone but root
    PortHolder holder;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        holder.held = errno == EWOULDBLOCK;
    } else {
        ::flock(fd, LOCK_UN);
#ifdef TIOCGEXCL
        int exclusive = 0;
        holder.held = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#endif
    }
    ::close(fd);
    return holder;
}

bool lockOpenPort(int descriptor)
{
    return descriptor < 0 || ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}
#else
PortHolder findPortHolder(const QString &)
{
    return {};
}

bool lockOpenPort(int)
{
    return true;
}
#endif

} // namespace kz
