// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace kz {

// SIGTERM (a logout, `kill`, a service manager), SIGINT and SIGHUP close the
// window as the user closing it would: waits released, the port closed and
// its lock file gone, the log on disk. Where the system has no such signals
// this does nothing.
void closeOnEndSignals(QWidget *window);

} // namespace kz
