// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/shortcuts.h"

#include <QStringList>

namespace kz {

namespace {
QString joined(const QList<QKeySequence> &keys)
{
    QStringList names;
    for (const QKeySequence &k : keys)
        names << k.toString(QKeySequence::PortableText);
    return names.join(QStringLiteral(", "));
}
} // namespace

QList<QKeySequence> nextPageKeys()
{
    return {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)};
}

QList<QKeySequence> previousPageKeys()
{
    return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
            QKeySequence(Qt::CTRL | Qt::Key_PageUp)};
}

QKeySequence readingsKey()
{
    return QKeySequence(Qt::CTRL | Qt::Key_R);
}

QList<KeyUse> keyboardUse()
{
    return {
        {QStringLiteral("Tab, Shift+Tab"),
         QStringLiteral("the next or previous control, tab strip included, in reading "
                        "order")},
        {joined(nextPageKeys()),
         QStringLiteral("the next page, as a click on its tab (which stops the KZ)")},
        {joined(previousPageKeys()), QStringLiteral("the previous page, likewise")},
        {QStringLiteral("Left, Right"), QStringLiteral("on the tab strip: the page beside")},
        {QStringLiteral("Space, Enter"),
         QStringLiteral("press the button that has the focus; Space ticks a check box")},
        {QStringLiteral("Arrow keys"),
         QStringLiteral("choose within a group of options; move a scroll bar or in a list")},
        {QStringLiteral("PgUp, PgDown, Home, End"),
         QStringLiteral("in a scroll bar or a list: a page at a time, or to either end")},
        {QStringLiteral("Enter"), QStringLiteral("in the question box: ask")},
        {QStringLiteral("Enter, Space"),
         QStringLiteral("in the Word List page's list: say the word, as a click does")},
        {QStringLiteral("Esc"), QStringLiteral("stop a running upload or auto tune")},
        {readingsKey().toString(QKeySequence::PortableText),
         QStringLiteral("open the readings window, as \"Show readings\" on a page's context "
                        "menu does")},
        {QStringLiteral("Menu, Shift+F10"),
         QStringLiteral("the page's context menu (\"Show readings\", \"Record the wire to a "
                        "file...\"), from any control of the page")},
        // The readings window's own keys; its plot starts with the focus.
        {QStringLiteral("Readings window: Left, Right, PgUp, PgDown"),
         QStringLiteral("on the plot: back or on in time, a tenth of the view or a whole one")},
        {QStringLiteral("Readings window: +, -"),
         QStringLiteral("on the plot: less or more time in view (Ctrl++, Ctrl+- and the wheel, "
                        "with Ctrl or without, too)")},
        {QStringLiteral("Readings window: Home, End"),
         QStringLiteral("on the plot: the oldest point; the newest, following it again")},
        {QStringLiteral("Readings window: M, Shift+M"),
         QStringLiteral("on the plot: the next or previous mark (question, answer, mode, "
                        "upload), its text shown and passed to assistive technology")},
        {QStringLiteral("Readings window: Esc, Ctrl+W"),
         QStringLiteral("close the readings window; the readings are still collected")},
    };
}

QString keyboardHelpText()
{
    QString text = QStringLiteral("\n\nKeyboard:");
    for (const KeyUse &k : keyboardUse())
        text += QStringLiteral("\n  %1\n      %2").arg(k.keys, k.use);
    return text;
}

} // namespace kz
