// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>

class QWidget;

namespace kz {

struct Form1Controls;

// The window from the keyboard. Tab and Shift+Tab go through the controls a
// user can see, in reading order: left to right, top to bottom, a frame's
// controls together. Ctrl+Tab and Ctrl+PgDown (Ctrl+Shift+Tab and
// Ctrl+PgUp) choose the next (previous) page as a click on its tab would.
// Buttons take Enter as well as Space. The Menu key and Shift+F10 open the
// page's menu from any control of the page, a text box or a scroll bar too.
class KeyboardNavigator : public QObject {
    Q_OBJECT
public:
    explicit KeyboardNavigator(const Form1Controls &controls, QObject *parent = nullptr);

    // Gives the focus to the next (or previous) control that can take it.
    // The window's own focusNextPrevChild: Tab and Shift+Tab come here, and
    // so does Qt when the control with the focus is hidden or disabled.
    bool moveFocus(bool next);

    // Every control the focus can stop on, shown or not, in reading order.
    QList<QWidget *> stops() const;
    // Whether the focus can go to this stop now: it is shown, enabled and not
    // covered by another control, and is the chosen one of its options.
    bool reachable(QWidget *stop) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stepPage(int step);

    const Form1Controls &m_controls;
    bool m_pageMenuOpen = false;
    QElapsedTimer m_pageMenuClosed;
};

} // namespace kz
