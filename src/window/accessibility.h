// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace kz {

struct Form1Controls;

// Gives every control the name a user would say for it, which assistive
// technology reads out and tools find it by: its caption where it has one,
// else the caption of the label or frame beside it, or its purpose. A
// control's tooltip is its description. The window shows as a window, the
// gauge and the PK line as the values they show.
void nameControls(const Form1Controls &controls);

// While `cover` (the start screen's pictures) lies over `page`, the page's
// controls are hidden rather than only covered: assistive technology would
// report them as showing.
void hideWhileCovered(QWidget *cover, QWidget *page);

// Tells assistive technology that the window's title changed: a result the
// program shows only there (an upload's end) then reaches it.
void announceTitle(QWidget *window);

} // namespace kz
