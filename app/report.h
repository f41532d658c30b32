// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace kz {

class Form1;

// Reports for the benchmark: each prints one line to standard output when
// its moment comes, then ends the program.

// When the window first paints: the peak resident memory, the CPU time used
// so far (which, unlike the time taken, hardly depends on the machine's load)
// and whether a GL driver is loaded, which the first paint must not need even
// on a real display. Then, on a line of its own, the browser plugin the About
// page would load, found but not loaded, and the readings window's plugin,
// with whether its plotting library is loaded (it must not be).
void reportFirstPaint(Form1 &window);

// Opens the About page, waits for its browser to finish the page (or give
// up), lets it settle, then reports the memory of the program and of every
// process it started.
void reportAboutPage(Form1 &window);

// CPU time used by this process so far, user and system; -1 where unknown.
double cpuMs();

// Peak resident memory in kB, where the system tells it; -1 elsewhere.
long peakResidentKb();

// Whether a library whose file name starts with namePrefix is mapped into
// this process. False where the system cannot tell.
bool libraryMapped(const QByteArray &namePrefix);

// Whether a GL driver (not just the dispatch libraries every Qt GUI program
// links) is mapped into this process. False where the system cannot tell.
bool glDriverLoaded();

} // namespace kz
