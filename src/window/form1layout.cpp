#include "window/form1layout.h"

#include "device/pacing.h"
#include "window/widgets.h"

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

void buildWindowLevel(QWidget *f, Form1Controls &c)
{
    c.TabStrip1 = place(new QTabBar(f), "TabStrip1", 120, 360, 8415, 495,
                        QStringLiteral("Select a function"));
    for (const char *caption :
         {"COM", "KZ", "SET UP", "Word List", "PK", "About The KZ", "Log File"})
        c.TabStrip1->addTab(QLatin1String(caption));
    c.TabStrip1->setExpanding(false);
    c.TabStrip1->hide();
    c.rec = text(f, "rec", QStringLiteral("Text11"), 480, 7284, 1215, 288);
    c.rec->hide();
    c.Timer1 = new PacedTimer(QStringLiteral("Timer1"), 200, false, f);
    c.Timer2 = new PacedTimer(QStringLiteral("Timer2"), 10000, false, f);
    c.talk = new PacedTimer(QStringLiteral("talk"), 100, false, f);
    c.Timer3 = new PacedTimer(QStringLiteral("Timer3"), 250, true, f);
}

void buildPictureFrame(QWidget *f, Form1Controls &c)
{
    c.Frame2 = place(new QFrame(f), "Frame2", 120, 1200, 8535, 6612);
    setBackground(c.Frame2, Qt::white);
    c.Image5 = image(c.Frame2, "Image5", QStringLiteral(":/pictures/image5.jpg"), 3960, 2280, 2172,
                     2532);
    c.Image4
        = image(c.Frame2, "Image4", QStringLiteral(":/pictures/image4.jpg"), 120, 600, 3360, 3012);
}

void buildConnectPanel(QWidget *f, Form1Controls &c)
{
    c.Frame1 = frame(f, "Frame1", QString(), 120, 0, 8535, 1212);
    c.Frame11 = frame(c.Frame1, "Frame11", QString(), 120, 600, 2655, 495);
    c.Frame11->hide();
    c.VScroll5 = vscroll(c.Frame11, "VScroll5", 2280, 120, 135, 255, 1, 30, 3);
    c.Command23 = button(c.Frame11, "Command23", QStringLiteral("Open Com #"), 120, 120, 1575, 255);
    c.Text17 = text(c.Frame11, "Text17", QStringLiteral("3"), 1800, 120, 375, 285);
    c.Text1 = text(c.Frame1, "Text1", QString(), 2040, 360, 6375, 285);
    setBackground(c.Text1, kGrey192);
    c.Command1
        = button(c.Frame1, "Command1", QStringLiteral("Connect  to KZ"), 240, 240, 1575, 315);
}

void buildLogPage(QWidget *f, Form1Controls &c)
{
    c.Frame10 = page(f, "Frame10", 120, 720, 8415, 6855);
    c.Command22 = button(c.Frame10, "Command22", QStringLiteral("Clear Log"), 2040, 240, 1575, 255);
    c.Command21 = button(c.Frame10, "Command21", QStringLiteral("Read Log"), 360, 240, 1455, 255,
                         QStringLiteral("Opens the com log file "));
    c.Text16 = text(c.Frame10, "Text16", QString(), 360, 600, 7695, 6015, {},
                    TextBox::MultiLineScrolled);
}

void buildPkPage(QWidget *f, Form1Controls &c)
{
    c.pkframe = page(f, "pkframe", 120, 600, 8415, 6735);
    c.pktext = text(c.pkframe, "pktext", QStringLiteral("Text16"), 480, 3000, 1335, 495);
    c.pktext->hide();
    c.Text15
        = text(c.pkframe, "Text15",
               QStringLiteral("Press Start to begin , prompts will tell you what to do next"), 1080,
               4320, 6255, 735, QStringLiteral("Tells status of test"), TextBox::MultiLine);
    setBackground(c.Text15, kGrey192);
    c.Command5 = button(c.pkframe, "Command5", QStringLiteral("Start"), 3480, 3000, 1455, 615,
                        QStringLiteral("Start Stop button"));
    c.Frame9 = frame(c.pkframe, "Frame9", QString(), 360, 720, 7695, 2055,
                     QStringLiteral("Field display"));
    c.Line1 = new LineShape(QPointF(3840, 240), QPointF(3840, 1920), c.Frame9);
    c.Line1->setObjectName(QStringLiteral("Line1"));
}

