// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/browser/browserfactory.h"

#include "window/browser/browserview.h"
#include "window/browser/externalbrowserview.h"
#include "window/pluginsearch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPluginLoader>
#include <QtGlobal>
#include <QtGui/qtguiglobal.h>
#if QT_CONFIG(opengl)
#include <QOpenGLContext>

// Exported by Qt GUI but declared only in its private headers: the setter
// behind QOpenGLContext::globalShareContext().
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kz {

namespace {

constexpr auto kPluginBaseName = "kzwebbrowser";

BrowserPlugin *g_plugin = nullptr;
QString g_pluginPath;

bool webEngineDisabled()
{
    const QByteArray value = qgetenv("KZ_NO_WEBENGINE").trimmed();
    return !value.isEmpty() && value != "0";
}

QString candidateIn(const QString &dir, QStringList *problems)
{
    return pluginCandidate(dir, QLatin1StringView(kPluginBaseName),
                           QLatin1StringView(KZ_BROWSER_PLUGIN_IID), problems);
}

} // namespace

void prepareBrowserEnvironment()
{
#ifdef Q_OS_UNIX
    const bool sandboxTurnedOff = qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")
        || qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox");
    // An explicit setting by the user, even "0", is left alone.
    if (geteuid() == 0 && !sandboxTurnedOff)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    // The browser draws through Qt Quick, which must then use OpenGL; the
    // program links no Qt Quick to say so in code. Linux defaults to OpenGL,
    // other systems do not.
    if (!qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        qputenv("QSG_RHI_BACKEND", "opengl");
    // Deliberately not Qt::AA_ShareOpenGLContexts: set before the application
    // exists, it makes Qt create an OpenGL context at start, which loads the
    // whole GL driver (some 60 MB with Mesa) before anything is drawn.
    // provideSharedOpenGLContext() creates that context when it is needed.
}

bool provideSharedOpenGLContext()
{
#if QT_CONFIG(opengl)
    if (QOpenGLContext::globalShareContext())
        return true;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    // As Qt does at start when asked to: the context is installed even if it
    // cannot be created (no OpenGL, as offscreen), and Qt WebEngine then draws
    // without a GPU. Without any context it crashes on its first page.
    auto *context = new QOpenGLContext;
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    qt_gl_set_global_share_context(context);
    // Post routines run in reverse order of registration, so this one comes
    // after Qt WebEngine, loaded later, has let go of the context.
    qAddPostRoutine([] {
        delete QOpenGLContext::globalShareContext();
        qt_gl_set_global_share_context(nullptr);
    });
    return true;
#else
    return false;
#endif
}

QStringList browserPluginSearchPath()
{
    return pluginSearchPath();
}

QString findBrowserPlugin(const QStringList &dirs)
{
    return findPlugin(dirs, QLatin1StringView(kPluginBaseName),
                      QLatin1StringView(KZ_BROWSER_PLUGIN_IID));
}

BrowserPlugin *loadBrowserPlugin(const QStringList &dirs, QString *path, QString *error)
{
    QStringList problems;
    for (const QString &dir : dirs) {
        const QString file = candidateIn(dir, &problems);
        if (file.isEmpty())
            continue;
        // Qt WebEngine needs the shared context before its first page, and
        // looks for it as soon as it is loaded.
        if (!provideSharedOpenGLContext()) {
            problems << QStringLiteral("%1: not loaded, as there is no shared OpenGL context "
                                       "for Qt WebEngine")
                            .arg(file);
            break;
        }
        QPluginLoader loader(file);
        auto *plugin = qobject_cast<BrowserPlugin *>(loader.instance());
        if (!plugin) {
            problems << QStringLiteral("%1: %2").arg(file, loader.errorString());
            continue;
        }
        if (path)
            *path = file;
        if (error)
            error->clear();
        return plugin;
    }
    if (error)
        *error = problems.join(QLatin1Char('\n'));
    return nullptr;
}

BrowserView *createBrowserView(QWidget *parent)
{
    if (webEngineDisabled())
        return new ExternalBrowserView(parent);
    if (!g_plugin) {
        QString error;
        g_plugin = loadBrowserPlugin(browserPluginSearchPath(), &g_pluginPath, &error);
        // A missing plugin is an ordinary build without WebEngine; a plugin
        // that is there but refuses to load deserves a word.
        if (!g_plugin && !error.isEmpty())
            qWarning("Embedded web browser unavailable:\n%s", qPrintable(error));
    }
    if (g_plugin) {
        if (BrowserView *view = g_plugin->createView(parent))
            return view;
    }
    return new ExternalBrowserView(parent);
}

bool browserPluginLoaded()
{
    return g_plugin != nullptr;
}

QString browserPluginPath()
{
    return g_pluginPath;
}

} // namespace kz
