// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it stands before anything happens: controls, places,
// captions, design-time properties.
#include "device/pacing.h"
#include "support.h"
#include "kit/widgets.h"
#include "window/tabnavigator.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>

using namespace kz;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void captionAndFixedClientArea();
    void controlsStandInTheirContainers_data();
    void controlsStandInTheirContainers();
    void placesAreTwipsAtFifteenToAPixel_data();
    void placesAreTwipsAtFifteenToAPixel();
    void captionsAndTooltips_data();
    void captionsAndTooltips();
    void initialVisibility();
    void optionGroupsPerContainer();
    void scrollBarsWithLargerMinimumShowLargeValuesOnTop();
    void timersAndTheirStates();
    void tabsInOrder();
    void tabFoundByItsCaptionInAnyCase_data();
    void tabFoundByItsCaptionInAnyCase();
    void picturesCoverThePagesBeforeConnecting();
    void colours();
    void textSetFromOutsideTheProgramIsTaken_data();
    void textSetFromOutsideTheProgramIsTaken();

private:
    QWidget *find(const char *name) const;
    std::unique_ptr<test::WindowHarness> h;
};

void TestWindow::initTestCase()
{
    h = std::make_unique<test::WindowHarness>();
    h->createWindow();
    QVERIFY(QTest::qWaitForWindowExposed(h->window()));
}

void TestWindow::cleanupTestCase()
{
    h.reset();
}

QWidget *TestWindow::find(const char *name) const
{
    return h->window()->findChild<QWidget *>(QLatin1String(name));
}

void TestWindow::captionAndFixedClientArea()
{
    QCOMPARE(h->window()->windowTitle(), QStringLiteral("KZ   VERSION 1.41"));
    QCOMPARE(h->window()->size(), QSize(580, 515));
    QCOMPARE(h->window()->minimumSize(), h->window()->maximumSize());
    // The desktop's icon, from the program's resources.
    QCOMPARE(h->window()->windowIcon().pixmap(32).size(), QSize(32, 32));
}

void TestWindow::controlsStandInTheirContainers_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("window") << "Form1"
                            << QStringList {"TabStrip1",  "rec",     "Frame2",     "Frame1",
                                            "Frame10",    "pkframe", "Aboutframe", "Controlframe",
                                            "setupframe", "KZframe", "comframe"};
    QTest::newRow("pictures") << "Frame2" << QStringList {"Image5", "Image4"};
    QTest::newRow("connect") << "Frame1" << QStringList {"Frame11", "Text1", "Command1"};
    QTest::newRow("manual port") << "Frame11" << QStringList {"VScroll5", "Command23", "Text17"};
    QTest::newRow("log") << "Frame10" << QStringList {"Command22", "Command21", "Text16"};
    QTest::newRow("pk") << "pkframe" << QStringList {"pktext", "Text15", "Command5", "Frame9"};
    QTest::newRow("field") << "Frame9" << QStringList {"Line1"};
    QTest::newRow("about") << "Aboutframe"
                           << QStringList {"Command28", "Command26", "Command25", "WebBrowser1"};
    QTest::newRow("set up") << "Controlframe" << QStringList {"Frame12", "Command10", "Frame8",
                                                              "Frame5",  "Frame3",    "Frame7"};
    QTest::newRow("sensitivity") << "Frame12"
                                 << QStringList {"Text20",    "VScroll7",  "Text19",   "VScroll6",
                                                 "VScroll4",  "Text13",    "Text22",   "VScroll9",
                                                 "Text21",    "VScroll8",  "VScroll3", "Text12",
                                                 "Text24",    "VScroll11", "Text23",   "VScroll10",
                                                 "VScroll2",  "Text11",    "Text26",   "VScroll13",
                                                 "Text25",    "VScroll12", "VScroll1", "Text14",
                                                 "Command57", "Option4",   "Option5",  "Option6",
                                                 "Command12", "Label8",    "Label7",   "Label6",
                                                 "Label5"};
    QTest::newRow("info") << "Frame8" << QStringList {"Text9"};
    QTest::newRow("voice") << "Frame5"
                           << QStringList {"Command13", "Command11", "Text7",    "HScroll6",
                                           "Command48", "Text6",     "HScroll5", "Text5",
                                           "HScroll4",  "Text4",     "HScroll3", "Label4",
                                           "Label3",    "Label2",    "Label1"};
    QTest::newRow("amp") << "Frame3" << QStringList {"Command16", "Option1"};
    QTest::newRow("auto tune") << "Frame7" << QStringList {"Picture3", "Command14", "Label9"};
    QTest::newRow("gauge") << "Picture3" << QStringList {"Label11", "Label10", "Line3"};
    QTest::newRow("word list") << "setupframe"
                               << QStringList {"Text27", "Command17", "Text18", "Command24",
                                               "Frame6", "List3",     "Text28"};
    QTest::newRow("say word") << "Frame6"
                              << QStringList {"Command47", "HScroll7", "Text8", "Check5"};
    QTest::newRow("kz") << "KZframe" << QStringList {"Command9", "Command8", "Command7", "Command6",
                                                     "Command4", "List2",    "Text10"};
    QTest::newRow("com") << "comframe" << QStringList {"Option8", "Option7", "Option2", "List1",
                                                       "Text2",   "Text3",   "Command2"};
}

