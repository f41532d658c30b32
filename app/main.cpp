// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"
#include "report.h"

#include "device/filewrite.h"
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
#include "window/tabnavigator.h"
#include "window/tracemenu.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#ifdef KZ_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#include <thread>
#endif

#ifdef KZ_HAVE_SIMULATOR
namespace {

// Starts kz-sim, from this program's folder, speaking on port n of the
// folder, and waits (at most five seconds) for its link to appear.
bool startSpeakingSimulator(QProcess &sim, const QString &folder, int port, QString *error)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/kz-sim");
    sim.setProcessChannelMode(QProcess::ForwardedChannels);
    sim.start(program,
              {QStringLiteral("--speak"), QStringLiteral("--wander"), QStringLiteral("--dir"), folder, QStringLiteral("--port"),
               QString::number(port)});
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

// The simulated KZ lives in a port folder of its own; the search then meets it
// on the chosen port number. In process, or as kz-sim when it is to speak:
// speech brings audio and synthesis libraries that the program itself never
// loads.
struct Simulation {
    QTemporaryDir folder;
    std::unique_ptr<kz::sim::SimulatedKz> kz;
    QProcess speaking;
};

bool attachSimulator(Simulation &sim, const kz::Options &options, kz::PortLocator *locator)
{
    QString error;
    bool started = false;
    if (options.speak) {
        started = startSpeakingSimulator(sim.speaking, sim.folder.path(), options.simulatePort,
                                         &error);
    } else {
        sim.kz = std::make_unique<kz::sim::SimulatedKz>();
        // Readings that move, as a held KZ's do, for the readings plot.
        sim.kz->setWanderingReadings();
        started = sim.kz->start(&error)
            && sim.kz->linkAs(sim.folder.path(), options.simulatePort, &error);
    }
    if (!started) {
        std::fprintf(stderr, "kz: cannot start the simulated KZ: %s\n", qPrintable(error));
        return false;
    }
    *locator = kz::PortLocator::forFolder(sim.folder.path());
    std::printf("kz: simulated KZ on port %d (%s)\n", options.simulatePort,
                sim.kz ? qPrintable(sim.kz->slavePath()) : "kz-sim --speak");
    std::fflush(stdout);
    return true;
}

} // namespace
#endif

namespace {

// Answers every message box as soon as it shows, for a run that no one
// watches.
class MessageBoxAnswerer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (auto *box = qobject_cast<QMessageBox *>(watched); box && event->type() == QEvent::Show)
            QTimer::singleShot(0, box, &QMessageBox::accept);
        return false;
    }
};

// Shows the program working where no one can watch it: connects, goes to the
// page asked for, then saves what the window shows once it has painted that
// state. False when there is no such page.
bool saveScreenshot(kz::Form1 &window, const QByteArray &file, QString *why)
{
    // By the name's bytes: one that is not UTF-8 would become another name.
    // Not blocking in the open: a pipe nobody reads would wait for ever.
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK,
                          0666);
    if (fd < 0) {
        *why = kz::systemErrorText(errno);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = out.errorString();
        return false;
    }
    const QString format = QFileInfo(QFile::decodeName(file)).suffix();
    if (!window.grab().save(&out, format.isEmpty() ? "PNG" : qPrintable(format))) {
        *why = out.error() != QFileDevice::NoError ? out.errorString()
                                                    : QStringLiteral("the picture was not saved");
        return false;
    }
    return true;
}

// Shows the program working where no one can watch it: connects, goes to the
// page asked for, then saves what the window shows once it has painted that
// state. False when there is no such page.
bool scheduleScreenshot(kz::Form1 &window, const QByteArray &file, const QString &page)
{
    if (!page.isEmpty() && window.tabs().captionOf(page).isEmpty()) {
        std::fprintf(stderr, "kz: no page \"%s\"; the pages are \"%s\"\n", qPrintable(page),
                     qPrintable(window.tabs().captions().join(QStringLiteral("\", \""))));
        return false;
    }
    const QString shown = kz::readableFileName(file);
    QObject::connect(
        &window.connection(), &kz::Connection::connected, &window,
        [&, file, page, shown](int port) {
            if (!page.isEmpty())
                window.tabs().choose(page);
            QTimer::singleShot(1500, &window, [&, port, file, shown] {
                QString why;
                const bool saved = saveScreenshot(window, file, &why);
                std::printf("kz: connected on port %d; %s %s%s\n", port,
                            saved ? "saved a screenshot of the window to" : "could not save",
                            qPrintable(shown), saved ? "" : qPrintable(QStringLiteral(": ") + why));
                std::fflush(stdout);
                window.close();
            });
        });
    // No one is there to answer the failed search's message box: it is
    // answered at once, and the picture shows the start screen as the search
    // left it.
    qApp->installEventFilter(new MessageBoxAnswerer(&window));
    QObject::connect(&window.connection(), &kz::Connection::notFound, &window, [&, file, shown] {
        QString why;
        const bool saved = saveScreenshot(window, file, &why);
        std::fprintf(stderr, "kz: no KZ found; %s %s%s\n",
                     saved ? "saved a screenshot of the start screen to" : "could not save",
                     qPrintable(shown), saved ? "" : qPrintable(QStringLiteral(": ") + why));
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    return true;
}

// What the options ask of the window once the event loop runs; false when
// they cannot be met.
bool startRequests(kz::Form1 &window, const kz::Options &options)
{
    if (options.startupReport)
        kz::reportFirstPaint(window);

    if (options.connect && options.screenshot.isEmpty() && !options.aboutReport) {
        QObject::connect(&window.connection(), &kz::Connection::connected, &window, [](int port) {
            std::printf("kz: connected on port %d\n", port);
            std::fflush(stdout);
        });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }

    if (options.aboutReport) {
        QObject::connect(&window.connection(), &kz::Connection::connected, &window,
                         [&] { kz::reportAboutPage(window); });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }

    if (!options.screenshot.isEmpty() && !options.aboutReport)
        return scheduleScreenshot(window, options.screenshotFile, options.page);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kz"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KZ_VERSION));
    kz::answerHelpOrVersion(argc, argv);
    // Before the QApplication takes its own options out, and before any
    // decoding: file names are kept as the system gave them.
    QByteArrayList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QByteArray(argv[i]);

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
    const kz::Options options = kz::parseOptions(QCoreApplication::arguments(), rawArguments);

    // Checked before anything starts: the program runs with its trace or not at all.
    std::unique_ptr<kz::TraceWriter> trace;
    if (!options.trace.isEmpty()) {
        QString error;
        trace = kz::TraceWriter::create(options.traceFile, kz::wiretrace::kNoPort, &error);
        if (!trace) {
            std::fprintf(stderr, "kz: %s\n", qPrintable(error));
            return 1;
        }
    }

    kz::PortLocator locator = kz::PortLocator::fromEnvironment();
#ifdef KZ_HAVE_SIMULATOR
    Simulation simulation;
    if (options.simulate && !attachSimulator(simulation, options, &locator))
        return 1;
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
    kz::closeOnEndSignals(&window);
    if (options.readings)
        kz::showReadingsAtStart(window.readings());
    if (!startRequests(window, options))
        return 2;
    return app.exec();
}

