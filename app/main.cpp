#include "report.h"

#include "device/portlocator.h"
#include "device/systemserialport.h"
#include "device/tracingport.h"
#include "window/browser/browserfactory.h"
#include "window/browser/sites.h"
#include "window/connection.h"
#ifdef KZ_HAVE_SIMULATOR
#include "simulatedkz.h"
#endif
#include "window/endsignals.h"
#include "window/form1.h"
#include "window/readings/readingsoption.h"
#include "window/shortcuts.h"
#include "window/tabnavigator.h"
#include "window/tracemenu.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#ifdef KZ_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#include <thread>
#endif

namespace {

// --help and --version are answered before any QApplication exists, which
// would abort where there is no display (a server, a session over ssh).
void answerHelpOrVersion(QCommandLineParser &parser, int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Only a command line understood in full: the window toolkit's own options
    // (-platform, -reverse) would be misread here, and are taken out of the
    // arguments by the QApplication before the second parse.
    if (!parser.parse(arguments))
        return;
    if (parser.isSet(QStringLiteral("help-all"))) {
        // The toolkit's options are known only to a GUI application: made
        // offscreen, it needs no display either.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication gui(argc, argv);
        parser.process(gui); // prints and exits
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        // For the program's name in the usage line; it needs no display.
        QCoreApplication core(argc, argv);
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        parser.showVersion();
    }
}

// Answers every message box as soon as it shows, for a run that no one
// watches.
class MessageBoxAnswerer : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (auto *box = qobject_cast<QMessageBox *>(watched); box && event->type() == QEvent::Show)
            QTimer::singleShot(0, box, &QMessageBox::accept);
        return false;
    }
};

} // namespace

#ifdef KZ_HAVE_SIMULATOR
namespace {

// Starts kz-sim, from this program's folder, speaking on port n of the
// folder, and waits (at most five seconds) for its link to appear.
bool startSpeakingSimulator(QProcess &sim, const QString &folder, int port, QString *error)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/kz-sim");
    sim.setProcessChannelMode(QProcess::ForwardedChannels);
    sim.start(program,
              {QStringLiteral("--speak"), QStringLiteral("--wander"), QStringLiteral("--dir"),
               folder, QStringLiteral("--port"), QString::number(port)});
    if (!sim.waitForStarted(5000)) {
        *error = program + QStringLiteral(": ") + sim.errorString();
        return false;
    }
    const QString link = folder + QStringLiteral("/COM") + QString::number(port);
    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(link) && !deadline.hasExpired()) {
        if (sim.waitForFinished(50)) {
            *error = program + QStringLiteral(" ended at once");
            return false;
        }
    }
    if (!QFileInfo::exists(link)) {
        *error = program + QStringLiteral(" made no port link");
        return false;
    }
    // Ended with the program: asked first, so that it removes its link.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &sim, [&sim] {
        sim.terminate();
        if (!sim.waitForFinished(2000))
            sim.kill();
    });
    return true;
}

} // namespace
#endif

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kz"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KZ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Desktop control program for the KZ.\n\n"
                       "Environment:\n"
                       "  KZ_PORT_DIR     a folder whose entry COMn is port n\n"
                       "  KZ_SITE_HOST    host of the maker's site, as --site-host\n"
                       "  KZ_PDF_HOST     host of the help PDF, as --pdf-host\n"
                       "  KZ_NO_WEBENGINE 1: the About page hands its addresses to the "
                       "system's browser\n"
                       "  KZ_PLUGIN_DIR   a folder searched first for the plugins (browser, "
                       "readings window)"));
    parser.setApplicationDescription(parser.applicationDescription() + kz::keyboardHelpText());
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Attach a simulated KZ, so that the program can be "
                                               "tried without the device."));
    QCommandLineOption simulatePort(QStringLiteral("simulate-port"),
                                    QStringLiteral("Port number of the simulated KZ (default 3)."),
                                    QStringLiteral("n"), QStringLiteral("3"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Connect, save a picture of the window to "
                                                 "<file> and quit."),
                                  QStringLiteral("file"));
    QCommandLineOption siteHost(QStringLiteral("site-host"),
                                QStringLiteral("Host name of the maker's web site."),
                                QStringLiteral("name"));
    QCommandLineOption pdfHost(QStringLiteral("pdf-host"),
                               QStringLiteral("Host name of the site with the help PDF."),
                               QStringLiteral("name"));
    QCommandLineOption startupReport(QStringLiteral("startup-report"),
                                     QStringLiteral("Print when the window first paints, with "
                                                    "the memory used, and quit."));
    QCommandLineOption aboutReport(QStringLiteral("about-report"),
                                   QStringLiteral("Open the About page, print the memory used "
                                                  "once its page has loaded, and quit. Needs a "
                                                  "KZ to connect to, as with --simulate."));
    parser.addOption(startupReport);
    parser.addOption(aboutReport);
    parser.addOption(siteHost);
    parser.addOption(pdfHost);
#ifdef KZ_HAVE_SIMULATOR
    parser.addOption(simulate);
    parser.addOption(simulatePort);
    QCommandLineOption speak(QStringLiteral("speak"),
                             QStringLiteral("With --simulate: hear the words the KZ says."));
    parser.addOption(speak);
#endif
    parser.addOption(screenshot);
    QCommandLineOption connectAtStart(QStringLiteral("connect"),
                                      QStringLiteral("Search for the KZ at once, as a click on "
                                                     "\"Connect  to KZ\" does."));
    parser.addOption(connectAtStart);
    QCommandLineOption pageOption(
        QStringLiteral("page"),
        QStringLiteral("With --screenshot: the page to show, by its tab's "
                       "caption (\"SET UP\")."),
        QStringLiteral("caption"));
    parser.addOption(pageOption);
    QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Record every line sent to the KZ and every chunk read from it to <file>."),
        QStringLiteral("file"));
    parser.addOption(traceOption);
    parser.addOption(kz::readingsOption());
    answerHelpOrVersion(parser, argc, argv);