void TestWindow::controlsStandInTheirContainers()
{
    QFETCH(QString, container);
    QFETCH(QStringList, names);
    QWidget *parent
        = container == QLatin1String("Form1") ? h->window() : find(qPrintable(container));
    QVERIFY(parent);
    for (const QString &name : names) {
        QWidget *w = parent->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
        QVERIFY2(w, qPrintable(name));
    }
}

void TestWindow::placesAreTwipsAtFifteenToAPixel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("tab strip") << "TabStrip1" << QRect(120, 360, 8415, 495);
    QTest::newRow("connect button") << "Command1" << QRect(240, 240, 1575, 315);
    QTest::newRow("status") << "Text1" << QRect(2040, 360, 6375, 285);
    QTest::newRow("picture frame") << "Frame2" << QRect(120, 1200, 8535, 6612);
    QTest::newRow("image4") << "Image4" << QRect(120, 600, 3360, 3012);
    QTest::newRow("set up page") << "Controlframe" << QRect(240, 600, 8415, 6855);
    QTest::newRow("pk page") << "pkframe" << QRect(120, 600, 8415, 6735);
    QTest::newRow("event window") << "Text2" << QRect(2400, 480, 5895, 5175);
    QTest::newRow("word list") << "List1" << QRect(360, 480, 1695, 5424);
    QTest::newRow("auto tune gauge") << "Picture3" << QRect(2400, 240, 2772, 1092);
    QTest::newRow("low repeat bar") << "VScroll3" << QRect(852, 1320, 255, 375);
    QTest::newRow("browser") << "WebBrowser1" << QRect(240, 720, 7932, 5292);
}

void TestWindow::placesAreTwipsAtFifteenToAPixel()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QWidget *w = find(qPrintable(name));
    QVERIFY(w);
    auto px = [](int t) { return qRound(t / 15.0); };
    QCOMPARE(w->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
}

void TestWindow::captionsAndTooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("connect") << "Command1"
                             << "Connect  to KZ"
                             << "";
    QTest::newRow("open") << "Command23"
                          << "Open Com #"
                          << "";
    QTest::newRow("read log") << "Command21"
                              << "Read Log"
                              << "Opens the com log file ";
    QTest::newRow("ask") << "Command2"
                         << "ASK"
                         << "Press the ASK button  to enter your question ";
    QTest::newRow("pk start") << "Command5"
                              << "Start"
                              << "Start Stop button";
    QTest::newRow("voice mode") << "Command8"
                                << "Voice change mode"
                                << "Click here to run voice change  mode";
    QTest::newRow("touch") << "Command7"
                           << "Touch Mode"
                           << "Click here to run  Touch   mode";
    QTest::newRow("read back") << "Command17"
                               << "Read Words Spoken"
                               << "Recovers the words spoken  from the KZ";
    QTest::newRow("save settings") << "Command57"
                                   << "Save Settings"
                                   << "Load the Current defults to test on the KZ";
    QTest::newRow("pitch") << "Label3"
                           << "Pitch"
                           << "Set Pich \" high or low\"";
    QTest::newRow("range") << "Label5"
                           << "RANGE"
                           << "Set the Minium range  for touch mode";
    QTest::newRow("scale") << "Label10"
                           << "0  10    20   30   40    50   60   70   80   90  100"
                           << "";
    QTest::newRow("levels") << "Label11"
                            << "LOW                 MID              HIGH"
                            << "";
    QTest::newRow("passes") << "Label9"
                            << "Pass # "
                            << "";
    QTest::newRow("reverse") << "Check5"
                             << "Reverse"
                             << "Check this box to say the word reverse";
    QTest::newRow("6 seconds") << "Option2"
                               << "6 seconds"
                               << "Allow 6 seconds for a response ";
    QTest::newRow("question") << "Text3"
                              << "Enter a question"
                              << "Type a Question here hit enter or press the ASK button ";
    QTest::newRow("pk status") << "Text15"
                               << "Press Start to begin , prompts will tell you what to do next"
                               << "Tells status of test";
    QTest::newRow("hidden raw copy") << "rec"
                                     << "Text11"
                                     << "";
    QTest::newRow("read back box") << "Text27"
                                   << "Text27"
                                   << "";
    QTest::newRow("info") << "Text9"
                          << ""
                          << "Information window shows  KZ information ";
    QTest::newRow("pk reading") << "pktext"
                                << "Text16"
                                << "";
    QTest::newRow("sensitivity frame") << "Frame12"
                                       << "Sensitivity"
                                       << "";
    QTest::newRow("field display") << "Frame9"
                                   << ""
                                   << "Field display";
}

