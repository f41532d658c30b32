// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"
#include "replay.h"
#include "simulatedkz.h"
#include "speaker.h"
#include "speechrenderer.h"
#include "wavfile.h"
#include "device/filewrite.h"
#include "words/phonetable.h"

#include <QCoreApplication>
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
    if (signal != SIGUSR1)
        kz::sim::noteQuitSignal(signal);
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
    // No SA_RESTART: a call that blocks (an open, a read, a full output)
    // returns, so that a quit is acted on at once.
    action.sa_flags = 0;
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

int fail(const QString &message)
{
    std::fprintf(stderr, "kz-sim: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// Writes one row of the phoneme table as it would be spoken.
int writeWavRow(const kz::sim::SimulatedKz &kz, int row, const QString &file)
{
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

void configure(kz::sim::SimulatedKz &kz, const kz::sim::Options &options)
{
    kz.setProbeAnswers(options.probe);
    if (options.seed)
        kz.setReadingSeed(*options.seed);
    if (options.wander)
        kz.setWanderingReadings(options.seed.value_or(kz::sim::SimulatedKz::kDefaultSeed));
    if (options.readings)
        kz.setReadings(*options.readings);
    if (options.reportMs)
        kz.setReportInterval(*options.reportMs);
}

// The store is printed on SIGUSR1; the other signals end the program.
void actOnSignals(QSocketNotifier &notifier, const kz::sim::SimulatedKz &kz)
{
    QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, [&kz] {
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
}

// Every line the simulated KZ receives and sends, and what its speech says.
void echoTraffic(kz::sim::SimulatedKz &kz, kz::sim::Speaker *speaker)
{
    if (speaker) {
        QObject::connect(speaker, &kz::sim::Speaker::notice,
                         [](const QString &text) { printLine(QStringLiteral("speech: ") + text); });
    }
    QObject::connect(&kz, &kz::sim::SimulatedKz::lineReceived,
                     [](const QString &line) { printLine(QStringLiteral("<- ") + line); });
    QObject::connect(&kz, &kz::sim::SimulatedKz::sent, [](const QByteArray &text) {
        printLine(QStringLiteral("-> ") + visible(text));
    });
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
    QString error;
    const auto options = kz::sim::parseOptions(QCoreApplication::arguments(), &error);
    if (!options)
        return fail(error);

    kz::sim::SimulatedKz kz;
    if (options->wavRow)
        return writeWavRow(kz, *options->wavRow, options->wavFile);
    configure(kz, *options);

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    actOnSignals(signalNotifier, kz);
    if (options->replayGiven) {
        // By its bytes: a name that is not UTF-8 would become another one.
        QByteArrayList rawArguments;
        for (int i = 0; i < argc; ++i)
            rawArguments << QByteArray(argv[i]);
        return kz::sim::runReplay(kz::rawOptionValue(rawArguments, "replay", options->replay),
                                  options->dir, options->port, options->speed);
    }

    if (!kz.start(&error) || !kz.linkAs(options->dir, options->port.value_or(1), &error))
        return fail(error);
    std::unique_ptr<kz::sim::Speaker> speaker;
    if (options->speak)
        speaker = std::make_unique<kz::sim::Speaker>(&kz, kz::sim::systemAudioOutput());
    echoTraffic(kz, speaker.get());

    printLine(QStringLiteral("KZ simulator on %1, linked as %2")
                  .arg(kz.slavePath(), kz.links().constFirst()));
    const int status = app.exec();
    if (options->printStore)
        printStore(kz);
    return status;
}
