// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/programicon.h"

namespace kz {

QIcon programIcon()
{
    QIcon icon;
    // With their sizes given, the files are read only when a size is asked
    // for. Up to 64 pixels, as title bars and task bars draw it: the window
    // is given its icon at start, largest first, and the 256-pixel one alone
    // added 0.4 MB there; larger views take the desktop's icon.
    for (const int size : {16, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/kz-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kz
