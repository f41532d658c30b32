// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "device/filewrite.h"
#include "window/browser/sites.h"
#include "window/shortcuts.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace kz {

namespace {

// One row per option, in the order --help lists them. An option with a value
// names it; `take` runs for each option given, with its value. A default
// given apart takes the description's %1.
struct OptionRow {
    const char *name;
    const char *description;
    const char *valueName = nullptr;
    void (*take)(Options &, const QString &value) = nullptr;
    const char *defaultValue = nullptr;
};

const OptionRow kOptions[] = {
    {"startup-report", "Print when the window first paints, with the memory used, and quit.",
     nullptr, [](Options &o, const QString &) { o.startupReport = true; }},
    {"about-report",
     "Open the About page, print the memory used once its page has loaded, and quit. Needs a KZ "
     "to connect to, as with --simulate.",
     nullptr, [](Options &o, const QString &) { o.aboutReport = true; }},
    // Taken from the arguments by SiteSettings.
    {"site-host", "Host name of the maker's web site (default %1).", "name", nullptr,
     SiteSettings::kDefaultSiteHost},
    {"pdf-host", "Host name of the site with the help PDF (default %1).", "name", nullptr,
     SiteSettings::kDefaultPdfHost},
#ifdef KZ_HAVE_SIMULATOR
    {"simulate", "Attach a simulated KZ, so that the program can be tried without the device.",
     nullptr, [](Options &o, const QString &) { o.simulate = true; }},
    {"simulate-port", "Port number of the simulated KZ (default 3).", "n",
     [](Options &o, const QString &value) {
         o.simulate = true;
         o.simulatePort = value.toInt();
     }},
    {"speak", "With --simulate: hear the words the KZ says.", nullptr,
     [](Options &o, const QString &) { o.speak = true; }},
#endif
    {"screenshot", "Connect, save a picture of the window to <file> and quit.", "file",
     [](Options &o, const QString &value) { o.screenshot = value; }},
    {"connect", "Search for the KZ at once, as a click on \"Connect  to KZ\" does.", nullptr,
     [](Options &o, const QString &) { o.connect = true; }},
    {"page", "With --screenshot: the page to show, by its tab's caption (\"SET UP\").", "caption",
     [](Options &o, const QString &value) { o.page = value; }},
    {"trace", "Record every line sent to the KZ and every chunk read from it to <file>.", "file",
     [](Options &o, const QString &value) { o.trace = value; }},
    {"readings",
     "Open the readings window, a plot of what the KZ measures, at start (later: Ctrl+R, or "
     "\"Show readings\" on a page's context menu).",
     nullptr, [](Options &o, const QString &) { o.readings = true; }},
};

const char kDescription[] = "Desktop control program for the KZ.\n\n"
                            "Environment:\n"
                            "  KZ_PORT_DIR     a folder whose entry COMn is port n\n"
                            "  KZ_SITE_HOST    host of the maker's site, as --site-host\n"
                            "  KZ_PDF_HOST     host of the help PDF, as --pdf-host\n"
                            "  KZ_NO_WEBENGINE 1: the About page hands its addresses to the "
                            "system's browser\n"
                            "  KZ_PLUGIN_DIR   a folder searched first for the plugins (browser, "
                            "readings window)";

const char kExitStatus[]
    = "\n\nExit status:\n"
      "  0  the window was closed, by the user or by SIGTERM, SIGINT or SIGHUP; --help and "
      "--version; --screenshot connected; a report was printed\n"
      "  1  an option not understood; the --trace file cannot be written; the simulated KZ did "
      "not start; --screenshot found no KZ\n"
      "  2  --page names no page";

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromUtf8(kDescription) + keyboardHelpText()
                                     + QString::fromUtf8(kExitStatus));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionRow &row : kOptions) {
        const QString valueName
            = row.valueName ? QString::fromLatin1(row.valueName) : QString();
        QString description = QString::fromUtf8(row.description);
        if (row.defaultValue)
            description = description.arg(QString::fromUtf8(row.defaultValue));
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(row.name), description, valueName));
    }
}

} // namespace

void answerHelpOrVersion(int argc, char *argv[])
{
    QCommandLineParser parser;
    addOptions(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Only a command line understood in full: the window toolkit's own options
    // would be misread here, and are taken out of the arguments by the
    // QApplication before parseOptions().
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

Options parseOptions(const QStringList &arguments, const QByteArrayList &rawArguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(arguments);
    Options options;
    for (const OptionRow &row : kOptions) {
        const QString name = QString::fromLatin1(row.name);
        // A switch has no value to ask for: Qt 6.8 warns on the console when asked.
        if (row.take && parser.isSet(name))
            row.take(options, row.valueName ? parser.value(name) : QString());
    }
    // An empty name would be no file at all: said, not silently ignored.
    for (const char *name : {"screenshot", "trace"}) {
        if (parser.isSet(QString::fromLatin1(name))
            && parser.value(QString::fromLatin1(name)).isEmpty()) {
            std::fprintf(stderr, "kz: --%s needs a file name\n", name);
            std::exit(2);
        }
    }
    options.screenshotFile = rawOptionValue(rawArguments, "screenshot", options.screenshot);
    options.traceFile = rawOptionValue(rawArguments, "trace", options.trace);
    return options;
}

} // namespace kz
