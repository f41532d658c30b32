// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/portlocator.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace kz {

PortLocator PortLocator::fromEnvironment()
{
    const QString dir = qEnvironmentVariable("KZ_PORT_DIR");
    return dir.isEmpty() ? forSystem() : forFolder(dir);
}

PortLocator PortLocator::forFolder(const QString &folder)
{
    PortLocator p;
    p.m_folder = folder;
    return p;
}

PortLocator PortLocator::forSystem()
{
    return PortLocator();
}

static bool isUsbPort(const QString &location)
{
    const QString name = QFileInfo(location).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"))
        || name.startsWith(QLatin1String("cu.usb")) || name.startsWith(QLatin1String("tty.usb"));
}

QStringList PortLocator::orderSystemPorts(QStringList locations)
{
    QCollator natural;
    natural.setNumericMode(true);
    std::stable_sort(locations.begin(), locations.end(), [&](const QString &a, const QString &b) {
        const bool ua = isUsbPort(a), ub = isUsbPort(b);
        if (ua != ub)
            return ua;
        return natural.compare(a, b) < 0;
    });
    return locations;
}

QString PortLocator::location(int portNumber) const
{
    if (portNumber < 1)
        return {};
    if (!m_folder.isEmpty()) {
        const QString entry = QDir(m_folder).filePath(QStringLiteral("COM%1").arg(portNumber));
        // Open the device behind the link: the lock file is then named after
        // the device itself, so two folders never collide on "COM1".
        const QString target = QFileInfo(entry).canonicalFilePath();
        return target;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    QStringList all;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        all << info.systemLocation();
    all = orderSystemPorts(all);
    return portNumber <= all.size() ? all.at(portNumber - 1) : QString();
#endif
}

} // namespace kz
