// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "words/phonetable.h"

#include <QCommandLineParser>
#include <QDir>

namespace kz::sim {

namespace {

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

// One row per option, in the order --help lists them. An option with a value
// names it; `take` runs for each option given, with its value, and returns
// what is wrong with the value, if anything.
struct OptionRow {
    const char *name;
    const char *description;
    const char *valueName = nullptr;
    QString (*take)(Options &, const QString &value) = nullptr;
};

const OptionRow kOptions[] = {
    {"dir", "Folder for the COMn link (default kz-ports in the temporary folder: $TMPDIR/kz-ports, "
     "else /tmp/kz-ports).", "DIR",
     [](Options &o, const QString &value) {
         o.dir = value;
         return value.isEmpty() ? QStringLiteral("--dir needs a folder name") : QString();
     }},
    {"port", "Port number n of the link COMn (default 1; with --replay, the trace's port).", "N",
     [](Options &o, const QString &value) {
         bool ok = false;
         o.port = value.toInt(&ok);
         return ok && *o.port >= 1 ? QString() : QStringLiteral("--port needs a number from 1");
     }},
    {"probe", "Probes answered: both, second or none (default both).", "WHICH",
     [](Options &o, const QString &value) {
         using Answers = SimulatedKz::ProbeAnswers;
         const std::pair<const char *, Answers> names[]
             = {{"both", Answers::Both}, {"second", Answers::SecondOnly}, {"none", Answers::None}};
         for (const auto &[name, answers] : names) {
             if (value == QLatin1String(name)) {
                 o.probe = answers;
                 return QString();
             }
         }
         return QStringLiteral("--probe takes both, second or none");
     }},
    {"readings", "Readings to answer in turn, e.g. 10,20,30 (default 100 each time).", "LIST",
     [](Options &o, const QString &value) {
         o.readings = parseReadings(value);
         return o.readings ? QString()
                           : QStringLiteral("--readings needs numbers separated by commas");
     }},
    {"seed", "Seed of pseudo-random readings from 0 to 200 (default none: no random readings; with "
     "--wander, 1977).", "S",
     [](Options &o, const QString &value) {
         bool ok = false;
         o.seed = value.toUInt(&ok);
         return ok ? QString() : QStringLiteral("--seed needs a whole number");
     }},
    {"wander", "Readings that drift as a held KZ's do, from --seed (default 1977).", nullptr,
     [](Options &o, const QString &) {
         o.wander = true;
         return QString();
     }},
    {"report-ms",
     "Milliseconds between the words reported in Dictionary, Phonetic and Reverse Phonetic "
     "Mode; 0 reports none (default 3000).",
     "MS",
     [](Options &o, const QString &value) {
         bool ok = false;
         o.reportMs = value.toInt(&ok);
         return ok && *o.reportMs >= 0 ? QString()
                                       : QStringLiteral("--report-ms needs a whole number from 0");
     }},
    {"print-store", "Print the store and the words said on exit (also on SIGUSR1; default off).", nullptr,
     [](Options &o, const QString &) {
         o.printStore = true;
         return QString();
     }},
    {"speak", "Speak the words said and reported, through the audio output (default off).", nullptr,
     [](Options &o, const QString &) {
         o.speak = true;
         return QString();
     }},
    {"wav", "Write row N of the phoneme table to the WAV file FILE and exit.", "N",
     [](Options &o, const QString &value) {
         bool ok = false;
         o.wavRow = value.toInt(&ok);
         return ok && *o.wavRow >= 0 && *o.wavRow < kPhoneRows
             ? QString()
             : QStringLiteral("--wav needs a row number from 0 to %1").arg(kPhoneRows - 1);
     }},
    {"replay",
     "Play the KZ's side of the wire trace FILE (kz --trace): check each line the program sends "
     "and answer as recorded.",
     "FILE",
     [](Options &o, const QString &value) {
         o.replay = value;
         o.replayGiven = true;
         return QString();
     }},
    {"speed", "With --replay: divide the recorded delays by N (default 1).", "N",
     [](Options &o, const QString &value) {
         o.speed = value;
         return QString();
     }},
};

} // namespace

std::optional<Options> parseOptions(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated KZ on a pseudo-terminal.\n\n"
                       "Exit status:\n"
                       "  0  ended by a signal (SIGINT, SIGTERM); --wav wrote its file; --replay: "
                       "every line matched\n"
                       "  1  an option or value not understood, the pseudo-terminal or link not "
                       "made, the WAV file not written; --replay: a line differed\n"
                       "  2  --replay: the trace not read (missing, unreadable, no trace), a "
                       "--speed not above 0, or its port not linked"));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionRow &row : kOptions) {
        const QString valueName
            = row.valueName ? QString::fromLatin1(row.valueName) : QString();
        parser.addOption(QCommandLineOption(QString::fromLatin1(row.name),
                                            QString::fromUtf8(row.description), valueName));
    }
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("With --wav: the file."),
                                 QStringLiteral("[FILE]"));
    parser.process(arguments);

    Options options;
    options.dir = QDir(QDir::tempPath()).filePath(QStringLiteral("kz-ports"));
    for (const OptionRow &row : kOptions) {
        const QString name = QString::fromLatin1(row.name);
        if (!parser.isSet(name))
            continue;
        // A switch has no value to ask for: Qt 6.8 warns on the console when asked.
        *error = row.take(options, row.valueName ? parser.value(name) : QString());
        if (!error->isEmpty())
            return std::nullopt;
    }
    const QStringList files = parser.positionalArguments();
    if (!options.wavRow && !files.isEmpty())
        *error = QStringLiteral("a FILE is only taken with --wav N");
    else if (options.wavRow && (files.size() != 1 || files.constFirst().isEmpty()))
        *error = QStringLiteral("--wav N needs one FILE to write");
    else if (options.wavRow)
        options.wavFile = files.constFirst();
    else if (parser.isSet(QStringLiteral("speed")) && !options.replayGiven)
        *error = QStringLiteral("--speed is only taken with --replay FILE");
    if (!error->isEmpty())
        return std::nullopt;
    return options;
}

} // namespace kz::sim
