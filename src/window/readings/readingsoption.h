// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>

class QCommandLineParser;

namespace kz {

class Readings;

// `--readings`: the readings window opens with the main window.
QCommandLineOption readingsOption();

// To be called once the main window is shown.
void showReadingsIfAsked(const QCommandLineParser &parser, Readings &readings);
void showReadingsAtStart(Readings &readings);

} // namespace kz
