// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kz {

// Another program that holds a serial port: found before opening it, since
// the terminal's exclusive mode does not stop root, and a second open would
// make two programs share the device's lines.
struct PortHolder {
    bool held = false;
    // The process found holding it, 0 when the lock does not say.
    qint64 pid = 0;
    // The terminal's exclusive mode was on with no live process holding the
    // port (a program that held it was killed, and a pseudo-terminal keeps
    // the mode while its other side is open); it has been switched off.
    bool staleExclusiveCleared = false;
};

// A port is held by a live process other than this one: a lock file names
// it, it holds an advisory lock (flock), or, where the terminal is in its
// exclusive mode, it has the device open. The process that holds a
// pseudo-terminal's other side is the device's end, not a holder.
PortHolder findPortHolder(const QString &path);

// A live process other than this one with the device open, other than one
// at a pseudo-terminal's other side; 0 when there is none this process can
// see.
qint64 findDeviceUser(const QString &devicePath);

// While this program has the port open, others that look for an advisory
// lock see it taken. Returns false when another program holds that lock.
bool lockOpenPort(int descriptor);

} // namespace kz