void buildAboutPage(QWidget *f, Form1Controls &c)
{
    c.Aboutframe = page(f, "Aboutframe", 120, 600, 8415, 6855);
    c.Command28
        = button(c.Aboutframe, "Command28", QStringLiteral("Tovarine"), 6840, 480, 1332, 252);
    c.Command26
        = button(c.Aboutframe, "Command26", QStringLiteral("KZ Help PDF"), 3480, 480, 1452, 252);
    c.Command25
        = button(c.Aboutframe, "Command25", QStringLiteral("KZ Web Site"), 240, 480, 1332, 252);
    c.WebBrowser1 = place(new QWidget(c.Aboutframe), "WebBrowser1", 240, 720, 7932, 5292);
}

void buildSensitivity(Form1Controls &c)
{
    QWidget *g = c.Frame12;
    c.Text20 = text(g, "Text20", QStringLiteral("4"), 3360, 1800, 615, 405);
    c.VScroll7 = vscroll(g, "VScroll7", 3000, 1800, 255, 375, 10, 1, 1);
    c.Text19 = text(g, "Text19", QStringLiteral("4"), 2280, 1800, 615, 405);
    c.VScroll6 = vscroll(g, "VScroll6", 1920, 1800, 255, 375, 10, 1, 1);
    c.VScroll4 = vscroll(g, "VScroll4", 840, 1800, 255, 375, 10, 1, 1);
    c.Text13 = text(g, "Text13", QStringLiteral("4"), 1200, 1800, 615, 405);
    c.Text22 = text(g, "Text22", QStringLiteral("12"), 3360, 1320, 615, 405);
    c.VScroll9 = vscroll(g, "VScroll9", 3000, 1320, 255, 375, 255, 5, 5);
    c.Text21 = text(g, "Text21", QStringLiteral("12"), 2280, 1320, 615, 405);
    c.VScroll8 = vscroll(g, "VScroll8", 1920, 1320, 255, 375, 255, 5, 5);
    c.VScroll3 = vscroll(g, "VScroll3", 852, 1320, 255, 375, 255, 5, 5);
    c.Text12 = text(g, "Text12", QStringLiteral("12"), 1200, 1320, 615, 405);
    c.Text24 = text(g, "Text24", QStringLiteral("5"), 3360, 840, 615, 405);
    c.VScroll11 = vscroll(g, "VScroll11", 3000, 840, 255, 375, 255, 1, 254);
    c.Text23 = text(g, "Text23", QStringLiteral("5"), 2280, 840, 615, 405);
    c.VScroll10 = vscroll(g, "VScroll10", 1920, 840, 255, 375, 255, 1, 254);
    c.VScroll2 = vscroll(g, "VScroll2", 840, 840, 255, 375, 255, 1, 254);
    c.Text11 = text(g, "Text11", QStringLiteral("5"), 1200, 840, 615, 405);
    c.Text26 = text(g, "Text26", QStringLiteral("150"), 3360, 360, 615, 405);
    c.VScroll13 = vscroll(g, "VScroll13", 3000, 360, 255, 375, 1024, 20, 75);
    c.Text25 = text(g, "Text25", QStringLiteral("150"), 2280, 360, 615, 405);
    c.VScroll12 = vscroll(g, "VScroll12", 1920, 360, 255, 375, 1024, 20, 75);
    c.VScroll1 = vscroll(g, "VScroll1", 840, 360, 255, 375, 1024, 20, 75);
    c.Text14 = text(g, "Text14", QStringLiteral("150"), 1200, 360, 615, 405);
    c.Command57 = button(g, "Command57", QStringLiteral("Save Settings"), 840, 2640, 1332, 372,
                         QStringLiteral("Load the Current defults to test on the KZ"));
    c.Option4 = option(g, "Option4", QStringLiteral("Low"), 1200, 2280, 612, 252);
    c.Option4->setChecked(true);
    c.Option5 = option(g, "Option5", QStringLiteral("Mid"), 2280, 2280, 612, 252);
    c.Option6 = option(g, "Option6", QStringLiteral("High"), 3360, 2280, 612, 252);
    c.Command12 = button(g, "Command12", QStringLiteral("Restore Defaults"), 2640, 2640, 1332, 372,
                         QStringLiteral("Restore sample defaults"));
    c.Label8 = label(g, "Label8", QStringLiteral("GAIN"), 120, 1920, 972, 372,
                     QStringLiteral("Used to increase the sensitivity of the KZ"));
    c.Label7 = label(g, "Label7", QStringLiteral("REPEAT"), 120, 1440, 732, 372,
                     QStringLiteral("limits the number of times a word can be repeated"));
    c.Label6 = label(g, "Label6", QStringLiteral("OFFSET"), 120, 960, 972, 372,
                     QStringLiteral("This value acts like a squelch for Dictionary modes"));
    c.Label5 = label(g, "Label5", QStringLiteral("RANGE"), 120, 360, 972, 372,
                     QStringLiteral("Set the Minium range  for touch mode"));
}

