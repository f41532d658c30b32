// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/pluginsearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QPluginLoader>

#ifndef KZ_PLUGIN_DIR
#define KZ_PLUGIN_DIR ""
#endif
#ifndef KZ_INSTALLED_PLUGIN_DIR
#define KZ_INSTALLED_PLUGIN_DIR ""
#endif

namespace kz {

QStringList pluginSearchPath()
{
    QStringList dirs;
    const QString fromEnvironment = qEnvironmentVariable("KZ_PLUGIN_DIR");
    if (!fromEnvironment.isEmpty())
        dirs << QDir(fromEnvironment).absolutePath();
    const QString builtIn = QStringLiteral(KZ_PLUGIN_DIR);
    bool inBuildTree = true;
    if (QCoreApplication::instance()) {
        const QString programDir = QCoreApplication::applicationDirPath();
        dirs << programDir + QStringLiteral("/plugins");
        const QString installed = QStringLiteral(KZ_INSTALLED_PLUGIN_DIR);
        if (!installed.isEmpty())
            dirs << QDir::cleanPath(programDir + QLatin1Char('/') + installed);
        // An installed copy must not take a plugin from the folder it was
        // built in, of another version perhaps.
        const QString buildDir = QDir::cleanPath(builtIn + QStringLiteral("/.."));
        inBuildTree = programDir == buildDir || programDir.startsWith(buildDir + QLatin1Char('/'));
    }
    if (!builtIn.isEmpty() && inBuildTree)
        dirs << builtIn;
    dirs.removeDuplicates();
    return dirs;
}

QString pluginCandidate(const QString &dir, QLatin1StringView baseName, QLatin1StringView iid,
                        QStringList *problems)
{
    // Given a path without prefix and suffix, QPluginLoader adds the
    // platform's ("lib", ".so", ".dll", ...).
    const QPluginLoader loader(QDir(dir).absoluteFilePath(baseName));
    if (loader.fileName().isEmpty())
        return {}; // nothing there
    // A stale or foreign file costs nothing and runs no code.
    const QJsonObject metaData = loader.metaData();
    if (metaData.isEmpty()) {
        if (problems)
            problems->append(QStringLiteral("%1: %2").arg(loader.fileName(), loader.errorString()));
        return {};
    }
    const QString found = metaData.value(QStringLiteral("IID")).toString();
    if (found != iid) {
        if (problems)
            problems->append(
                QStringLiteral("%1: provides %2, not %3").arg(loader.fileName(), found, iid));
        return {};
    }
    return loader.fileName();
}

QString findPlugin(const QStringList &dirs, QLatin1StringView baseName, QLatin1StringView iid,
                   QStringList *problems)
{
    for (const QString &dir : dirs) {
        const QString file = pluginCandidate(dir, baseName, iid, problems);
        if (!file.isEmpty())
            return file;
    }
    return {};
}

} // namespace kz
