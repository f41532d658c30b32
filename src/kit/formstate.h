// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

namespace kz {

// State of the window shared between its behaviours.
struct FormState {
    // Multiplier of the COM page's word numbers. The sensitivity values own
    // it; the window points this at them.
    std::function<qint16()> gain = [] { return qint16(0); };
};

} // namespace kz
