// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/wordlist.h"

namespace kz {

QString wordText(int wordNumber)
{
    if (wordNumber < 0 || wordNumber >= kWordCount)
        return {};
    return QString::fromLatin1(kWordTexts[wordNumber]);
}

} // namespace kz
