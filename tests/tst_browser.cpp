// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/browser/browserfactory.h"
#include "window/browser/browserview.h"
#include "window/browser/sites.h"
#include "xserver.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QOpenGLContext>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using kz::BrowserView;
using kz::SiteSettings;
using LoadState = kz::BrowserView::LoadState;

namespace {

// Sets or clears one environment variable for a scope, then puts back what
// was there, so no case leaks settings into the next.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char *name, std::optional<QByteArray> value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_saved = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentOverride()
    {
        if (m_saved)
            qputenv(m_name, *m_saved);
        else
            qunsetenv(m_name);
    }
    Q_DISABLE_COPY_MOVE(EnvironmentOverride)

private:
    const char *m_name;
    std::optional<QByteArray> m_saved;
};

// Stands in for the system's web browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void open(const QUrl &url) { opened << url; }
    QList<QUrl> opened;
};

QString plainText(const QString &richText)
{
    QTextDocument document;
    document.setHtml(richText);
    return document.toPlainText();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QString builtPluginDir()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../plugins"));
}

bool pluginWasBuilt()
{
    return !QDir(builtPluginDir())
                .entryList({QStringLiteral("libkzwebbrowser*"), QStringLiteral("kzwebbrowser*")},
                           QDir::Files)
                .isEmpty();
}

constexpr int kLoadTimeoutMs = 20000;

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void siteHosts_data();
    void siteHosts();
    void siteAddresses();
    void environmentPreparation();
    void pluginSearchPath();
    void pluginLoading();
    void fallbackView();
    void embeddedView();
    void firstPaintOnRealDisplay();
};

void TestBrowser::siteHosts_data()
{
    QTest::addColumn<std::optional<QByteArray>>("siteEnv");
    QTest::addColumn<std::optional<QByteArray>>("pdfEnv");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("siteHost");
    QTest::addColumn<QString>("pdfHost");

    const std::optional<QByteArray> unset;
    const QString program = QStringLiteral("kz");
    QTest::newRow("defaults") << unset << unset << QStringList {program} << "www.example.com"
                              << "www.example.org";
    QTest::newRow("environment") << std::optional<QByteArray>("site.test")
                                 << std::optional<QByteArray>("pdf.test") << QStringList {program}
                                 << "site.test"
                                 << "pdf.test";
    QTest::newRow("separate argument")
        << unset << unset << QStringList {program, "--site-host", "a.test", "--pdf-host", "b.test"}
        << "a.test"
        << "b.test";
    QTest::newRow("joined argument")
        << unset << unset << QStringList {program, "--pdf-host=b.test", "--site-host=a.test"}
        << "a.test"
        << "b.test";
    QTest::newRow("argument beats environment")
        << std::optional<QByteArray>("site.test") << std::optional<QByteArray>("pdf.test")
        << QStringList {program, "--site-host=a.test"} << "a.test"
        << "pdf.test";
    QTest::newRow("last argument wins")
        << unset << unset << QStringList {program, "--site-host=a.test", "--site-host", "c.test"}
        << "c.test"
        << "www.example.org";
    QTest::newRow("missing value keeps next option")
        << unset << unset << QStringList {program, "--site-host", "--pdf-host", "b.test"}
        << "www.example.com"
        << "b.test";
    QTest::newRow("blank values ignored")
        << std::optional<QByteArray>("site.test") << std::optional<QByteArray>("  ")
        << QStringList {program, "--site-host="} << "site.test"
        << "www.example.org";
    QTest::newRow("other options left alone")
        << unset << unset
        << QStringList {program, "--simulate", "--site-hostile=x", "--pdf-host", "b.test"}
        << "www.example.com"
        << "b.test";
    QTest::newRow("program name is not an option")
        << unset << unset << QStringList {"--site-host=a.test"} << "www.example.com"
        << "www.example.org";
}

void TestBrowser::siteHosts()
{
    QFETCH(std::optional<QByteArray>, siteEnv);
    QFETCH(std::optional<QByteArray>, pdfEnv);
    QFETCH(QStringList, args);
    QFETCH(QString, siteHost);
    QFETCH(QString, pdfHost);

    EnvironmentOverride site("KZ_SITE_HOST", siteEnv);
    EnvironmentOverride pdf("KZ_PDF_HOST", pdfEnv);
    const SiteSettings settings = SiteSettings::fromEnvironmentAndArguments(args);
    QCOMPARE(settings.siteHost, siteHost);
    QCOMPARE(settings.pdfHost, pdfHost);
}

