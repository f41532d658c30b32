// SPDX-License-Identifier: GPL-3.0-or-later
// The window for keyboard users and assistive technology: names and roles
// of every control, Tab order and focus marks, page keys, announcements.
#include "device/devicelink.h"
#include "kit/widgets.h"
#include "support.h"
#include "window/readings/readings.h"
#include "window/readings/readingsview.h"
#include "window/shortcuts.h"
#include "window/tabnavigator.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#ifdef KZ_HAVE_QT_PRIVATE
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#endif

using namespace kz;
using namespace kz::test;

namespace {

// A control as assistive technology meets it: a text box by its editor.
struct Seen {
    QWidget *control;
    QAccessibleInterface *met;
    QString label; // in the table, when not the control's own name
};

// Controls that lie above others come first, as in the window's design; into
// frames and picture boxes, not into the browser's place.
void walk(QAccessibleInterface *parent, QList<Seen> &seen)
{
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        QAccessibleInterface *child = parent->child(i);
        auto *w = qobject_cast<QWidget *>(child->object());
        if (!w || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QAccessibleInterface *met
            = w->focusProxy() ? QAccessible::queryAccessibleInterface(w->focusProxy()) : child;
        seen << Seen {w, met, {}};
        if (qobject_cast<QGroupBox *>(w) || w->metaObject() == &QFrame::staticMetaObject)
            walk(child, seen);
        // A multi-line box's scroll bar is met as a control of its own.
        auto *box = qobject_cast<TextBox *>(w);
        auto *area = box ? qobject_cast<QAbstractScrollArea *>(box->editor()) : nullptr;
        if (area && area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
            QAccessibleInterface *bar
                = QAccessible::queryAccessibleInterface(area->verticalScrollBar());
            // Reached from the box, through the bar's frame.
            QVERIFY(met->indexOfChild(bar->parent()) >= 0);
            seen << Seen {area->verticalScrollBar(), bar,
                          w->objectName() + QStringLiteral(" scroll bar")};
        }
    }
}

QList<Seen> walkWindow(QWidget *window)
{
    QList<Seen> seen;
    walk(QAccessible::queryAccessibleInterface(window), seen);
    return seen;
}

QString stopName(const QWidget *w)
{
    return w->objectName().isEmpty() ? w->parentWidget()->objectName() : w->objectName();
}

struct Event {
    QAccessible::Event type;
    QObject *object;
    QString inserted;
};
QList<Event> events;

void noteEvent(QAccessibleEvent *e)
{
    const bool insert = e->type() == QAccessible::TextInserted;
    events.append({e->type(), e->object(),
                   insert ? static_cast<QAccessibleTextInsertEvent *>(e)->textInserted() : ""});
}

bool raised(QAccessible::Event type, QObject *object, const QString &inserted = {})
{
    return std::any_of(events.begin(), events.end(), [&](const Event &e) {
        return e.type == type && e.object == object && e.inserted.trimmed() == inserted;
    });
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { h.reset(); }
    void everyControlOfEveryPageIsNamed_data();
    void everyControlOfEveryPageIsNamed();
    void namesTableIsCurrent();
    void tabGoesThroughThePageInReadingOrder_data();
    void tabGoesThroughThePageInReadingOrder();
    void pageKeysSwitchAsAClickOnTheTab_data();
    void pageKeysSwitchAsAClickOnTheTab();
    void keysOfButtonsListsAndScrollBars();
    void answerAndUploadEndReachAssistiveTechnology();
    void helpAndManPageListTheKeys();
    void comPageIsNotShowingBeneathThePictures();
    void pageMenuOpensByKeyFromAnyControl_data();
    void pageMenuOpensByKeyFromAnyControl();
    void firstClickIntoTheQuestionBoxSelectsItsText();

private:
    void show(const QString &caption);
    QWidget *focus() const { return QApplication::focusWidget(); }
    std::unique_ptr<WindowHarness> h;
};

void TestAccessibility::init()
{
    qputenv("KZ_NO_WEBENGINE", "1");
    h = std::make_unique<WindowHarness>();
    h->createWindow();
    h->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h->window()));
}

