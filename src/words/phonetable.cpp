// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/phonetable.h"

namespace kz {

qint16 phone(int index)
{
    if (index < 0 || index >= kPhoneElements)
        return 0;
    return phoneTable()[index];
}

} // namespace kz