void TestBrowser::siteAddresses()
{
    const SiteSettings defaults;
    QCOMPARE(defaults.devicePage(), QUrl("http://www.example.com/kz"));
    QCOMPARE(defaults.homePage(), QUrl("http://www.example.com/"));
    QCOMPARE(defaults.helpPdf(), QUrl("http://www.example.org/KZM.pdf"));

    // The paths stay fixed whatever the hosts, and a port passes through.
    SiteSettings local;
    local.siteHost = QStringLiteral("localhost:8080");
    local.pdfHost = QStringLiteral("docs.test");
    QVERIFY(local.devicePage().isValid());
    QCOMPARE(local.devicePage().host(), QStringLiteral("localhost"));
    QCOMPARE(local.devicePage().port(), 8080);
    QCOMPARE(local.devicePage().path(), QStringLiteral("/kz"));
    QCOMPARE(local.homePage(), QUrl("http://localhost:8080/"));
    QCOMPARE(local.helpPdf(), QUrl("http://docs.test/KZM.pdf"));
}

void TestBrowser::environmentPreparation()
{
    // main() below prepared the environment before the application existed,
    // as the program does, and that made nothing that loads the GL driver:
    // the shared context comes with the embedded browser.
    QVERIFY(!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    QVERIFY(!QOpenGLContext::globalShareContext());
    {
        EnvironmentOverride backend("QSG_RHI_BACKEND", std::nullopt);
        kz::prepareBrowserEnvironment();
        QCOMPARE(qgetenv("QSG_RHI_BACKEND"), QByteArray("opengl"));
    }
    {
        EnvironmentOverride backend("QSG_RHI_BACKEND", QByteArray("vulkan"));
        kz::prepareBrowserEnvironment();
        QCOMPARE(qgetenv("QSG_RHI_BACKEND"), QByteArray("vulkan"));
    }

#ifdef Q_OS_UNIX
    const bool root = geteuid() == 0;
    {
        EnvironmentOverride sandbox("QTWEBENGINE_DISABLE_SANDBOX", std::nullopt);
        EnvironmentOverride flags("QTWEBENGINE_CHROMIUM_FLAGS", std::nullopt);
        kz::prepareBrowserEnvironment();
        if (root)
            QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1"));
        else
            QVERIFY(!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
    }
    {
        // Users who turned the sandbox off another way, or who insist on it,
        // keep their choice.
        EnvironmentOverride sandbox("QTWEBENGINE_DISABLE_SANDBOX", std::nullopt);
        EnvironmentOverride flags("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray("--no-sandbox"));
        kz::prepareBrowserEnvironment();
        QVERIFY(!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
    }
    {
        EnvironmentOverride sandbox("QTWEBENGINE_DISABLE_SANDBOX", QByteArray("0"));
        kz::prepareBrowserEnvironment();
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("0"));
    }
#endif
}

void TestBrowser::pluginSearchPath()
{
    const QString besideProgram
        = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    {
        EnvironmentOverride dir("KZ_PLUGIN_DIR", std::nullopt);
        const QStringList path = kz::browserPluginSearchPath();
        QVERIFY(!path.isEmpty());
        QCOMPARE(path.first(), besideProgram);
        // Then where an installed program keeps it, relative to its own
        // folder; the build's own folder comes last, so an installed copy wins.
        QVERIFY2(path.size() == 3, qPrintable(path.join(QLatin1Char(' '))));
        QVERIFY(path.at(1).endsWith(QStringLiteral("/kz/plugins")));
        QVERIFY(QDir::isAbsolutePath(path.at(1)));
        QVERIFY(path.last().endsWith(QStringLiteral("/plugins")));
        QVERIFY(QDir::isAbsolutePath(path.last()));
    }
    {
        QTemporaryDir chosen;
        QVERIFY(chosen.isValid());
        EnvironmentOverride dir("KZ_PLUGIN_DIR", chosen.path().toLocal8Bit());
        const QStringList path = kz::browserPluginSearchPath();
        QCOMPARE(path.size(), 4);
        QCOMPARE(path.at(0), chosen.path());
        QCOMPARE(path.at(1), besideProgram);
    }
    {
        // A relative setting would otherwise depend on the current folder at
        // the moment the About page is first shown.
        EnvironmentOverride dir("KZ_PLUGIN_DIR", QByteArray("relative/plugins"));
        QCOMPARE(kz::browserPluginSearchPath().first(),
                 QDir::current().absoluteFilePath(QStringLiteral("relative/plugins")));
    }
}

void TestBrowser::pluginLoading()
{
    QTemporaryDir empty;
    QTemporaryDir broken;
    QVERIFY(empty.isValid() && broken.isValid());
    const QString brokenFile = broken.filePath(QStringLiteral("libkzwebbrowser.so"));
    QVERIFY(writeFile(brokenFile, "this is not a library\n"));

    QString path = QStringLiteral("untouched");
    QString error = QStringLiteral("untouched");
    QVERIFY(!kz::loadBrowserPlugin({empty.path()}, &path, &error));
    QVERIFY2(error.isEmpty(), qPrintable(error)); // nothing found is not a fault
    QCOMPARE(path, QStringLiteral("untouched"));

    QVERIFY(!kz::loadBrowserPlugin({empty.path(), broken.path()}, &path, &error));
    QVERIFY2(error.contains(QStringLiteral("libkzwebbrowser.so")), qPrintable(error));
    // A file that is no plugin costs no OpenGL context.
    QVERIFY(!QOpenGLContext::globalShareContext());

    if (!pluginWasBuilt())
        QSKIP("The WebEngine plugin was not built");
    // A broken candidate earlier in the path must not hide a good one later.
    kz::BrowserPlugin *plugin
        = kz::loadBrowserPlugin({empty.path(), broken.path(), builtPluginDir()}, &path, &error);
    QVERIFY2(plugin, qPrintable(error));
    QVERIFY2(path.startsWith(builtPluginDir()), qPrintable(path));
    QVERIFY(error.isEmpty());
    // Without it Qt WebEngine would crash on its first page.
    QVERIFY(QOpenGLContext::globalShareContext());
}

void TestBrowser::fallbackView()
{
    EnvironmentOverride noWebEngine("KZ_NO_WEBENGINE", QByteArray("1"));
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    auto unsetHandler
        = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); });

    std::unique_ptr<BrowserView> view(kz::createBrowserView(nullptr));
    QVERIFY(view);
    QVERIFY(!view->isEmbedded());
    QCOMPARE(view->loadState(), LoadState::Idle);
    auto *address = view->findChild<QLabel *>(QStringLiteral("addressLabel"));
    auto *open = view->findChild<QPushButton *>(QStringLiteral("openButton"));
    QVERIFY(address && open);
    QCOMPARE(open->text(), QStringLiteral("Open in your web browser"));
    QVERIFY(!open->isEnabled()); // nothing to open yet

    const QUrl first("http://www.example.com/kz?a=1&b=<2>");
    view->navigate(first);
    QCOMPARE(view->currentUrl(), first);
    QCOMPARE(view->loadState(), LoadState::Loaded);
    QCOMPARE(plainText(address->text()), first.toDisplayString());
    QVERIFY(address->textInteractionFlags() & Qt::TextSelectableByMouse);
    QVERIFY(open->isEnabled());

    const QUrl second = SiteSettings().helpPdf();
    view->navigate(second);
    QCOMPARE(view->currentUrl(), second);
    QCOMPARE(plainText(address->text()), second.toDisplayString());
    // Switching pages never starts the system's browser on its own...
    QVERIFY(browser.opened.isEmpty());

    // ...only the user's click does, with the address on show.
    open->click();
    QCOMPARE(browser.opened, QList<QUrl> {second});

    view->navigate(QUrl());
    QCOMPARE(view->loadState(), LoadState::Failed);
    QVERIFY(!open->isEnabled());
}

