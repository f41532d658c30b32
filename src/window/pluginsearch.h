// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kz {

// Where the program's plugins (the embedded browser, the readings plot) are
// looked for, in order: $KZ_PLUGIN_DIR, "plugins" beside the program, the
// installed plugin folder relative to the program's (../lib/kz/plugins from
// bin/), and, for a program in the build tree (the tests), the build's plugin
// folder.
QStringList pluginSearchPath();

// The plugin file `baseName` in dir when its metadata, read without loading
// it, names the interface `iid`; else empty, with the reason added to
// problems when there was a file.
QString pluginCandidate(const QString &dir, QLatin1StringView baseName, QLatin1StringView iid,
                        QStringList *problems);

// The first candidate in dirs; empty when there is none.
QString findPlugin(const QStringList &dirs, QLatin1StringView baseName, QLatin1StringView iid,
                   QStringList *problems = nullptr);

} // namespace kz
