// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/keyboard.h"

#include "kit/pages.h"
#include "window/shortcuts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <algorithm>

namespace kz {

namespace {

bool takesTabFocus(const QWidget *w)
{
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

// A container's stops: its children by place, top first, then left; a child
// that takes no focus itself (a frame, a box around its editor) is replaced
// by its own stops.
void collectStops(QWidget *container, QList<QWidget *> &stops)
{
    QList<QWidget *> children;
    for (QObject *o : container->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (w && !w->isWindow())
            children << w;
    }
    std::stable_sort(children.begin(), children.end(), [](QWidget *a, QWidget *b) {
        const QRect ra = a->geometry();
        const QRect rb = b->geometry();
        return ra.top() != rb.top() ? ra.top() < rb.top() : ra.left() < rb.left();
    });
    for (QWidget *w : children) {
        if (takesTabFocus(w))
            stops << w;
        else
            collectStops(w, stops);
    }
}

// An option whose group has a chosen option is reached through that one;
// the arrow keys move within the group.
bool standsForItsGroup(const QRadioButton *option)
{
    if (option->isChecked() || !option->autoExclusive())
        return true;
    const QList<QRadioButton *> group
        = option->parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    return std::none_of(group.begin(), group.end(),
                        [](const QRadioButton *o) { return o->autoExclusive() && o->isChecked(); });
}

} // namespace

KeyboardNavigator::KeyboardNavigator(const Form1Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls)
{
    QWidget *window = m_controls.form.window;
    // Outside a dialog a button takes Enter only when it is an auto-default
    // one; it is drawn the same.
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->setAutoDefault(true);

    const std::pair<QList<QKeySequence>, int> steps[]
        = {{nextPageKeys(), 1}, {previousPageKeys(), -1}};
    for (const auto &[keys, step] : steps) {
        for (const QKeySequence &key : keys) {
            auto *shortcut = new QShortcut(key, window);
            connect(shortcut, &QShortcut::activated, this, [this, step = step] { stepPage(step); });
        }
    }
    // The window opens with the focus where the user starts.
    m_controls.connect.Command1->setFocus();
    // The keys ask the control with the focus for its menu first.
    qApp->installEventFilter(this);
}

bool KeyboardNavigator::eventFilter(QObject *watched, QEvent *event)
{
    QPoint at;
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (!(key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
            && !(key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier))
            return false;
    } else if (event->type() == QEvent::ContextMenu
               && static_cast<QContextMenuEvent *>(event)->reason()
                   == QContextMenuEvent::Keyboard) {
        at = static_cast<QContextMenuEvent *>(event)->globalPos();
    } else {
        return false;
    }
    auto *control = qobject_cast<QWidget *>(watched);
    if (!control || control->window() != m_controls.form.window)
        return false;
    // A text box would offer its edit menu and a scroll bar none: from the
    // keyboard, the menu of the page the control is on, as on a button.
    QWidget *page = control;
    while (page != control->window()
           && !(page->contextMenuPolicy() == Qt::ActionsContextMenu && !page->actions().isEmpty()))
        page = page->parentWidget();
    if (page == control->window())
        return false;
    // Some platforms turn the Menu key into a context menu event as well as
    // passing the key on: one menu for the two.
    if (m_pageMenuOpen || (m_pageMenuClosed.isValid() && m_pageMenuClosed.elapsed() < 300))
        return true;
    if (at.isNull())
        at = control->mapToGlobal(control->rect().center());
    m_pageMenuOpen = true;
    QMenu::exec(page->actions(), at, nullptr, control);
    m_pageMenuOpen = false;
    m_pageMenuClosed.start();
    return true;
}

QList<QWidget *> KeyboardNavigator::stops() const
{
    QList<QWidget *> stops;
    collectStops(m_controls.form.window, stops);
    return stops;
}

bool KeyboardNavigator::reachable(QWidget *stop) const
{
    if (!stop->isVisible() || !stop->isEnabled() || !takesTabFocus(stop))
        return false;
    if (auto *option = qobject_cast<QRadioButton *>(stop); option && !standsForItsGroup(option))
        return false;
    // Before the KZ is found the COM page is shown, but beneath the pictures.
    QWidget *window = m_controls.form.window;
    QWidget *top = window->childAt(stop->mapTo(window, stop->rect().center()));
    return top && (top == stop || stop->isAncestorOf(top));
}

bool KeyboardNavigator::moveFocus(bool next)
{
    const QList<QWidget *> all = stops();
    if (all.isEmpty())
        return false;
    QWidget *focus = QApplication::focusWidget();
    const auto holder = std::find_if(all.begin(), all.end(), [focus](QWidget *stop) {
        return focus && (stop == focus || stop->isAncestorOf(focus));
    });
    const qsizetype n = all.size();
    const qsizetype from = holder != all.end() ? holder - all.begin() : (next ? n - 1 : 0);
    for (qsizetype i = 1; i <= n; ++i) {
        QWidget *candidate = all[((from + (next ? i : -i)) % n + n) % n];
        if (candidate != focus && reachable(candidate)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

void KeyboardNavigator::stepPage(int step)
{
    // Only where a click could reach a tab: the strip is hidden before the
    // KZ is found and during an upload.
    QTabBar *tabs = m_controls.form.TabStrip1;
    if (!tabs->isVisible() || !tabs->isEnabled() || tabs->count() == 0)
        return;
    tabs->setCurrentIndex((tabs->currentIndex() + step + tabs->count()) % tabs->count());
}

} // namespace kz
