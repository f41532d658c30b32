// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QtGlobal>
namespace kz {
constexpr int kPhoneRows = 2055; // rows 0..2054 filled
constexpr int kPhoneSlots = 10;
constexpr int kPhoneElements = 20601; // indices 0..20600; 20550..20600 stay 0
constexpr qint16 kEmptySlot = 48;
// The whole table, kPhoneElements values, constant for the life of the program.
const qint16 *phoneTable();
// Element i of the table; 0 outside 0..20600.
qint16 phone(int index);
} // namespace kz
