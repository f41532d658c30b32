// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/pages.h"

class QWidget;

namespace kz {

constexpr int kClientWidthTwips = 8700;
constexpr int kClientHeightTwips = 7728;

// Builds every control of the window inside `form` with its design-time
// properties. Nothing is filled or wired here.
void buildForm1(QWidget *form, Form1Controls &c);

enum class Page { Com, Kz, SetUp, WordList, Pk, Log, About };

// Builds the window's own parts (the tab strip, the hidden boxes, the timers)
// and one page, hidden as in the window: a behaviour can then run with its
// page alone, as its tests run it.
void buildPageAlone(QWidget *form, Form1Controls &c, Page page);

} // namespace kz
