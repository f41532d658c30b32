#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kz {

class BrowserPlugin;
class BrowserView;

// To be called by main() before the QApplication exists. Qt WebEngine, when it
// arrives in a plugin, needs shared OpenGL contexts requested up front, and as
// root its sandbox refuses to start unless told not to run.
void prepareBrowserEnvironment();

// The embedded browser from the "kzwebbrowser" plugin when it can be loaded,
// else the view that hands the address to the system's browser. The
// environment variable KZ_NO_WEBENGINE (set to anything but 0) forces the
// latter. The first successful plugin load is kept for the life of the
// program: Qt WebEngine cannot be unloaded.
BrowserView *createBrowserView(QWidget *parent);

// Whether an earlier createBrowserView() loaded the plugin, and from where.
bool browserPluginLoaded();
QString browserPluginPath();

// Where the plugin is looked for, in order: $KZ_PLUGIN_DIR, "plugins" beside
// the program, and the build's plugin folder.
QStringList browserPluginSearchPath();

// Loads the plugin from the first of dirs that holds a usable one, without
// keeping anything. On failure returns null and, when a candidate file was
// found but refused, says why in *error. Refuses to load Qt WebEngine into an
// application created without prepareBrowserEnvironment().
BrowserPlugin *loadBrowserPlugin(const QStringList &dirs, QString *path = nullptr,
                                 QString *error = nullptr);

} // namespace kz
