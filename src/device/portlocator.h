// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kz {

// Turns the user's port numbers 1 to 30 into system port locations.
//
// - KZ_PORT_DIR set: port n is the entry "COMn" in that folder (a link to a
//   serial device or a pseudo-terminal); a missing entry cannot be opened.
// - Windows: port n is "COMn".
// - Linux and macOS: port n is the n-th serial port the system lists, USB
//   adapters first (ttyUSB, ttyACM, cu.usb...), then the others, each group
//   in natural name order (ttyS2 before ttyS10).
class PortLocator {
public:
    // Uses KZ_PORT_DIR from the environment when it is set.
    static PortLocator fromEnvironment();
    static PortLocator forFolder(const QString &folder);
    static PortLocator forSystem();

    // Empty when the number names no port.
    QString location(int portNumber) const;
    QString folder() const { return m_folder; }

    // The ordering rule applied to a list of system port locations.
    static QStringList orderSystemPorts(QStringList locations);

private:
    QString m_folder;
};

} // namespace kz