// Connects and shows a page; the empty caption stays before connecting.
void TestAccessibility::show(const QString &caption)
{
    if (caption.isEmpty())
        return;
    QVERIFY(h->start(caption));
}

void TestAccessibility::everyControlOfEveryPageIsNamed_data()
{
    QTest::addColumn<QString>("caption");
    for (const char *caption :
         {"", "COM", "KZ", "SET UP", "Word List", "PK", "About The KZ", "Log File"})
        QTest::newRow(*caption ? caption : "before connecting") << QString::fromLatin1(caption);
}

void TestAccessibility::everyControlOfEveryPageIsNamed()
{
    QFETCH(QString, caption);
    show(caption);
    QMap<QString, QString> named;
    for (const auto &[w, met, label] : walkWindow(h->window())) {
        const QString why = w->objectName() + label + u' ' + met->text(QAccessible::Name);
        // Tooltips are descriptions; Qt's tab strip describes its tabs only.
        const bool tabs = met->role() == QAccessible::PageTabList;
        QCOMPARE((tabs ? met->child(0) : met)->text(QAccessible::Description), w->toolTip());
        if (met->state().invisible)
            continue;
        QVERIFY2(!met->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(why));
        QVERIFY2(met->role() != QAccessible::NoRole && met->role() != QAccessible::Client,
                 qPrintable(why));
        const QList<QAccessible::Role> valued {QAccessible::ScrollBar, QAccessible::ProgressBar,
                                               QAccessible::Indicator};
        QVERIFY2(!valued.contains(met->role()) || met->valueInterface(), qPrintable(why));
        // A label shares its caption with the control it labels.
        if (met->role() == QAccessible::StaticText)
            continue;
        QVERIFY2(!named.contains(met->text(QAccessible::Name)), qPrintable(why));
        named.insert(met->text(QAccessible::Name), w->objectName());
    }
    QVERIFY(named.size() > 3);
}

// docs/accessible-names.md is this walk's table; KZ_WRITE_NAMES=1 rewrites it.
void TestAccessibility::namesTableIsCurrent()
{
    QString table = QStringLiteral(
        "# Accessible names\n\nEach control of the window as assistive technology meets it (a "
        "text box by its editor),\nkept current by `tests/tst_accessibility`.\n\n"
        "| Control | Inside | Role | Name | Description |\n|---|---|---|---|---|\n");
    const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
    for (const auto &[w, met, label] : walkWindow(h->window()))
        table += QStringLiteral("| `%1` | `%2` | %3 | %4 | %5 |\n")
                     .arg(label.isEmpty() ? w->objectName() : label,
                          label.isEmpty() ? w->parentWidget()->objectName() : label.section(u' ', 0, 0),
                          QLatin1String(roles.valueToKey(met->role())),
                          met->text(QAccessible::Name), met->text(QAccessible::Description));

    // The readings window, opened as a user opens it, with every control
    // named; where it is not built, the table's part about it is left as it
    // is.
    const QString readingsHeading = QStringLiteral("\n## The readings window\n\n");
    QString readings = readingsHeading
        + QStringLiteral("| Control | Inside | Role | Name | Description |\n|---|---|---|---|---|\n");
    const bool built = !Readings::findPlugin().isEmpty();
    if (built) {
        QVERIFY(h->window()->readings().show());
        QWidget *view = h->window()->readings().view();
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(window->role(), QAccessible::Window);
        QList<QAccessibleInterface *> parts {window};
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QAccessibleInterface *met = parts.at(i);
            for (int j = 0; j < met->childCount(); ++j)
                parts << met->child(j);
            auto *w = qobject_cast<QWidget *>(met->object());
            if (!w || met->state().invisible)
                continue;
            const QString name = met->text(QAccessible::Name);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(met->role() != QAccessible::Client && met->role() != QAccessible::NoRole,
                     qPrintable(w->objectName()));
            // The status line's text changes with what is in view.
            const bool status = w->objectName() == QLatin1String("readingsStatus");
            readings += QStringLiteral("| `%1` | `%2` | %3 | %4 | %5 |\n")
                            .arg(w->objectName(),
                                 w->parentWidget() ? w->parentWidget()->objectName() : QString(),
                                 QLatin1String(roles.valueToKey(met->role())),
                                 status ? QStringLiteral("(what is in view)") : name,
                                 met->text(QAccessible::Description));
        }
    }
    QFile file(QStringLiteral(KZ_SOURCE_DIR "/docs/accessible-names.md"));
    if (qEnvironmentVariableIsSet("KZ_WRITE_NAMES") && built) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((table + readings).toUtf8());
        file.close();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString kept = QString::fromUtf8(file.readAll());
    const qsizetype split = kept.indexOf(readingsHeading);
    QCOMPARE(kept.left(split), table);
    if (built)
        QCOMPARE(kept.mid(split), readings);
}

