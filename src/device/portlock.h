// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kz {

// Another program that holds a serial port: found before opening it, since
// the terminal's exclusive mode does not stop root, and a second open would
// make two programs share the device's lines.
struct PortHolder {
    bool held = false;
    // The process a lock file names, 0 when the lock does not say.
    qint64 pid = 0;
};

// Looks for an advisory lock (flock), the terminal's exclusive mode and a
// lock file naming a live process other than this one.
PortHolder findPortHolder(const QString &path);

// While this program has the port open, others that look for an advisory
// lock see it taken. Returns false when another program holds that lock.
bool lockOpenPort(int descriptor);

} // namespace kz
