// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace kz {

// The program's icon, as the desktop shows it, for the window: the PNGs drawn
// with the SVG the desktop gets, from the program's resources.
QIcon programIcon();

} // namespace kz