// Before the first connection the pictures cover the COM page: its controls
// must not be reported as showing, and are once connected.
void TestAccessibility::comPageIsNotShowingBeneathThePictures()
{
    const auto &c = h->controls();
    const QList<QWidget *> controls {c.com.Command2, c.com.Text3, c.com.Text2, c.com.List1,
                                     c.com.Option7};
    auto showing = [](QWidget *w) {
        QWidget *met = w->focusProxy() ? w->focusProxy() : w;
        return !QAccessible::queryAccessibleInterface(met)->state().invisible;
    };
    for (QWidget *w : controls)
        QVERIFY2(!showing(w), qPrintable(w->objectName()));
    show(QStringLiteral("COM"));
    for (QWidget *w : controls)
        QVERIFY2(showing(w), qPrintable(w->objectName()));
}

void TestAccessibility::pageMenuOpensByKeyFromAnyControl_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QKeyCombination>("key");
    QTest::newRow("question box, Menu") << "COM" << "Text3" << QKeyCombination(Qt::Key_Menu);
    QTest::newRow("event window, Shift+F10") << "COM" << "Text2" << (Qt::SHIFT | Qt::Key_F10);
    QTest::newRow("scroll bar, Menu") << "Word List" << "HScroll7" << QKeyCombination(Qt::Key_Menu);
    QTest::newRow("log, Shift+F10") << "Log File" << "Text16" << (Qt::SHIFT | Qt::Key_F10);
    QTest::newRow("button, Menu") << "SET UP" << "Command10" << QKeyCombination(Qt::Key_Menu);
    QTest::newRow("start screen, Shift+F10") << "" << "Command1" << (Qt::SHIFT | Qt::Key_F10);
}

// The page's menu, not a text box's edit menu nor nothing on a scroll bar.
void TestAccessibility::pageMenuOpensByKeyFromAnyControl()
{
    QFETCH(QString, caption);
    QFETCH(QString, control);
    QFETCH(QKeyCombination, key);
    show(caption);
    auto *w = h->window()->findChild<QWidget *>(control);
    QWidget *target = w->focusProxy() ? w->focusProxy() : w;
    target->setFocus();
    QStringList offered;
    QTimer::singleShot(0, this, [&offered] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (const QAction *action : menu->actions())
                offered << action->text();
            menu->close();
        }
    });
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
    QVERIFY2(offered.contains(Readings::kActionText), qPrintable(offered.join(u',')));
}

// Tab into the box selects its first text, so that a question typed at once
// replaces it; a first click must do the same.
void TestAccessibility::firstClickIntoTheQuestionBoxSelectsItsText()
{
    show(QStringLiteral("COM"));
    TextBox *box = h->controls().com.Text3;
    auto *editor = static_cast<QLineEdit *>(box->editor());
    const QString first = box->text();
    QTest::mouseClick(editor, Qt::LeftButton, {}, editor->rect().center());
    QCOMPARE(editor->selectedText(), first);
    QCOMPARE(box->text(), first);
    QTest::keyClicks(editor, QStringLiteral("Rain?"));
    QCOMPARE(box->text(), QStringLiteral("Rain?"));
    // Once the text is the user's, a click puts the cursor where it falls.
    QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(1, editor->height() / 2));
    QVERIFY(editor->selectedText().isEmpty());
}