void buildVoice(Form1Controls &c)
{
    QWidget *g = c.Frame5;
    c.Command13 = button(g, "Command13", QStringLiteral("Default Voice"), 2400, 2520, 1092, 492,
                         QStringLiteral("Re load Default Voice"));
    c.Command11 = button(g, "Command11", QStringLiteral("Save"), 1200, 2520, 1092, 492,
                         QStringLiteral("Save the voice changes"));
    c.Text7 = text(g, "Text7", QStringLiteral("6"), 2640, 1920, 495, 408);
    c.HScroll6 = hscroll(g, "HScroll6", 1560, 1920, 975, 372, 0, 15, 6);
    c.Command48 = button(g, "Command48", QStringLiteral("Test Voice"), 120, 2520, 972, 492,
                         QStringLiteral("Load the Voice changes to hear them"));
    c.Text6 = text(g, "Text6", QStringLiteral("89"), 2640, 1320, 495, 405);
    c.HScroll5 = hscroll(g, "HScroll5", 1560, 1320, 975, 375, 0, 254, 89);
    c.Text5 = text(g, "Text5", QStringLiteral("114"), 2640, 840, 495, 408);
    c.HScroll4 = hscroll(g, "HScroll4", 1560, 840, 975, 372, 0, 127, 114);
    c.Text4 = text(g, "Text4", QStringLiteral("120"), 2640, 360, 495, 405);
    c.HScroll3 = hscroll(g, "HScroll3", 1560, 360, 975, 375, 0, 127, 120);
    c.Label4 = label(g, "Label4", QStringLiteral("Bend"), 240, 2040, 1092, 252,
                     QStringLiteral("sets bend of word"));
    c.Label3 = label(g, "Label3", QStringLiteral("Pitch"), 240, 1440, 1092, 252,
                     QStringLiteral("Set Pich \" high or low\""));
    c.Label2 = label(g, "Label2", QStringLiteral("Speed"), 240, 960, 1092, 252,
                     QStringLiteral("Set Speed"));
    c.Label1 = label(g, "Label1", QStringLiteral("Volume"), 240, 480, 1092, 252,
                     QStringLiteral("Set Volume"));
}