void TestWindow::captionsAndTooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    QWidget *w = find(qPrintable(name));
    QVERIFY(w);
    QString shown;
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        shown = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        shown = l->text();
    else if (auto *t = qobject_cast<TextBox *>(w))
        shown = t->text();
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        shown = g->title();
    QCOMPARE(shown, caption);
    QCOMPARE(w->toolTip(), tooltip);
}

void TestWindow::initialVisibility()
{
    for (const char *hidden :
         {"TabStrip1", "rec", "Frame11", "Frame10", "pkframe", "Aboutframe", "Controlframe",
          "setupframe", "KZframe", "pktext", "Text18", "Text28", "List2", "Text10"})
        QVERIFY2(find(hidden)->isHidden(), hidden);
    for (const char *shown : {"Frame1", "Frame2", "comframe", "Command1", "Text1", "Image4"})
        QVERIFY2(!find(shown)->isHidden(), shown);
}

void TestWindow::optionGroupsPerContainer()
{
    const auto &c = h->controls();
    QVERIFY(c.com.Option7->isChecked());
    QVERIFY(c.setup.Option4->isChecked());
    QVERIFY(c.setup.Option1[0]->isChecked());
    QCOMPARE(c.setup.Option1[0]->text(), QStringLiteral("ON"));
    QCOMPARE(c.setup.Option1[1]->text(), QStringLiteral("OFF"));
    QCOMPARE(c.setup.Option1[1]->property("index").toInt(), 1);
    // Choosing in one group leaves the others alone.
    c.com.Option2->click();
    QVERIFY(c.com.Option2->isChecked() && !c.com.Option7->isChecked()
            && !c.com.Option8->isChecked());
    QVERIFY(c.setup.Option4->isChecked() && c.setup.Option1[0]->isChecked());
    c.setup.Option1[1]->click();
    QVERIFY(!c.setup.Option1[0]->isChecked());
    QVERIFY(c.com.Option2->isChecked());
    c.com.Option7->click();
    c.setup.Option1[0]->click();
}

void TestWindow::scrollBarsWithLargerMinimumShowLargeValuesOnTop()
{
    const auto &c = h->controls();
    struct Bar {
        ScrollBar *bar;
        int lo, hi, value;
        bool inverted;
    };
    const QList<Bar> bars {
        {c.connect.VScroll5, 1, 30, 3, false}, {c.setup.VScroll1, 20, 1024, 75, true},
        {c.setup.VScroll2, 1, 255, 254, true}, {c.setup.VScroll3, 5, 255, 5, true},
        {c.setup.VScroll4, 1, 10, 1, true},    {c.setup.VScroll13, 20, 1024, 75, true},
        {c.setup.HScroll5, 0, 254, 89, false}, {c.words.HScroll7, 0, 2048, 200, false}};
    for (const Bar &b : bars) {
        QCOMPARE(b.bar->minimum(), b.lo);
        QCOMPARE(b.bar->maximum(), b.hi);
        QCOMPARE(b.bar->value(), b.value);
        QCOMPARE(b.bar->invertedAppearance(), b.inverted);
        QCOMPARE(b.bar->singleStep(), 1);
        QCOMPARE(b.bar->pageStep(), 1);
    }
    // Out-of-range values are refused, not clamped, and raise no change.
    QSignalSpy changes(c.setup.VScroll4, &QAbstractSlider::valueChanged);
    QVERIFY(!c.setup.VScroll4->setValueChecked(11));
    QVERIFY(!c.setup.VScroll4->setValueChecked(0));
    QCOMPARE(c.setup.VScroll4->value(), 1);
    QVERIFY(c.setup.VScroll4->setValueChecked(1));
    QCOMPARE(changes.count(), 0);
    // A bar with its larger values on top shows a large value's thumb high up
    // and steps up with its top arrow.
    struct Probe : ScrollBar {
        using ScrollBar::ScrollBar;
        QRect thumb()
        {
            QStyleOptionSlider o;
            initStyleOption(&o);
            return style()->subControlRect(QStyle::CC_ScrollBar, &o, QStyle::SC_ScrollBarSlider,
                                           this);
        }
    } probe(Qt::Vertical, 10, 1, 9, nullptr);
    probe.resize(20, 300);
    QVERIFY2(probe.thumb().center().y() < 150, qPrintable(QString::number(probe.thumb().y())));
    probe.setValueChecked(2);
    QVERIFY(probe.thumb().center().y() > 150);
    QTest::mouseClick(&probe, Qt::LeftButton, {}, QPoint(10, 3));
    QCOMPARE(probe.value(), 3);
    c.setup.VScroll4->setValueChecked(1);
}