#ifdef KZ_HAVE_FONTCONFIG
    // Reading the font configuration is the largest single cost before the
    // first paint, and needs nothing from Qt: it runs on another core while
    // Qt sets up, and Qt's own FcInit() then finds it done.
    std::jthread fonts([] { FcInit(); });
#endif
    kz::prepareBrowserEnvironment();
    QApplication app(argc, argv);
    // Ties the window to the desktop entry, and so to its icon, on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral(KZ_APP_ID));
    parser.process(app);

    // Checked before anything starts: the program runs with its trace or not at all.
    std::unique_ptr<kz::TraceWriter> trace;
    if (parser.isSet(traceOption)) {
        QString error;
        trace = kz::TraceWriter::create(parser.value(traceOption), kz::wiretrace::kNoPort, &error);
        if (!trace) {
            std::fprintf(stderr, "kz: %s\n", qPrintable(error));
            return 1;
        }
    }

    kz::PortLocator locator = kz::PortLocator::fromEnvironment();
#ifdef KZ_HAVE_SIMULATOR
    // The simulated KZ lives in a port folder of its own; the search then
    // meets it on the chosen port number.
    QTemporaryDir simFolder;
    std::unique_ptr<kz::sim::SimulatedKz> simulated;
    QProcess speakingSim;
    if (parser.isSet(simulate) || parser.isSet(simulatePort)) {
        const int portNumber = parser.value(simulatePort).toInt();
        QString error;
        if (parser.isSet(speak)) {
            // The speaking simulator is kz-sim beside this program: speech
            // brings audio and synthesis libraries that the program itself
            // never loads.
            if (!startSpeakingSimulator(speakingSim, simFolder.path(), portNumber, &error)) {
                std::fprintf(stderr, "kz: cannot start the simulated KZ: %s\n", qPrintable(error));
                return 1;
            }
        } else {
            simulated = std::make_unique<kz::sim::SimulatedKz>();
            // Readings that move, as a held KZ's do, for the readings plot.
            simulated->setWanderingReadings();
            if (!simulated->start(&error)
                || !simulated->linkAs(simFolder.path(), portNumber, &error)) {
                std::fprintf(stderr, "kz: cannot start the simulated KZ: %s\n", qPrintable(error));
                return 1;
            }
        }
        locator = kz::PortLocator::forFolder(simFolder.path());
        std::printf("kz: simulated KZ on port %d (%s)\n", portNumber,
                    simulated ? qPrintable(simulated->slavePath()) : "kz-sim --speak");
        std::fflush(stdout);
    }
#endif

    const kz::SiteSettings sites
        = kz::SiteSettings::fromEnvironmentAndArguments(QCoreApplication::arguments());
#ifdef KZ_HAVE_FONTCONFIG
    fonts.join();
#endif
    auto *port = new kz::TracingPort(new kz::SystemSerialPort(locator));
    if (trace)
        port->startTrace(std::move(trace));
    kz::Form1 window(port, sites);
    new kz::TraceMenu(window, *port);
    window.show();
    kz::showReadingsIfAsked(parser, window);
    kz::closeOnEndSignals(&window);

    if (parser.isSet(startupReport))
        kz::reportFirstPaint(window);

    if (parser.isSet(connectAtStart) && !parser.isSet(screenshot) && !parser.isSet(aboutReport)) {
        QObject::connect(&window.connection(), &kz::Connection::connected, &window, [](int port) {
            std::printf("kz: connected on port %d\n", port);
            std::fflush(stdout);
        });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }

    if (parser.isSet(aboutReport)) {
        QObject::connect(&window.connection(), &kz::Connection::connected, &window,
                         [&] { kz::reportAboutPage(window); });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }

    MessageBoxAnswerer messageBoxAnswerer;
    if (parser.isSet(screenshot) && !parser.isSet(aboutReport)) {
        // Show the program working where no one can watch it: connect, go to
        // the page asked for, then save what the window shows once it has
        // painted that state.
        const QString file = parser.value(screenshot);
        const QString page = parser.value(pageOption);
        if (!page.isEmpty() && window.tabs().captionOf(page).isEmpty()) {
            std::fprintf(stderr, "kz: no page \"%s\"; the pages are \"%s\"\n", qPrintable(page),
                         qPrintable(window.tabs().captions().join(QStringLiteral("\", \""))));
            return 2;
        }
        QObject::connect(
            &window.connection(), &kz::Connection::connected, &window, [&, file, page](int port) {
                if (!page.isEmpty())
                    window.tabs().choose(page);
                QTimer::singleShot(1500, &window, [&, port, file] {
                    const bool saved = window.grab().save(file);
                    std::printf("kz: connected on port %d; %s %s\n", port,
                                saved ? "saved a screenshot of the window to" : "could not save",
                                qPrintable(file));
                    std::fflush(stdout);
                    window.close();
                });
            });
        // No one is there to answer the failed search's message box: it is
        // answered at once, and the picture shows the start screen as the
        // search left it.
        app.installEventFilter(&messageBoxAnswerer);
        QObject::connect(&window.connection(), &kz::Connection::notFound, &window, [&, file] {
            const bool saved = window.grab().save(file);
            std::fprintf(stderr, "kz: no KZ found; %s %s\n",
                         saved ? "saved a screenshot of the start screen to" : "could not save",
                         qPrintable(file));
            QCoreApplication::exit(1);
        });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }
    return app.exec();
}
