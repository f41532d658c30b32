// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kz {

class BrowserPlugin;
class BrowserView;

// To be called by main(), before or after the QApplication is made. Sets the
// environment Qt WebEngine reads when it is loaded: as root its sandbox
// refuses to start unless told not to run. Creates nothing and costs nothing
// at start.
void prepareBrowserEnvironment();

// Makes sure Qt's global shared OpenGL context exists, which Qt WebEngine
// needs and Qt makes at start only when Qt::AA_ShareOpenGLContexts was set
// before the application. Made here, on first need, the GL driver stays out of
// a program that never shows a web page. Needs a QGuiApplication and its
// thread; returns false without one, or where Qt has no OpenGL.
bool provideSharedOpenGLContext();

// The embedded browser from the "kzwebbrowser" plugin when it can be loaded,
// else the view that hands the address to the system's browser. The
// environment variable KZ_NO_WEBENGINE (set to anything but 0) forces the
// latter. The first successful plugin load is kept for the life of the
// program: Qt WebEngine cannot be unloaded.
BrowserView *createBrowserView(QWidget *parent);

// Whether an earlier createBrowserView() loaded the plugin, and from where.
bool browserPluginLoaded();
QString browserPluginPath();

// Where the plugin is looked for: pluginSearchPath().
QStringList browserPluginSearchPath();

// The file loadBrowserPlugin() would try first: the first in dirs whose
// metadata names the browser interface. Reads no more than that metadata.
QString findBrowserPlugin(const QStringList &dirs);

// Loads the plugin from the first of dirs that holds a usable one, without
// keeping anything. On failure returns null and, when a candidate file was
// found but refused, says why in *error. Provides the shared OpenGL context
// just before it loads a library.
BrowserPlugin *loadBrowserPlugin(const QStringList &dirs, QString *path = nullptr,
                                 QString *error = nullptr);

} // namespace kz