void TestWindow::timersAndTheirStates()
{
    struct T {
        const char *name;
        int interval;
        bool enabled;
    };
    // Timer3 and Timer4 disable themselves at their first tick.
    QTRY_VERIFY(!h->controls().form.Timer3->isActive() && !h->controls().form.Timer4->isActive());
    for (const T &t : {T {"Timer1", 200, false}, T {"Timer2", 10000, false}, T {"talk", 100, false},
                       T {"Timer3", 250, false}, T {"Timer4", 125, false}}) {
        auto *timer = h->window()->findChild<PacedTimer *>(QLatin1String(t.name));
        QVERIFY2(timer, t.name);
        QCOMPARE(timer->designInterval(), t.interval);
        QCOMPARE(timer->isActive(), t.enabled);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }
    QCOMPARE(h->controls().form.Timer4->parent(), h->controls().words.setupframe);
}

void TestWindow::tabsInOrder()
{
    QCOMPARE(h->window()->tabs().captions(),
             (QStringList {"COM", "KZ", "SET UP", "Word List", "PK", "About The KZ", "Log File"}));
    QCOMPARE(h->controls().form.TabStrip1->toolTip(), QStringLiteral("Select a function"));
}

void TestWindow::tabFoundByItsCaptionInAnyCase_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("caption");
    QTest::newRow("as shown") << "SET UP" << "SET UP";
    QTest::newRow("lower case") << "set up" << "SET UP";
    QTest::newRow("mixed case") << "about the kz" << "About The KZ";
    QTest::newRow("blank missing") << "setup" << "";
    QTest::newRow("part of a caption") << "About" << "";
    QTest::newRow("empty") << "" << "";
}

void TestWindow::tabFoundByItsCaptionInAnyCase()
{
    QFETCH(QString, given);
    QFETCH(QString, caption);
    QCOMPARE(h->window()->tabs().captionOf(given), caption);
}

void TestWindow::picturesCoverThePagesBeforeConnecting()
{
    const auto &c = h->controls();
    for (QLabel *img : {c.pictures.Image4, c.pictures.Image5}) {
        QVERIFY(!img->pixmap().isNull());
        QVERIFY(img->hasScaledContents());
    }
    QCOMPARE(c.pictures.Image4->pixmap().size(), QSize(320, 303));
    QCOMPARE(c.pictures.Image5->pixmap().size(), QSize(300, 445));
    // The picture frame lies above the COM page that is already shown.
    const QPoint inPage = c.com.comframe->geometry().center();
    QCOMPARE(h->window()->childAt(inPage)->window(), h->window());
    QWidget *top = h->window()->childAt(inPage);
    QVERIFY(top == c.pictures.Frame2 || c.pictures.Frame2->isAncestorOf(top));
}

void TestWindow::colours()
{
    const auto &c = h->controls();
    QCOMPARE(c.com.Text3->palette().color(QPalette::Base), QColor(255, 224, 192));
    QCOMPARE(c.com.List1->palette().color(QPalette::Base), QColor(224, 224, 224));
    QCOMPARE(c.connect.Text1->palette().color(QPalette::Base), QColor(192, 192, 192));
    QCOMPARE(c.setup.Picture3->palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(c.setup.Label11->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    QCOMPARE(c.setup.Line3->from(), QPointF(120, 480));
    QCOMPARE(c.pk.Line1->to(), QPointF(3840, 1920));
    QCOMPARE(c.setup.Label10->font().pointSizeF(), 6.6);
}

void TestWindow::textSetFromOutsideTheProgramIsTaken_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("single line") << QStringLiteral("Text3");
    QTest::newRow("multi-line") << QStringLiteral("Text16");
}

// Screen readers, dictation and input methods change an editor's text
// through the accessibility interface, without a keystroke.
void TestWindow::textSetFromOutsideTheProgramIsTaken()
{
    QFETCH(QString, box);
    auto *text = h->window()->findChild<TextBox *>(box);
    QVERIFY(text);
    text->setText(QStringLiteral("before"));
    QSignalSpy changed(text, &TextBox::changed);
    QAccessibleInterface *editor = QAccessible::queryAccessibleInterface(text->editor());
    QVERIFY(editor && editor->editableTextInterface());
    editor->editableTextInterface()->replaceText(0, 6, QStringLiteral("Will it rain"));
    QCOMPARE(text->text(), QStringLiteral("Will it rain"));
    QVERIFY(changed.count() >= 1);
    // The program's own change is reported once, not echoed back.
    const int before = changed.count();
    text->setText(QStringLiteral("set by the program"));
    QCOMPARE(changed.count(), before + 1);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
