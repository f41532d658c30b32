// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace kz {

// What the command line asks of the program, as options.cpp's table reads it.
// The host names of --site-host and --pdf-host are read by SiteSettings, which
// also weighs them against the environment.
struct Options {
    bool startupReport = false;
    bool aboutReport = false;
    bool simulate = false;
    int simulatePort = 3;
    bool speak = false;
    QString screenshot;
    bool connect = false;
    QString page;
    QString trace;
    bool readings = false;
    // The names of --screenshot and --trace byte for byte, as the system
    // gave them.
    QByteArray screenshotFile;
    QByteArray traceFile;
};

// Answers --help, --help-all and --version and ends the program; does nothing
// otherwise. Called before the QApplication exists, which would abort where
// there is no display (a server, a session over ssh).
void answerHelpOrVersion(int argc, char *argv[]);

// The options in arguments, which the QApplication has already rid of the
// window toolkit's own (-platform, -reverse). A command line it does not
// understand ends the program with a message, as --help would; so does an
// empty file name. `rawArguments` are the program's arguments as the system
// gave them, for the file names.
Options parseOptions(const QStringList &arguments, const QByteArrayList &rawArguments);

} // namespace kz