void TestBrowser::embeddedView()
{
    // "0" means the embedded browser is wanted.
    EnvironmentOverride webEngineWanted("KZ_NO_WEBENGINE", QByteArray("0"));
    EnvironmentOverride dir("KZ_PLUGIN_DIR", std::nullopt);
    std::unique_ptr<BrowserView> view(kz::createBrowserView(nullptr));
    QVERIFY(view);
    if (!pluginWasBuilt()) {
        QVERIFY(!view->isEmbedded());
        QVERIFY(!kz::browserPluginLoaded());
        return;
    }
    QVERIFY(view->isEmbedded());
    QVERIFY(kz::browserPluginLoaded());
    QVERIFY2(QFile::exists(kz::browserPluginPath()), qPrintable(kz::browserPluginPath()));
    QCOMPARE(view->loadState(), LoadState::Idle);

    // The test cannot link Qt WebEngine, so it reads the page through Qt's
    // properties.
    auto *engine = view->findChild<QWidget *>(QStringLiteral("webEngineView"));
    QVERIFY(engine);
    QCOMPARE(engine->metaObject()->className(), "QWebEngineView");
    view->resize(400, 300);
    view->show();
    QTRY_COMPARE_WITH_TIMEOUT(engine->geometry(), view->rect(), kLoadTimeoutMs);

    QTemporaryDir site;
    QVERIFY(site.isValid());
    QVERIFY(writeFile(site.filePath("one.html"),
                      "<html><head><title>KZ page one</title></head><body>one</body></html>"));
    QVERIFY(writeFile(site.filePath("two.html"),
                      "<html><head><title>KZ page two</title></head><body>two</body></html>"));
    QVERIFY(writeFile(site.filePath("jump.html"),
                      "<html><head><title>jump</title><script>location.replace('two.html')"
                      "</script></head></html>"));

    const QUrl one = QUrl::fromLocalFile(site.filePath("one.html"));
    view->navigate(one);
    QCOMPARE(view->currentUrl(), one);
    QCOMPARE(view->loadState(), LoadState::Loading);
    QTRY_COMPARE_WITH_TIMEOUT(view->loadState(), LoadState::Loaded, kLoadTimeoutMs);
    QCOMPARE(engine->property("title").toString(), QStringLiteral("KZ page one"));
    QCOMPARE(view->currentUrl(), one);

    // Moves made by the page itself show in currentUrl().
    const QUrl two = QUrl::fromLocalFile(site.filePath("two.html"));
    view->navigate(QUrl::fromLocalFile(site.filePath("jump.html")));
    QTRY_VERIFY_WITH_TIMEOUT(view->currentUrl() == two && view->loadState() == LoadState::Loaded,
                             kLoadTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(engine->property("title").toString(), QStringLiteral("KZ page two"),
                              kLoadTimeoutMs);

    const QUrl missing = QUrl::fromLocalFile(site.filePath("missing.html"));
    view->navigate(missing);
    QCOMPARE(view->currentUrl(), missing);
    QTRY_COMPARE_WITH_TIMEOUT(view->loadState(), LoadState::Failed, kLoadTimeoutMs);
}

void TestBrowser::firstPaintOnRealDisplay()
{
    // Offscreen, Qt makes no OpenGL context at start whatever is asked of it;
    // on an X display it does, and loads the whole GL driver with it.
    kz::test::XServer x;
    if (!x.start())
        QSKIP("No X server: Xvfb is not installed or did not start");
    QProcess kz;
    kz.setProcessEnvironment(x.environment());
    kz.start(QStringLiteral(KZ_APP_PATH), {QStringLiteral("--startup-report")});
    QVERIFY2(kz.waitForFinished(kLoadTimeoutMs), qPrintable(kz.errorString()));
    const QString report = QString::fromLocal8Bit(kz.readAllStandardOutput());
    QVERIFY2(report.contains(QStringLiteral("kz: first paint;")),
             qPrintable(report + QString::fromLocal8Bit(kz.readAllStandardError())));
    QVERIFY2(report.contains(QStringLiteral("GL driver not loaded")), qPrintable(report));
}

int main(int argc, char *argv[])
{
    // As the program's main() does.
    kz::prepareBrowserEnvironment();
    QApplication app(argc, argv);
    TestBrowser test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browser.moc"
