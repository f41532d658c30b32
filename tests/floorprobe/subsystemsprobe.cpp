// SPDX-License-Identifier: GPL-3.0-or-later
// Built with the subsystems' include rules; it must not compile.
#include "window/form1.h"

int subsystemsProbe()
{
    return sizeof(kz::Form1);
}
