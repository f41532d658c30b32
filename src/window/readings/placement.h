// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>

#include <algorithm>

namespace kz {

// Where a window of `size` (frame included) opens beside the window `main`
// on a screen whose free area is `screen`: to its right, else to its left,
// below or above it, where it fits whole, narrowed or shortened down to
// `smallest` if need be; where it fits nowhere, at the place on the screen
// that covers the least of `main`.
//
// Header-only: the readings window's plugin links none of the program.
inline QRect placeBeside(const QRect &main, QSize size, QSize smallest, const QRect &screen)
{
    size = size.boundedTo(screen.size());
    smallest = smallest.boundedTo(size);
    auto onScreen = [&](QPoint at, QSize s) {
        return QRect(QPoint(std::clamp(at.x(), screen.left(), screen.right() - s.width() + 1),
                            std::clamp(at.y(), screen.top(), screen.bottom() - s.height() + 1)),
                     s);
    };
    // The room on each side, and the window fitted into it.
    const int right = screen.right() - main.right();
    const int left = main.left() - screen.left();
    const int below = screen.bottom() - main.bottom();
    const int above = main.top() - screen.top();
    const QSize narrowed[] = {QSize(std::min(size.width(), right), size.height()),
                              QSize(std::min(size.width(), left), size.height())};
    const QSize shortened[] = {QSize(size.width(), std::min(size.height(), below)),
                               QSize(size.width(), std::min(size.height(), above))};
    const QRect sides[] = {
        onScreen(QPoint(main.right() + 1, main.top()), narrowed[0]),
        onScreen(QPoint(main.left() - narrowed[1].width(), main.top()), narrowed[1]),
        onScreen(QPoint(main.left(), main.bottom() + 1), shortened[0]),
        onScreen(QPoint(main.left(), main.top() - shortened[1].height()), shortened[1]),
    };
    for (const QRect &r : sides) {
        if (r.width() >= smallest.width() && r.height() >= smallest.height()
            && !r.intersects(main))
            return r;
    }
    // Nowhere beside it: whole, wherever it hides the least of the main
    // window (the first such place, in the order above, then the corners).
    const QList<QRect> places {
        onScreen(QPoint(main.right() + 1, main.top()), size),
        onScreen(QPoint(main.left() - size.width(), main.top()), size),
        onScreen(QPoint(main.left(), main.bottom() + 1), size),
        onScreen(QPoint(main.left(), main.top() - size.height()), size),
        onScreen(screen.topLeft(), size),
        onScreen(screen.topRight(), size),
        onScreen(screen.bottomLeft(), size),
        onScreen(screen.bottomRight(), size),
    };
    auto covered = [&](const QRect &r) {
        const QRect both = r.intersected(main);
        return qint64(both.width()) * both.height();
    };
    return *std::min_element(places.begin(), places.end(), [&](const QRect &a, const QRect &b) {
        return covered(a) < covered(b);
    });
}

} // namespace kz
