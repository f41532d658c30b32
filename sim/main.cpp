#include "simulatedkz.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A signal handler may only do async-signal-safe work, so it writes a byte
// that the event loop then turns into a clean quit, links removed.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool installSignalHandlers()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0
        && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

void printLine(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Answers may hold line ends; shown escaped they keep one answer per line.
QString visible(const QByteArray &text)
{
    QString shown = QString::fromLatin1(text);
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return shown;
}

std::optional<QList<int>> parseReadings(const QString &text)
{
    QList<int> readings;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        readings.append(part.trimmed().toInt(&ok));
        if (!ok)
            return std::nullopt;
    }
    if (readings.isEmpty())
        return std::nullopt;
    return readings;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated KZ on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(
        QStringLiteral("dir"), QStringLiteral("Folder for the COMn link."), QStringLiteral("DIR"),
        QDir(QDir::tempPath()).filePath(QStringLiteral("kz-ports")));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port number n of the link COMn."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption probeOption(QStringLiteral("probe"),
                                         QStringLiteral("Probes answered: both, second or none."),
                                         QStringLiteral("WHICH"), QStringLiteral("both"));
    const QCommandLineOption readingsOption(
        QStringLiteral("readings"), QStringLiteral("Readings to answer in turn, e.g. 10,20,30."),
        QStringLiteral("LIST"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the pseudo-random readings."),
                                        QStringLiteral("S"));
    parser.addOptions({dirOption, portOption, probeOption, readingsOption, seedOption});
    parser.process(app);

    auto fail = [](const QString &message) {
        std::fprintf(stderr, "kz-sim: %s\n", message.toLocal8Bit().constData());
        return 1;
    };

    kz::sim::SimulatedKz kz;

    bool portOk = false;
    const int port = parser.value(portOption).toInt(&portOk);
    if (!portOk || port < 1)
        return fail(QStringLiteral("--port needs a number from 1"));

    const QString probe = parser.value(probeOption);
    if (probe == QLatin1String("both"))
        kz.setProbeAnswers(kz::sim::SimulatedKz::ProbeAnswers::Both);
    else if (probe == QLatin1String("second"))
        kz.setProbeAnswers(kz::sim::SimulatedKz::ProbeAnswers::SecondOnly);
    else if (probe == QLatin1String("none"))
        kz.setProbeAnswers(kz::sim::SimulatedKz::ProbeAnswers::None);
    else
        return fail(QStringLiteral("--probe takes both, second or none"));

    if (parser.isSet(seedOption)) {
        bool ok = false;
        const quint32 seed = parser.value(seedOption).toUInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed needs a whole number"));
        kz.setReadingSeed(seed);
    }
    if (parser.isSet(readingsOption)) {
        const auto readings = parseReadings(parser.value(readingsOption));
        if (!readings)
            return fail(QStringLiteral("--readings needs numbers separated by commas"));
        kz.setReadings(*readings);
    }

    if (!installSignalHandlers())
        return fail(QStringLiteral("cannot install the signal handlers"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) { }
        QCoreApplication::quit();
    });

    QString error;
    if (!kz.start(&error))
        return fail(error);
    const QString folder = parser.value(dirOption);
    if (!kz.linkAs(folder, port, &error))
        return fail(error);

    QObject::connect(&kz, &kz::sim::SimulatedKz::lineReceived,
                     [](const QString &line) { printLine(QStringLiteral("<- ") + line); });
    QObject::connect(&kz, &kz::sim::SimulatedKz::sent, [](const QByteArray &text) {
        printLine(QStringLiteral("-> ") + visible(text));
    });

    printLine(QStringLiteral("KZ simulator on %1, linked as %2")
                  .arg(kz.slavePath(), kz.links().constFirst()));
    return app.exec();
}
