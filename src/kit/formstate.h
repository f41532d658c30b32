// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kz {

// State of the window shared between its behaviours.
struct FormState {
    // Multiplier of the COM page's word numbers, from the Low GAIN box.
    qint16 gain = 0;
};

} // namespace kz
