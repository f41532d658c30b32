#include "replay.h"
#include "simulatedkz.h"
#include "speaker.h"
#include "speechrenderer.h"
#include "wavfile.h"
#include "words/phonetable.h"

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
// that the event loop then acts on: a clean quit with the links removed, or
// the store printed.
int signalPipe[2] = {-1, -1};
constexpr char kQuit = 'q';
constexpr char kPrintStore = 's';

void onSignal(int signal)
{
    const char byte = signal == SIGUSR1 ? kPrintStore : kQuit;
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
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0
        && ::sigaction(SIGUSR1, &action, nullptr) == 0;
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

QString joined(const QList<int> &values)
{
    QStringList texts;
    for (const int value : values)
        texts << QString::number(value);
    return texts.join(QLatin1Char(' '));
}

void printStore(const kz::sim::SimulatedKz &kz)
{
    const QMap<int, int> store = kz.store();
    const QMap<int, QList<int>> rows = kz.storeRows();
    printLine(QStringLiteral("store: %1 values, %2 word rows").arg(store.size()).arg(rows.size()));
    for (auto it = rows.cbegin(); it != rows.cend(); ++it)
        printLine(QStringLiteral("row %1: %2").arg(it.key()).arg(joined(it.value())));
    // Values written outside the word rows would otherwise go unseen.
    for (auto it = store.cbegin(); it != store.cend(); ++it) {
        const int offset = it.key() - kz::sim::SimulatedKz::kWordStoreAddress;
        if (offset < 0 || offset % 2 != 0)
            printLine(QStringLiteral("address %1: %2").arg(it.key()).arg(it.value()));
    }
    printLine(QStringLiteral("words said: %1").arg(joined(kz.wordsSaid())));
    auto voiceText = [](const kz::sim::SimulatedKz::Voice &v) {
        return joined({v.flag, v.volume, v.speed, v.pitch, v.bend});
    };
    printLine(QStringLiteral("voice: %1; stored: %2; amplifier %3")
                  .arg(voiceText(kz.voice()), voiceText(kz.storedVoice()),
                       kz.ampOn() ? QStringLiteral("on") : QStringLiteral("off")));
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
    // First of all: a signal that came before the handlers would end the
    // program with the system's default action.
    if (!installSignalHandlers()) {
        std::fputs("kz-sim: cannot install the signal handlers\n", stderr);
        return 1;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kz-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KZ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated KZ on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
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
        QStringLiteral("readings"),
        QStringLiteral("Readings to answer in turn, e.g. 10,20,30 (default 100 each time)."),
        QStringLiteral("LIST"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the pseudo-random readings."),
                                        QStringLiteral("S"));
    const QCommandLineOption wanderOption(
        QStringLiteral("wander"),
        QStringLiteral("Readings that drift as a held KZ's do, from --seed (default 1977)."));
    const QCommandLineOption reportOption(
        QStringLiteral("report-ms"),
        QStringLiteral("Milliseconds between the words reported in Dictionary, Phonetic and "
                       "Reverse Phonetic Mode; 0 reports none (default 3000)."),
        QStringLiteral("MS"));
    const QCommandLineOption printStoreOption(
        QStringLiteral("print-store"),
        QStringLiteral("Print the store and the words said on exit (also on SIGUSR1)."));
    const QCommandLineOption speakOption(
        QStringLiteral("speak"),
        QStringLiteral("Speak the words said and reported, through the audio output."));
    const QCommandLineOption wavOption(
        QStringLiteral("wav"),
        QStringLiteral("Write row N of the phoneme table to the WAV file FILE and exit."),
        QStringLiteral("N"));
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Play the KZ's side of the wire trace FILE (kz --trace): check each line "
                       "the program sends and answer as recorded."),
        QStringLiteral("FILE"));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"), QStringLiteral("With --replay: divide the recorded delays by N."),
        QStringLiteral("N"));
    parser.addOptions({dirOption, portOption, probeOption, readingsOption, seedOption, wanderOption,
                       reportOption, printStoreOption, speakOption, wavOption, replayOption,
                       speedOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("With --wav: the file."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);

    auto fail = [](const QString &message) {
        std::fprintf(stderr, "kz-sim: %s\n", message.toLocal8Bit().constData());
        return 1;
    };

    kz::sim::SimulatedKz kz;

    if (!parser.isSet(wavOption) && !parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("a FILE is only taken with --wav N"));
    if (parser.isSet(wavOption)) {
        bool ok = false;
        const int row = parser.value(wavOption).toInt(&ok);
        if (!ok || row < 0 || row >= kz::kPhoneRows)
            return fail(
                QStringLiteral("--wav needs a row number from 0 to %1").arg(kz::kPhoneRows - 1));
        if (parser.positionalArguments().size() != 1)
            return fail(QStringLiteral("--wav N needs one FILE to write"));
        const QString file = parser.positionalArguments().constFirst();
        QString error;
        const auto audio = kz::sim::SpeechRenderer().render(kz.wordRow(row), false, &error);
        if (!audio || !kz::sim::writeWav(file, *audio, &error))
            return fail(error);
        printLine(QStringLiteral("row %1 (%2): %3 s to %4")
                      .arg(row)
                      .arg(joined(kz.wordRow(row)))
                      .arg(audio->seconds(), 0, 'f', 3)
                      .arg(file));
        return 0;
    }

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
    if (parser.isSet(wanderOption)) {
        const quint32 seed = parser.isSet(seedOption) ? parser.value(seedOption).toUInt()
                                                      : kz::sim::SimulatedKz::kDefaultSeed;
        kz.setWanderingReadings(seed);
    }
    if (parser.isSet(readingsOption)) {
        const auto readings = parseReadings(parser.value(readingsOption));
        if (!readings)
            return fail(QStringLiteral("--readings needs numbers separated by commas"));
        kz.setReadings(*readings);
    }

    if (parser.isSet(reportOption)) {
        bool ok = false;
        const int ms = parser.value(reportOption).toInt(&ok);
        if (!ok || ms < 0)
            return fail(QStringLiteral("--report-ms needs a whole number from 0"));
        kz.setReportInterval(ms);
    }

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        bool quit = false;
        while (::read(signalPipe[0], &byte, 1) > 0) {
            if (byte == kPrintStore)
                printStore(kz);
            else
                quit = true;
        }
        if (quit)
            QCoreApplication::quit();
    });

    if (parser.isSet(replayOption))
        return kz::sim::runReplay(parser.value(replayOption), parser.value(dirOption),
                                  parser.isSet(portOption) ? std::optional(port) : std::nullopt,
                                  parser.value(speedOption));
    if (parser.isSet(speedOption))
        return fail(QStringLiteral("--speed is only taken with --replay FILE"));

    QString error;
    if (!kz.start(&error))
        return fail(error);
    const QString folder = parser.value(dirOption);
    if (!kz.linkAs(folder, port, &error))
        return fail(error);

    std::unique_ptr<kz::sim::Speaker> speaker;
    if (parser.isSet(speakOption)) {
        speaker = std::make_unique<kz::sim::Speaker>(&kz, kz::sim::systemAudioOutput());
        QObject::connect(speaker.get(), &kz::sim::Speaker::notice,
                         [](const QString &text) { printLine(QStringLiteral("speech: ") + text); });
    }

    QObject::connect(&kz, &kz::sim::SimulatedKz::lineReceived,
                     [](const QString &line) { printLine(QStringLiteral("<- ") + line); });
    QObject::connect(&kz, &kz::sim::SimulatedKz::sent, [](const QByteArray &text) {
        printLine(QStringLiteral("-> ") + visible(text));
    });

    printLine(QStringLiteral("KZ simulator on %1, linked as %2")
                  .arg(kz.slavePath(), kz.links().constFirst()));
    const int status = app.exec();
    if (parser.isSet(printStoreOption))
        printStore(kz);
    return status;
}
