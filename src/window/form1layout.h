#pragma once

#include "kit/pages.h"

class QWidget;

namespace kz {

constexpr int kClientWidthTwips = 8700;
constexpr int kClientHeightTwips = 7728;

// Builds every control of the window inside `form` with its design-time
// properties. Nothing is filled or wired here.
void buildForm1(QWidget *form, Form1Controls &c);

} // namespace kz
