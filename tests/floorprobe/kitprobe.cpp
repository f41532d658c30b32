// SPDX-License-Identifier: GPL-3.0-or-later
// Built with the kit's include rules; it must not compile.
#include "tuning/pktest.h"

int kitProbe()
{
    return sizeof(kz::PkTest);
}