void TestAccessibility::tabGoesThroughThePageInReadingOrder_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("order");
    // Before connecting the COM page is shown, but covered by the pictures.
    QTest::newRow("before connecting") << ""
                                       << "Command1 Text1";
    QTest::newRow("COM") << "COM"
                         << "TabStrip1 List1 Text2 Text3 Command2 Option7";
    QTest::newRow("KZ") << "KZ"
                        << "TabStrip1 Command4 Command6 Command9 Command7 Command8";
    QTest::newRow("SET UP")
        << "SET UP"
        << "TabStrip1 Command16 Option1 Command10 Text9 HScroll3 Text4 HScroll4 Text5 HScroll5 "
           "Text6 HScroll6 Text7 Command48 Command11 Command13 VScroll1 Text14 VScroll12 Text25 "
           "VScroll13 Text26 VScroll2 Text11 VScroll10 Text23 VScroll11 Text24 VScroll3 Text12 "
           "VScroll8 Text21 VScroll9 Text22 VScroll4 Text13 VScroll6 Text19 VScroll7 Text20 "
           "Option4 Command57 Command12 Command14";
    QTest::newRow("Word List")
        << "Word List"
        << "TabStrip1 List3 Check5 Command47 HScroll7 Text8 Command24 Command17 Text27";
    QTest::newRow("PK") << "PK"
                        << "TabStrip1 Command5 Text15";
    // The browser's place holds the stand-in for the system's browser.
    QTest::newRow("About") << "About The KZ"
                           << "TabStrip1 Command25 Command26 Command28 openButton";
    QTest::newRow("Log File") << "Log File"
                              << "TabStrip1 Command21 Command22 Text16";
}

// Round the page with Tab and back with Shift+Tab; each control looks
// different while it has the focus.
void TestAccessibility::tabGoesThroughThePageInReadingOrder()
{
    QFETCH(QString, caption);
    QFETCH(QString, order);
    show(caption);
    const QStringList stops = order.split(u' ');
    // A blinking caret is no mark.
    for (QPlainTextEdit *box : h->window()->findChildren<QPlainTextEdit *>())
        box->setCursorWidth(0);
    // Styles mark a focus that came by keyboard.
    h->window()->findChild<QWidget *>(stops.last())->setFocus();
    QTest::keyClick(focus(), Qt::Key_Tab);
    QStringList forth {stopName(focus())};
    for (int i = 0; i < stops.size(); ++i) {
        QWidget *was = focus();
        const QImage marked = was->grab().toImage();
        QTest::keyClick(was, Qt::Key_Tab);
        QVERIFY2(was->grab().toImage() != marked, qPrintable(stopName(was)));
        forth << stopName(focus());
    }
    QCOMPARE(forth, stops + QStringList {stops.first()});
    QStringList back {stopName(focus())};
    for (int i = 0; i < stops.size(); ++i) {
        QTest::keyClick(focus(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.prepend(stopName(focus()));
    }
    QCOMPARE(back, forth);
}

void TestAccessibility::pageKeysSwitchAsAClickOnTheTab_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("sent");
    const QString kz = QStringLiteral("@ 2 2,@ 2 2,@ 47 1 1");
    QTest::newRow("Ctrl+Tab") << "COM" << (Qt::CTRL | Qt::Key_Tab) << "KZframe" << kz;
    QTest::newRow("Ctrl+PgDown") << "COM" << (Qt::CTRL | Qt::Key_PageDown) << "KZframe" << kz;
    QTest::newRow("Ctrl+Shift+Tab")
        << "COM" << (Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab) << "Frame10"
        << "@ 2 2,@ 2 2";
    QTest::newRow("Ctrl+PgUp") << "COM" << (Qt::CTRL | Qt::Key_PageUp) << "Frame10"
                               << "@ 2 2,@ 2 2";
    QTest::newRow("past the last page") << "Log File" << (Qt::CTRL | Qt::Key_Tab) << "comframe"
                                        << "@ 2 2,@ 2 2";
    QTest::newRow("before connecting") << "" << (Qt::CTRL | Qt::Key_Tab) << "comframe"
                                       << "";
}

// From a multi-line box too, which takes other keys itself.
void TestAccessibility::pageKeysSwitchAsAClickOnTheTab()
{
    QFETCH(QString, from);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, page);
    QFETCH(QString, sent);
    show(from);
    const auto &c = h->controls();
    (from == QLatin1String("Log File") ? c.log.Text16 : c.com.Text2)->setFocus();
    QTest::keyClick(focus(), key.key(), key.keyboardModifiers());
    QTRY_VERIFY(h->window()->findChild<QWidget *>(page)->isVisible());
    // The page shows at once; its lines follow from the event loop.
    QTRY_VERIFY(!h->window()->link().isSequenceRunning());
    QCOMPARE(h->port()->lines().join(u','), sent);
}