void buildAutoTune(Form1Controls &c)
{
    QWidget *g = c.Frame7;
    c.Picture3 = place(new QFrame(g), "Picture3", 2400, 240, 2772, 1092);
    setBackground(c.Picture3, QColor(128, 128, 128));
    c.Label11
        = label(c.Picture3, "Label11", QStringLiteral("LOW                 MID              HIGH"),
                240, 720, 2292, 252);
    setTextColour(c.Label11, QColor(64, 64, 64));
    c.Label10 = label(c.Picture3, "Label10",
                      QStringLiteral("0  10    20   30   40    50   60   70   80   90  100"), 0,
                      240, 3012, 252);
    QFont small(QStringLiteral("MS Sans Serif"));
    small.setStyleHint(QFont::SansSerif);
    small.setPointSizeF(6.6);
    c.Label10->setFont(small);
    c.Line3 = new LineShape(QPointF(120, 480), QPointF(1440, 1080), c.Picture3);
    c.Line3->setObjectName(QStringLiteral("Line3"));
    c.Line3->setColour(QColor(64, 64, 64));
    c.Line3->setLineWidth(3);
    c.Line3->lower();
    c.Command14 = button(g, "Command14", QStringLiteral("Start"), 240, 360, 1332, 492,
                         QStringLiteral("Tune the Range Offset and gain"));
    c.Label9 = label(g, "Label9", QStringLiteral("Pass # "), 240, 960, 1332, 252);
}

void buildSetUpPage(QWidget *f, Form1Controls &c)
{
    c.Controlframe = page(f, "Controlframe", 240, 600, 8415, 6855);
    c.Frame12
        = frame(c.Controlframe, "Frame12", QStringLiteral("Sensitivity"), 3840, 1800, 4332, 3132);
    buildSensitivity(c);
    c.Command10
        = button(c.Controlframe, "Command10", QStringLiteral("Firmware Version"), 4080, 480, 1335,
                 495, QStringLiteral("Click here to see the Firmware version in the KZ"));
    c.Frame8 = frame(c.Controlframe, "Frame8", QString(), 120, 960, 7935, 735);
    c.Text9 = text(c.Frame8, "Text9", QString(), 120, 240, 7695, 375,
                   QStringLiteral("Information window shows  KZ information "));
    c.Frame5 = frame(c.Controlframe, "Frame5", QStringLiteral("Voice"), 120, 1800, 3615, 3132);
    buildVoice(c);
    c.Frame3 = frame(c.Controlframe, "Frame3", QString(), 120, 240, 3615, 735);
    c.Command16 = button(c.Frame3, "Command16", QStringLiteral("Amp on/off"), 240, 240, 975, 375,
                         QStringLiteral("Click here after selecting on or off of the internal "
                                        "speaker amp"));
    c.Option1[1] = option(c.Frame3, "Option1", QStringLiteral("OFF"), 2520, 240, 735, 375);
    c.Option1[1]->setProperty("index", 1);
    c.Option1[0] = option(c.Frame3, "Option1", QStringLiteral("ON"), 1560, 240, 735, 375);
    c.Option1[0]->setProperty("index", 0);
    c.Option1[0]->setChecked(true);
    c.Frame7 = frame(c.Controlframe, "Frame7", QStringLiteral("Auto Tune"), 120, 4920, 8052, 1812);
    buildAutoTune(c);
}

void buildWordListPage(QWidget *f, Form1Controls &c)
{
    c.setupframe = page(f, "setupframe", 120, 720, 8415, 6855);
    c.Text27 = text(c.setupframe, "Text27", QStringLiteral("Text27"), 5640, 2280, 2292, 4092, {},
                    TextBox::MultiLineScrolled);
    c.Command17 = button(c.setupframe, "Command17", QStringLiteral("Read Words Spoken"), 5640, 1440,
                         2292, 612, QStringLiteral("Recovers the words spoken  from the KZ"));
    c.Text18 = text(c.setupframe, "Text18", QStringLiteral("Text18"), 5640, 1680, 1572, 372);
    c.Text18->hide();
    c.Timer4 = new PacedTimer(QStringLiteral("Timer4"), 125, true, c.setupframe);
    c.Command24 = button(c.setupframe, "Command24", QStringLiteral("Re-Load Word List"), 2760, 1440,
                         2292, 612, QStringLiteral("Reload system words to KZ"));
    c.Frame6 = frame(c.setupframe, "Frame6", QString(), 2760, 600, 5295, 735);
    c.Command47 = button(c.Frame6, "Command47", QStringLiteral("Say Word"), 1920, 240, 1095, 255,
                         QStringLiteral("Click on a word to hear it spoken"));
    c.HScroll7 = hscroll(c.Frame6, "HScroll7", 3120, 240, 735, 255, 0, 2048, 200);
    c.Text8 = text(c.Frame6, "Text8", QStringLiteral("200"), 3960, 240, 495, 285);
    c.Check5 = place(new QCheckBox(QStringLiteral("Reverse"), c.Frame6), "Check5", 720, 240, 1095,
                     255, QStringLiteral("Check this box to say the word reverse"));
    c.List3 = list(c.setupframe, "List3", 840, 600, 1695, 5808,
                   QStringLiteral("Click on a word to hear it spoken"));
    c.Text28 = text(c.setupframe, "Text28", QStringLiteral("Text28"), 5640, 1680, 1452, 372, {},
                    TextBox::MultiLineScrolled);
    c.Text28->hide();
}

