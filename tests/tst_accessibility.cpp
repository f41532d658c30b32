// SPDX-License-Identifier: GPL-3.0-or-later
// The window for keyboard users and assistive technology: names and roles
// of every control, Tab order and focus marks, page keys, announcements.
#include "device/devicelink.h"
#include "kit/widgets.h"
#include "support.h"
#include "window/shortcuts.h"
#include "window/tabnavigator.h"

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
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
        seen << Seen {
            w, w->focusProxy() ? QAccessible::queryAccessibleInterface(w->focusProxy()) : child};
        if (qobject_cast<QGroupBox *>(w) || w->metaObject() == &QFrame::staticMetaObject)
            walk(child, seen);
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
    for (const auto &[w, met] : walkWindow(h->window())) {
        const QString why = w->objectName() + QStringLiteral(" ") + met->text(QAccessible::Name);
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
    for (const auto &[w, met] : walkWindow(h->window()))
        table += QStringLiteral("| `%1` | `%2` | %3 | %4 | %5 |\n")
                     .arg(w->objectName(), w->parentWidget()->objectName(),
                          QLatin1String(roles.valueToKey(met->role())),
                          met->text(QAccessible::Name), met->text(QAccessible::Description));
    QFile file(QStringLiteral(KZ_SOURCE_DIR "/docs/accessible-names.md"));
    if (qEnvironmentVariableIsSet("KZ_WRITE_NAMES")) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(table.toUtf8());
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), table);
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
    QCOMPARE(h->window()->windowTitle(), QStringLiteral("Upload cancelled at block 0"));
    QVERIFY(raised(QAccessible::NameChanged, h->window()));
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
    const QString page = QString::fromUtf8(man.readAll());
    for (const KeyUse &k : keyboardUse())
        QVERIFY2(help.contains(k.keys) && page.contains(k.keys), qPrintable(k.keys));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
