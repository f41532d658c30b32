// SPDX-License-Identifier: GPL-3.0-or-later
// Built with the device library's include rules; it must not compile.
#include <QtWidgets/QWidget>

int widgetProbe()
{
    return sizeof(QWidget);
}
