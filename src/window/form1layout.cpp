// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form1layout.h"

#include "device/pacing.h"
#include "window/captionfit.h"
#include "kit/widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

namespace kz {

namespace {

// Each new control goes beneath the ones made before it in its container, so
// that building in listed order stacks earlier controls on top.
template<class W>
W *place(W *widget, const char *name, int left, int top, int width, int height,
         const QString &tip = {})
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    if (!tip.isEmpty())
        widget->setToolTip(tip);
    widget->lower();
    return widget;
}

QGroupBox *frame(QWidget *in, const char *name, const QString &caption, int l, int t, int w, int h,
                 const QString &tip = {})
{
    auto *box = place(new QGroupBox(caption, in), name, l, t, w, h, tip);
    box->setAutoFillBackground(true); // frames hide what lies beneath them
    return box;
}

QGroupBox *page(QWidget *in, const char *name, int l, int t, int w, int h)
{
    QGroupBox *p = frame(in, name, QString(), l, t, w, h);
    p->hide();
    return p;
}

QPushButton *button(QWidget *in, const char *name, const QString &caption, int l, int t, int w,
                    int h, const QString &tip = {})
{
    return place(new QPushButton(caption, in), name, l, t, w, h, tip);
}

QLabel *label(QWidget *in, const char *name, const QString &caption, int l, int t, int w, int h,
              const QString &tip = {})
{
    return place(new QLabel(caption, in), name, l, t, w, h, tip);
}

TextBox *text(QWidget *in, const char *name, const QString &initial, int l, int t, int w, int h,
              const QString &tip = {}, TextBox::Kind kind = TextBox::SingleLine)
{
    return place(new TextBox(kind, initial, in), name, l, t, w, h, tip);
}

QRadioButton *option(QWidget *in, const char *name, const QString &caption, int l, int t, int w,
                     int h, const QString &tip = {})
{
    return place(new QRadioButton(caption, in), name, l, t, w, h, tip);
}

ScrollBar *vscroll(QWidget *in, const char *name, int l, int t, int w, int h, int min, int max,
                   int value)
{
    return place(new ScrollBar(Qt::Vertical, min, max, value, in), name, l, t, w, h);
}

ScrollBar *hscroll(QWidget *in, const char *name, int l, int t, int w, int h, int min, int max,
                   int value)
{
    return place(new ScrollBar(Qt::Horizontal, min, max, value, in), name, l, t, w, h);
}

ListBox *list(QWidget *in, const char *name, int l, int t, int w, int h, const QString &tip = {})
{
    return place(new ListBox(in), name, l, t, w, h, tip);
}

QLabel *image(QWidget *in, const char *name, const QString &resource, int l, int t, int w, int h)
{
    QLabel *img = place(new QLabel(in), name, l, t, w, h);
    img->setPixmap(QPixmap(resource));
    img->setScaledContents(true); // stretched to the bounds
    return img;
}

const QColor kGrey224(224, 224, 224);
const QColor kGrey192(192, 192, 192);

// The hold1 timer; it lives on the Word List page, where the upload uses it.
PacedTimer *makeTimer4(QObject *parent)
{
    return new PacedTimer(QStringLiteral("Timer4"), 125, true, parent);
}

void buildWindowLevel(QWidget *f, Form1Controls &c)
{
    c.form.window = f;
    c.form.TabStrip1 = place(new QTabBar(f), "TabStrip1", 120, 360, 8415, 495,
                             QStringLiteral("Select a function"));
    for (const char *caption :
         {"COM", "KZ", "SET UP", "Word List", "PK", "About The KZ", "Log File"})
        c.form.TabStrip1->addTab(QLatin1String(caption));
    c.form.TabStrip1->setExpanding(false);
    c.form.TabStrip1->hide();
    c.hidden.rec = text(f, "rec", QStringLiteral("Text11"), 480, 7284, 1215, 288);
    c.hidden.rec->hide();
    c.form.Timer1 = new PacedTimer(QStringLiteral("Timer1"), kReceiveTickMs, false, f);
    c.form.Timer2 = new PacedTimer(QStringLiteral("Timer2"), 10000, false, f);
    c.form.talk = new PacedTimer(QStringLiteral("talk"), 100, false, f);
    c.form.Timer3 = new PacedTimer(QStringLiteral("Timer3"), 250, true, f);
}

void buildPictureFrame(QWidget *f, Form1Controls &c)
{
    c.pictures.Frame2 = place(new QFrame(f), "Frame2", 120, 1200, 8535, 6612);
    setBackground(c.pictures.Frame2, Qt::white);
    c.pictures.Image5 = image(c.pictures.Frame2, "Image5", QStringLiteral(":/pictures/image5.jpg"),
                              3960, 2280, 2172, 2532);
    c.pictures.Image4 = image(c.pictures.Frame2, "Image4", QStringLiteral(":/pictures/image4.jpg"),
                              120, 600, 3360, 3012);
}

void buildConnectPanel(QWidget *f, Form1Controls &c)
{
    c.connect.Frame1 = frame(f, "Frame1", QString(), 120, 0, 8535, 1212);
    c.connect.Frame11 = frame(c.connect.Frame1, "Frame11", QString(), 120, 600, 2655, 495);
    c.connect.Frame11->hide();
    c.connect.VScroll5 = vscroll(c.connect.Frame11, "VScroll5", 2280, 120, 135, 255, 1, 30, 3);
    c.connect.Command23
        = button(c.connect.Frame11, "Command23", QStringLiteral("Open Com #"), 120, 120, 1575, 255);
    c.connect.Text17 = text(c.connect.Frame11, "Text17", QStringLiteral("3"), 1800, 120, 375, 285);
    c.connect.Text1 = text(c.connect.Frame1, "Text1", QString(), 2040, 360, 6375, 285);
    setBackground(c.connect.Text1, kGrey192);
    c.connect.Command1 = button(c.connect.Frame1, "Command1", QStringLiteral("Connect  to KZ"), 240,
                                240, 1575, 315);
}

void buildLogPage(QWidget *f, Form1Controls &c)
{
    c.log.Frame10 = page(f, "Frame10", 120, 720, 8415, 6855);
    c.log.Command22
        = button(c.log.Frame10, "Command22", QStringLiteral("Clear Log"), 2040, 240, 1575, 255);
    c.log.Command21 = button(c.log.Frame10, "Command21", QStringLiteral("Read Log"), 360, 240, 1455,
                             255, QStringLiteral("Opens the com log file "));
    c.log.Text16 = text(c.log.Frame10, "Text16", QString(), 360, 600, 7695, 6015, {},
                        TextBox::MultiLineScrolled);
}

void buildPkPage(QWidget *f, Form1Controls &c)
{
    c.pk.pkframe = page(f, "pkframe", 120, 600, 8415, 6735);
    c.pk.pktext = text(c.pk.pkframe, "pktext", QStringLiteral("Text16"), 480, 3000, 1335, 495);
    c.pk.pktext->hide();
    c.pk.Text15
        = text(c.pk.pkframe, "Text15",
               QStringLiteral("Press Start to begin , prompts will tell you what to do next"), 1080,
               4320, 6255, 735, QStringLiteral("Tells status of test"), TextBox::MultiLine);
    setBackground(c.pk.Text15, kGrey192);
    c.pk.Command5 = button(c.pk.pkframe, "Command5", QStringLiteral("Start"), 3480, 3000, 1455, 615,
                           QStringLiteral("Start Stop button"));
    c.pk.Frame9 = frame(c.pk.pkframe, "Frame9", QString(), 360, 720, 7695, 2055,
                        QStringLiteral("Field display"));
    c.pk.Line1 = new LineShape(QPointF(3840, 240), QPointF(3840, 1920), c.pk.Frame9);
    c.pk.Line1->setObjectName(QStringLiteral("Line1"));
}

void buildAboutPage(QWidget *f, Form1Controls &c)
{
    c.about.Aboutframe = page(f, "Aboutframe", 120, 600, 8415, 6855);
    c.about.Command28
        = button(c.about.Aboutframe, "Command28", QStringLiteral("Tovarine"), 6840, 480, 1332, 252);
    c.about.Command26 = button(c.about.Aboutframe, "Command26", QStringLiteral("KZ Help PDF"), 3480,
                               480, 1452, 252);
    c.about.Command25 = button(c.about.Aboutframe, "Command25", QStringLiteral("KZ Web Site"), 240,
                               480, 1332, 252);
    c.about.WebBrowser1
        = place(new QWidget(c.about.Aboutframe), "WebBrowser1", 240, 720, 7932, 5292);
}

void buildSensitivity(Form1Controls &c)
{
    QWidget *g = c.setup.Frame12;
    c.setup.Text20 = text(g, "Text20", QStringLiteral("4"), 3360, 1800, 615, 405);
    c.setup.VScroll7 = vscroll(g, "VScroll7", 3000, 1800, 255, 375, 10, 1, 1);
    c.setup.Text19 = text(g, "Text19", QStringLiteral("4"), 2280, 1800, 615, 405);
    c.setup.VScroll6 = vscroll(g, "VScroll6", 1920, 1800, 255, 375, 10, 1, 1);
    c.setup.VScroll4 = vscroll(g, "VScroll4", 840, 1800, 255, 375, 10, 1, 1);
    c.setup.Text13 = text(g, "Text13", QStringLiteral("4"), 1200, 1800, 615, 405);
    c.setup.Text22 = text(g, "Text22", QStringLiteral("12"), 3360, 1320, 615, 405);
    c.setup.VScroll9 = vscroll(g, "VScroll9", 3000, 1320, 255, 375, 255, 5, 5);
    c.setup.Text21 = text(g, "Text21", QStringLiteral("12"), 2280, 1320, 615, 405);
    c.setup.VScroll8 = vscroll(g, "VScroll8", 1920, 1320, 255, 375, 255, 5, 5);
    c.setup.VScroll3 = vscroll(g, "VScroll3", 852, 1320, 255, 375, 255, 5, 5);
    c.setup.Text12 = text(g, "Text12", QStringLiteral("12"), 1200, 1320, 615, 405);
    c.setup.Text24 = text(g, "Text24", QStringLiteral("5"), 3360, 840, 615, 405);
    c.setup.VScroll11 = vscroll(g, "VScroll11", 3000, 840, 255, 375, 255, 1, 254);
    c.setup.Text23 = text(g, "Text23", QStringLiteral("5"), 2280, 840, 615, 405);
    c.setup.VScroll10 = vscroll(g, "VScroll10", 1920, 840, 255, 375, 255, 1, 254);
    c.setup.VScroll2 = vscroll(g, "VScroll2", 840, 840, 255, 375, 255, 1, 254);
    c.setup.Text11 = text(g, "Text11", QStringLiteral("5"), 1200, 840, 615, 405);
    c.setup.Text26 = text(g, "Text26", QStringLiteral("150"), 3360, 360, 615, 405);
    c.setup.VScroll13 = vscroll(g, "VScroll13", 3000, 360, 255, 375, 1024, 20, 75);
    c.setup.Text25 = text(g, "Text25", QStringLiteral("150"), 2280, 360, 615, 405);
    c.setup.VScroll12 = vscroll(g, "VScroll12", 1920, 360, 255, 375, 1024, 20, 75);
    c.setup.VScroll1 = vscroll(g, "VScroll1", 840, 360, 255, 375, 1024, 20, 75);
    c.setup.Text14 = text(g, "Text14", QStringLiteral("150"), 1200, 360, 615, 405);
    c.setup.Command57 = button(g, "Command57", QStringLiteral("Save Settings"), 840, 2640, 1332,
                               372, QStringLiteral("Load the Current defults to test on the KZ"));
    c.setup.Option4 = option(g, "Option4", QStringLiteral("Low"), 1200, 2280, 612, 252);
    c.setup.Option4->setChecked(true);
    c.setup.Option5 = option(g, "Option5", QStringLiteral("Mid"), 2280, 2280, 612, 252);
    c.setup.Option6 = option(g, "Option6", QStringLiteral("High"), 3360, 2280, 612, 252);
    c.setup.Command12 = button(g, "Command12", QStringLiteral("Restore Defaults"), 2640, 2640, 1332,
                               372, QStringLiteral("Restore sample defaults"));
    c.setup.Label8 = label(g, "Label8", QStringLiteral("GAIN"), 120, 1920, 972, 372,
                           QStringLiteral("Used to increase the sensitivity of the KZ"));
    c.setup.Label7 = label(g, "Label7", QStringLiteral("REPEAT"), 120, 1440, 732, 372,
                           QStringLiteral("limits the number of times a word can be repeated"));
    c.setup.Label6 = label(g, "Label6", QStringLiteral("OFFSET"), 120, 960, 972, 372,
                           QStringLiteral("This value acts like a squelch for Dictionary modes"));
    c.setup.Label5 = label(g, "Label5", QStringLiteral("RANGE"), 120, 360, 972, 372,
                           QStringLiteral("Set the Minium range  for touch mode"));
}

void buildVoice(Form1Controls &c)
{
    QWidget *g = c.setup.Frame5;
    c.setup.Command13 = button(g, "Command13", QStringLiteral("Default Voice"), 2400, 2520, 1092,
                               492, QStringLiteral("Re load Default Voice"));
    c.setup.Command11 = button(g, "Command11", QStringLiteral("Save"), 1200, 2520, 1092, 492,
                               QStringLiteral("Save the voice changes"));
    c.setup.Text7 = text(g, "Text7", QStringLiteral("6"), 2640, 1920, 495, 408);
    c.setup.HScroll6 = hscroll(g, "HScroll6", 1560, 1920, 975, 372, 0, 15, 6);
    c.setup.Command48 = button(g, "Command48", QStringLiteral("Test Voice"), 120, 2520, 972, 492,
                               QStringLiteral("Load the Voice changes to hear them"));
    c.setup.Text6 = text(g, "Text6", QStringLiteral("89"), 2640, 1320, 495, 405);
    c.setup.HScroll5 = hscroll(g, "HScroll5", 1560, 1320, 975, 375, 0, 254, 89);
    c.setup.Text5 = text(g, "Text5", QStringLiteral("114"), 2640, 840, 495, 408);
    c.setup.HScroll4 = hscroll(g, "HScroll4", 1560, 840, 975, 372, 0, 127, 114);
    c.setup.Text4 = text(g, "Text4", QStringLiteral("120"), 2640, 360, 495, 405);
    c.setup.HScroll3 = hscroll(g, "HScroll3", 1560, 360, 975, 375, 0, 127, 120);
    c.setup.Label4 = label(g, "Label4", QStringLiteral("Bend"), 240, 2040, 1092, 252,
                           QStringLiteral("sets bend of word"));
    c.setup.Label3 = label(g, "Label3", QStringLiteral("Pitch"), 240, 1440, 1092, 252,
                           QStringLiteral("Set Pich \" high or low\""));
    c.setup.Label2 = label(g, "Label2", QStringLiteral("Speed"), 240, 960, 1092, 252,
                           QStringLiteral("Set Speed"));
    c.setup.Label1 = label(g, "Label1", QStringLiteral("Volume"), 240, 480, 1092, 252,
                           QStringLiteral("Set Volume"));
}

void buildAutoTune(Form1Controls &c)
{
    QWidget *g = c.setup.Frame7;
    c.setup.Picture3 = place(new QFrame(g), "Picture3", 2400, 240, 2772, 1092);
    setBackground(c.setup.Picture3, QColor(128, 128, 128));
    c.setup.Label11
        = label(c.setup.Picture3, "Label11",
                QStringLiteral("LOW                 MID              HIGH"), 240, 720, 2292, 252);
    setTextColour(c.setup.Label11, QColor(64, 64, 64));
    c.setup.Label10 = label(c.setup.Picture3, "Label10",
                            QStringLiteral("0  10    20   30   40    50   60   70   80   90  100"),
                            0, 240, 3012, 252);
    c.setup.Label10->setFont(windowFont(6.6));
    c.setup.Line3 = new LineShape(QPointF(120, 480), QPointF(1440, 1080), c.setup.Picture3);
    c.setup.Line3->setObjectName(QStringLiteral("Line3"));
    c.setup.Line3->setColour(QColor(64, 64, 64));
    c.setup.Line3->setLineWidth(3);
    c.setup.Line3->lower();
    c.setup.Command14 = button(g, "Command14", QStringLiteral("Start"), 240, 360, 1332, 492,
                               QStringLiteral("Tune the Range Offset and gain"));
    c.setup.Label9 = label(g, "Label9", QStringLiteral("Pass # "), 240, 960, 1332, 252);
}

void buildSetUpPage(QWidget *f, Form1Controls &c)
{
    c.setup.Controlframe = page(f, "Controlframe", 240, 600, 8415, 6855);
    c.setup.Frame12 = frame(c.setup.Controlframe, "Frame12", QStringLiteral("Sensitivity"), 3840,
                            1800, 4332, 3132);
    buildSensitivity(c);
    c.setup.Command10
        = button(c.setup.Controlframe, "Command10", QStringLiteral("Firmware Version"), 4080, 480,
                 1335, 495, QStringLiteral("Click here to see the Firmware version in the KZ"));
    c.setup.Frame8 = frame(c.setup.Controlframe, "Frame8", QString(), 120, 960, 7935, 735);
    c.setup.Text9 = text(c.setup.Frame8, "Text9", QString(), 120, 240, 7695, 375,
                         QStringLiteral("Information window shows  KZ information "));
    c.setup.Frame5
        = frame(c.setup.Controlframe, "Frame5", QStringLiteral("Voice"), 120, 1800, 3615, 3132);
    buildVoice(c);
    c.setup.Frame3 = frame(c.setup.Controlframe, "Frame3", QString(), 120, 240, 3615, 735);
    c.setup.Command16
        = button(c.setup.Frame3, "Command16", QStringLiteral("Amp on/off"), 240, 240, 975, 375,
                 QStringLiteral("Click here after selecting on or off of the internal "
                                "speaker amp"));
    c.setup.Option1[1]
        = option(c.setup.Frame3, "Option1", QStringLiteral("OFF"), 2520, 240, 735, 375);
    c.setup.Option1[1]->setProperty("index", 1);
    c.setup.Option1[0]
        = option(c.setup.Frame3, "Option1", QStringLiteral("ON"), 1560, 240, 735, 375);
    c.setup.Option1[0]->setProperty("index", 0);
    c.setup.Option1[0]->setChecked(true);
    c.setup.Frame7
        = frame(c.setup.Controlframe, "Frame7", QStringLiteral("Auto Tune"), 120, 4920, 8052, 1812);
    buildAutoTune(c);
}

void buildWordListPage(QWidget *f, Form1Controls &c)
{
    c.words.setupframe = page(f, "setupframe", 120, 720, 8415, 6855);
    c.words.Text27 = text(c.words.setupframe, "Text27", QStringLiteral("Text27"), 5640, 2280, 2292,
                          4092, {}, TextBox::MultiLineScrolled);
    c.words.Command17
        = button(c.words.setupframe, "Command17", QStringLiteral("Read Words Spoken"), 5640, 1440,
                 2292, 612, QStringLiteral("Recovers the words spoken  from the KZ"));
    c.hidden.Text18
        = text(c.words.setupframe, "Text18", QStringLiteral("Text18"), 5640, 1680, 1572, 372);
    c.hidden.Text18->hide();
    c.form.Timer4 = makeTimer4(c.words.setupframe);
    c.words.Command24 = button(c.words.setupframe, "Command24", QStringLiteral("Re-Load Word List"),
                               2760, 1440, 2292, 612, QStringLiteral("Reload system words to KZ"));
    c.words.Frame6 = frame(c.words.setupframe, "Frame6", QString(), 2760, 600, 5295, 735);
    c.words.Command47 = button(c.words.Frame6, "Command47", QStringLiteral("Say Word"), 1920, 240,
                               1095, 255, QStringLiteral("Click on a word to hear it spoken"));
    c.words.HScroll7 = hscroll(c.words.Frame6, "HScroll7", 3120, 240, 735, 255, 0, 2048, 200);
    c.words.Text8 = text(c.words.Frame6, "Text8", QStringLiteral("200"), 3960, 240, 495, 285);
    c.words.Check5
        = place(new QCheckBox(QStringLiteral("Reverse"), c.words.Frame6), "Check5", 720, 240, 1095,
                255, QStringLiteral("Check this box to say the word reverse"));
    c.words.List3 = list(c.words.setupframe, "List3", 840, 600, 1695, 5808,
                         QStringLiteral("Click on a word to hear it spoken"));
    c.words.Text28 = text(c.words.setupframe, "Text28", QStringLiteral("Text28"), 5640, 1680, 1452,
                          372, {}, TextBox::MultiLineScrolled);
    c.words.Text28->hide();
    c.words.uploadCancel = button(c.words.setupframe, "uploadCancel", QStringLiteral("Cancel"),
                                  2760, 2160, 2292, 372, QStringLiteral("Stop the upload (Esc)"));
    c.words.uploadCancel->hide();
}

void buildKzPage(QWidget *f, Form1Controls &c)
{
    c.kzPage.KZframe = page(f, "KZframe", 120, 720, 8415, 6615);
    c.kzPage.Command9
        = button(c.kzPage.KZframe, "Command9", QStringLiteral("Reverse Phonetic Mode"), 2040, 1200,
                 2415, 375, QStringLiteral("Click here to run reverse phonetic  mode"));
    c.kzPage.Command8
        = button(c.kzPage.KZframe, "Command8", QStringLiteral("Voice change mode"), 2040, 2160,
                 2415, 375, QStringLiteral("Click here to run voice change  mode"));
    c.kzPage.Command7 = button(c.kzPage.KZframe, "Command7", QStringLiteral("Touch Mode"), 2040,
                               1680, 2415, 375, QStringLiteral("Click here to run  Touch   mode"));
    c.kzPage.Command6
        = button(c.kzPage.KZframe, "Command6", QStringLiteral("Phonetic Mode 1"), 2040, 720, 2415,
                 375, QStringLiteral("Click here to run phonetic  mode"));
    c.kzPage.Command4
        = button(c.kzPage.KZframe, "Command4", QStringLiteral("Dictionary Mode 1"), 2040, 240, 2415,
                 375, QStringLiteral("Click here to run dictionary mode"));
    c.kzPage.List2 = list(c.kzPage.KZframe, "List2", 120, 240, 1575, 6000);
    c.kzPage.List2->hide();
    c.kzPage.Text10 = text(c.kzPage.KZframe, "Text10", QString(), 5160, 240, 2655, 6135,
                           QStringLiteral("Words Spoken"), TextBox::MultiLineScrolled);
    c.kzPage.Text10->hide();
}

void buildComPage(QWidget *f, Form1Controls &c)
{
    c.com.comframe = page(f, "comframe", 120, 720, 8415, 6735);
    c.com.Option8 = option(c.com.comframe, "Option8", QStringLiteral("24 seconds"), 5760, 6240,
                           1335, 255, QStringLiteral("Allow 24 seconds for a response "));
    c.com.Option7 = option(c.com.comframe, "Option7", QStringLiteral("12 seconds"), 4320, 6240,
                           1335, 255, QStringLiteral("Allow 12 seconds for a response "));
    c.com.Option7->setChecked(true);
    c.com.Option2 = option(c.com.comframe, "Option2", QStringLiteral("6 seconds"), 2880, 6240, 1335,
                           255, QStringLiteral("Allow 6 seconds for a response "));
    c.com.List1 = list(c.com.comframe, "List1", 360, 480, 1695, 5424,
                       QStringLiteral("KZ internal word List"));
    setBackground(c.com.List1, kGrey224);
    c.com.Text2 = text(c.com.comframe, "Text2", QString(), 2400, 480, 5895, 5175,
                       QStringLiteral("event window"), TextBox::MultiLine);
    setBackground(c.com.Text2, kGrey224);
    c.com.Text3
        = text(c.com.comframe, "Text3", QStringLiteral("Enter a question"), 2400, 5760, 3735, 375,
               QStringLiteral("Type a Question here hit enter or press the ASK button "));
    setBackground(c.com.Text3, QColor(255, 224, 192));
    c.com.Command2 = button(c.com.comframe, "Command2", QStringLiteral("ASK"), 6360, 5760, 1935,
                            375, QStringLiteral("Press the ASK button  to enter your question "));
}

} // namespace

void buildForm1(QWidget *form, Form1Controls &c)
{
    // In the order of the inventory, so that stacking follows it.
    buildWindowLevel(form, c);
    buildPictureFrame(form, c);
    buildConnectPanel(form, c);
    buildLogPage(form, c);
    buildPkPage(form, c);
    buildAboutPage(form, c);
    buildSetUpPage(form, c);
    buildWordListPage(form, c);
    buildKzPage(form, c);
    buildComPage(form, c);
}

void buildPageAlone(QWidget *form, Form1Controls &c, Page page)
{
    buildWindowLevel(form, c);
    switch (page) {
    case Page::Com:
        buildComPage(form, c);
        break;
    case Page::Kz:
        buildKzPage(form, c);
        break;
    case Page::SetUp:
        buildSetUpPage(form, c);
        break;
    case Page::WordList:
        buildWordListPage(form, c);
        break;
    case Page::Pk:
        buildPkPage(form, c);
        break;
    case Page::Log:
        buildLogPage(form, c);
        break;
    case Page::About:
        buildAboutPage(form, c);
        break;
    }
    // Every device link paces with it.
    if (!c.form.Timer4)
        c.form.Timer4 = makeTimer4(form);
}

} // namespace kz
