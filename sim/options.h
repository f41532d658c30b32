// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "simulatedkz.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kz::sim {

// What the command line asks of kz-sim, as options.cpp's table reads it.
struct Options {
    QString dir; // the folder of the COMn link
    std::optional<int> port; // n of COMn; 1 when not given
    SimulatedKz::ProbeAnswers probe = SimulatedKz::ProbeAnswers::Both;
    std::optional<QList<int>> readings;
    std::optional<quint32> seed;
    // Readings that drift as a held KZ's do, from the seed.
    bool wander = false;
    std::optional<int> reportMs;
    bool printStore = false;
    bool speak = false;
    std::optional<int> wavRow; // with wavFile: write this row and exit
    QString wavFile;
    QString replay; // a wire trace to play
    bool replayGiven = false; // even with an empty name, which the replay refuses
    QString speed; // of the replay, as given: the replay reads it
};

// The options in arguments. --help and --version print and end the program, as
// does an option it does not know; a value it cannot take leaves *error set
// and no options.
std::optional<Options> parseOptions(const QStringList &arguments, QString *error);

} // namespace kz::sim
