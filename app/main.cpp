#include "device/connection.h"
#include "device/portlocator.h"
#include "device/systemserialport.h"
#include "simulatedkz.h"
#include "window/form1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kz"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Desktop control program for the KZ."));
    parser.addHelpOption();
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Attach a simulated KZ on port <n> (default 3)."),
                                QStringLiteral("n"), QStringLiteral("3"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Connect, save a picture of the window to "
                                                 "<file> and quit."),
                                  QStringLiteral("file"));
    parser.addOption(simulate);
    parser.addOption(screenshot);
    parser.process(app);

    // The simulated KZ lives in a port folder of its own; the search then
    // meets it on the chosen port number.
    QTemporaryDir simFolder;
    std::unique_ptr<kz::sim::SimulatedKz> simulated;
    kz::PortLocator locator = kz::PortLocator::fromEnvironment();
    if (parser.isSet(simulate)) {
        const int portNumber = parser.value(simulate).toInt();
        simulated = std::make_unique<kz::sim::SimulatedKz>();
        QString error;
        if (!simulated->start(&error) || !simulated->linkAs(simFolder.path(), portNumber, &error)) {
            std::fprintf(stderr, "kz: cannot start the simulated KZ: %s\n", qPrintable(error));
            return 1;
        }
        locator = kz::PortLocator::forFolder(simFolder.path());
        std::printf("kz: simulated KZ on port %d (%s)\n", portNumber,
                    qPrintable(simulated->slavePath()));
        std::fflush(stdout);
    }

    kz::Form1 window(new kz::SystemSerialPort(locator));
    window.show();

    if (parser.isSet(screenshot)) {
        // Show the program working where no one can watch it: connect, then
        // save what the window shows once it has painted the connected state.
        const QString file = parser.value(screenshot);
        QObject::connect(&window.connection(), &kz::Connection::connected, &window, [&](int port) {
            QTimer::singleShot(500, &window, [&, port] {
                const bool saved = window.grab().save(file);
                std::printf("kz: connected on port %d; %s %s\n", port,
                            saved ? "saved a screenshot of the window to" : "could not save",
                            qPrintable(file));
                std::fflush(stdout);
                window.close();
            });
        });
        QObject::connect(&window.connection(), &kz::Connection::notFound, &window, [&] {
            std::fprintf(stderr, "kz: no KZ found\n");
            window.close();
        });
        QTimer::singleShot(0, &window, [&] { window.connection().search(); });
    }
    return app.exec();
}
