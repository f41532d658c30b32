// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/portlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

qint64 findDeviceUser(const QString &devicePath)
{
    struct stat device { };
    const QByteArray encoded = QFile::encodeName(devicePath);
    if (::stat(encoded.constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return 0;
    // A pseudo-terminal's other side is found by its index.
    const QString ptsPrefix = QStringLiteral("/dev/pts/");
    const QByteArray ptyIndex = devicePath.startsWith(ptsPrefix)
        ? devicePath.mid(ptsPrefix.size()).toLatin1()
        : QByteArray();
    const qint64 self = QCoreApplication::applicationPid();
    QDir proc(QStringLiteral("/proc"));
    const QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pidText : pids) {
        bool isPid = false;
        const qint64 pid = pidText.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(pid);
        bool usesDevice = false;
        bool otherSide = false;
        const QStringList fds = QDir(fdFolder).entryList(QDir::AllEntries | QDir::System
                                                         | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            struct stat open { };
            const QByteArray link = QFile::encodeName(fdFolder + u'/' + fd);
            if (::stat(link.constData(), &open) != 0 || !S_ISCHR(open.st_mode))
                continue;
            if (open.st_rdev == device.st_rdev) {
                usesDevice = true;
            } else if (!ptyIndex.isEmpty()) {
                QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
                if (info.open(QIODevice::ReadOnly)
                    && info.readAll().contains("\ntty-index:\t" + ptyIndex + '\n'))
                    otherSide = true;
            }
        }
        if (usesDevice && !otherSide && processLives(pid))
            return pid;
    }
    return 0;
}

PortHolder findPortHolder(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return {};
    if (const qint64 pid = lockFileOwner(device))
        return {true, pid};
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        // Exclusive mode stops all but root, who alone could switch it off.
        if (errno == EBUSY)
            return {true, findDeviceUser(device)};
        return {};
    }
    PortHolder holder;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        holder.held = errno == EWOULDBLOCK;
    } else {
        ::flock(fd, LOCK_UN);
#if defined(TIOCGEXCL) && defined(TIOCNXCL)
        int exclusive = 0;
        if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            holder.pid = findDeviceUser(device);
            holder.held = holder.pid != 0;
            // Left by a program that is gone: nobody's any more.
            if (!holder.held)
                holder.staleExclusiveCleared = ::ioctl(fd, TIOCNXCL) == 0;
        }
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

qint64 findDeviceUser(const QString &)
{
    return 0;
}

bool lockOpenPort(int)
{
    return true;
}
#endif

} // namespace kz
