#include "window/programicon.h"

namespace kz {

QIcon programIcon()
{
    QIcon icon;
    // With their sizes given, the files are read only when a size is asked
    // for, not at start.
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kz-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kz