void TestAccessibility::keysOfButtonsListsAndScrollBars()
{
    show(QStringLiteral("Word List"));
    const auto &c = h->controls();
    QSignalSpy pressed(c.words.Command47, &QPushButton::clicked);
    QTest::keyClick(c.words.Command47, Qt::Key_Return);
    QTest::keyClick(c.words.Command47, Qt::Key_Space);
    QCOMPARE(pressed.count(), 2);
    // The word those asked for is said before the next request.
    QTRY_VERIFY(!h->window()->link().isSequenceRunning());
    // Enter on a word says it, as a click does.
    c.words.List3->setFocus();
    QTest::keyClick(c.words.List3, Qt::Key_End);
    h->port()->clearWritten();
    QTest::keyClick(c.words.List3, Qt::Key_Return);
    QTRY_COMPARE(h->port()->lines().value(1),
                 QStringLiteral("@  %1 0").arg(c.words.List3->count() - 1));
    // Home and End go to the ends a bar shows, larger values on top or not.
    for (ScrollBar *bar : {c.words.HScroll7, c.setup.VScroll1}) {
        QTest::keyClick(bar, Qt::Key_Home);
        QCOMPARE(bar->value(), bar->designMin());
        QTest::keyClick(bar, Qt::Key_End);
        QCOMPARE(bar->value(), bar->designMax());
    }
}

void TestAccessibility::answerAndUploadEndReachAssistiveTechnology()
{
#ifndef KZ_HAVE_QT_PRIVATE
    QSKIP("needs Qt's private headers (qt6-base-private-dev) to switch accessibility on");
#else
    // Offscreen no assistive technology is ever there: switched on, events
    // reach the handler as they would reach it.
    QPlatformAccessibility *platform
        = QGuiApplicationPrivate::platformIntegration()->accessibility();
    platform->setActive(true);
    QAccessible::installUpdateHandler(noteEvent);
    const auto off = qScopeGuard([platform] {
        QAccessible::installUpdateHandler(nullptr);
        platform->setActive(false);
    });
    show(QStringLiteral("COM"));
    const auto &c = h->controls();
    c.com.Option2->click();
    c.com.Command2->click();
    events.clear();
    QTRY_VERIFY(c.com.Text2->text().startsWith(QStringLiteral("KZ  :")));
    // The answer alone, not the whole event window again.
    QVERIFY(raised(QAccessible::TextInserted, c.com.Text2->editor(), QStringLiteral("KZ  :")));

    QVERIFY(h->showPage(QStringLiteral("Word List")));
    events.clear();
    QTimer::singleShot(0, &h->window()->link(), &DeviceLink::cancelSequence);
    c.words.Command24->click();
    // The click returns at once; the upload ends from the event loop.
    QTRY_COMPARE(h->window()->windowTitle(), QStringLiteral("Upload cancelled at block 0"));
    // Told once the upload has stopped the KZ.
    QTRY_VERIFY(raised(QAccessible::NameChanged, h->window()));
#endif
}

void TestAccessibility::helpAndManPageListTheKeys()
{
    QProcess kz;
    kz.start(QStringLiteral(KZ_APP_PATH), {QStringLiteral("--help")});
    QVERIFY(kz.waitForFinished());
    const QString help = QString::fromLocal8Bit(kz.readAllStandardOutput());
    QFile man(QStringLiteral(KZ_SOURCE_DIR "/packaging/kz.1.in"));
    QVERIFY(man.open(QIODevice::ReadOnly));
    // The page writes a minus as troff has it.
    const QString page = QString::fromUtf8(man.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    for (const KeyUse &k : keyboardUse())
        QVERIFY2(help.contains(k.keys) && page.contains(k.keys), qPrintable(k.keys));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