void buildKzPage(QWidget *f, Form1Controls &c)
{
    c.KZframe = page(f, "KZframe", 120, 720, 8415, 6615);
    c.Command9 = button(c.KZframe, "Command9", QStringLiteral("Reverse Phonetic Mode"), 2040, 1200,
                        2415, 375, QStringLiteral("Click here to run reverse phonetic  mode"));
    c.Command8 = button(c.KZframe, "Command8", QStringLiteral("Voice change mode"), 2040, 2160,
                        2415, 375, QStringLiteral("Click here to run voice change  mode"));
    c.Command7 = button(c.KZframe, "Command7", QStringLiteral("Touch Mode"), 2040, 1680, 2415, 375,
                        QStringLiteral("Click here to run  Touch   mode"));
    c.Command6 = button(c.KZframe, "Command6", QStringLiteral("Phonetic Mode 1"), 2040, 720, 2415,
                        375, QStringLiteral("Click here to run phonetic  mode"));
    c.Command4 = button(c.KZframe, "Command4", QStringLiteral("Dictionary Mode 1"), 2040, 240, 2415,
                        375, QStringLiteral("Click here to run dictionary mode"));
    c.List2 = list(c.KZframe, "List2", 120, 240, 1575, 6000);
    c.List2->hide();
    c.Text10 = text(c.KZframe, "Text10", QString(), 5160, 240, 2655, 6135,
                    QStringLiteral("Words Spoken"), TextBox::MultiLineScrolled);
    c.Text10->hide();
}

void buildComPage(QWidget *f, Form1Controls &c)
{
    c.comframe = page(f, "comframe", 120, 720, 8415, 6735);
    c.Option8 = option(c.comframe, "Option8", QStringLiteral("24 seconds"), 5760, 6240, 1335, 255,
                       QStringLiteral("Allow 24 seconds for a response "));
    c.Option7 = option(c.comframe, "Option7", QStringLiteral("12 seconds"), 4320, 6240, 1335, 255,
                       QStringLiteral("Allow 12 seconds for a response "));
    c.Option7->setChecked(true);
    c.Option2 = option(c.comframe, "Option2", QStringLiteral("6 seconds"), 2880, 6240, 1335, 255,
                       QStringLiteral("Allow 6 seconds for a response "));
    c.List1
        = list(c.comframe, "List1", 360, 480, 1695, 5424, QStringLiteral("KZ internal word List"));
    setBackground(c.List1, kGrey224);
    c.Text2 = text(c.comframe, "Text2", QString(), 2400, 480, 5895, 5175,
                   QStringLiteral("event window"), TextBox::MultiLine);
    setBackground(c.Text2, kGrey224);
    c.Text3 = text(c.comframe, "Text3", QStringLiteral("Enter a question"), 2400, 5760, 3735, 375,
                   QStringLiteral("Type a Question here hit enter or press the ASK button "));
    setBackground(c.Text3, QColor(255, 224, 192));
    c.Command2 = button(c.comframe, "Command2", QStringLiteral("ASK"), 6360, 5760, 1935, 375,
                        QStringLiteral("Press the ASK button  to enter your question "));
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

} // namespace kz
