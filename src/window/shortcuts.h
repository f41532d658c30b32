// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace kz {

// Keys that choose the next or the previous page, as a click on its tab does.
QList<QKeySequence> nextPageKeys();
QList<QKeySequence> previousPageKeys();
// Opens the readings window, anywhere in the main window.
QKeySequence readingsKey();

// How the window is used from the keyboard: the keys, and what they do.
struct KeyUse {
    QString keys;
    QString use;
};
QList<KeyUse> keyboardUse();

// The same as a block of text headed "Keyboard:", for --help.
QString keyboardHelpText();

} // namespace kz
