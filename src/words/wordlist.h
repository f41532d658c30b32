// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kz {

// The vocabulary the KZ speaks, by word number. The order is the numbering:
// never sort it. Entries 2048 to 2050 are empty.
constexpr int kWordCount = 2051;
// Items 0 to 2048 are copied into the Word List and KZ pages' lists.
constexpr int kPageListCount = 2049;

extern const char *const kWordTexts[kWordCount];

// The text of word n; empty for numbers outside 0 to 2050.
QString wordText(int wordNumber);

} // namespace kz
