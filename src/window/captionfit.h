// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QWidget;

namespace kz {

// The window was laid out for a narrow 8-point design font. Where that font
// is missing, one whose widths match it stands in before any generic sans
// serif, which is about 15% wider.
QString windowFontFamily();
// A font of the window's family at the given size.
QFont windowFont(double pointSize);

// A caption or fixed text shown by a control, against the room the control
// gives it, in pixels of the font the control uses.
struct Caption {
    QWidget *control = nullptr;
    QString text;
    int advance = 0;
    int room = 0;
    bool fits() const { return advance <= room; }
};

// Every caption under `root`: button, option and check box captions, label
// texts, frame titles and tab captions.
QList<Caption> captionsOf(QWidget *root);

// Where a caption does not fit, that control's font (and only its) shrinks
// in half-point steps, down to three quarters of its size; its place and
// size stay as designed.
void fitCaptions(QWidget *root);

} // namespace kz
