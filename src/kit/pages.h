// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's controls under their own names, one struct per page and
// panel: a behaviour is handed the page it works on, so its constructor
// shows what it may touch.

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabBar;
class QWidget;

namespace kz {

class LineShape;
class ListBox;
class PacedTimer;
class ScrollBar;
class TextBox;

// The window itself: the tab strip and the timers that pace and poll.
struct FormParts {
    QWidget *window = nullptr;
    QTabBar *TabStrip1 = nullptr;
    PacedTimer *Timer1 = nullptr;
    PacedTimer *Timer2 = nullptr;
    PacedTimer *talk = nullptr;
    PacedTimer *Timer3 = nullptr;
    PacedTimer *Timer4 = nullptr;
};

// Hidden boxes that keep a raw copy of what the KZ sent; no behaviour takes
// its answers from them.
struct HiddenBoxes {
    TextBox *rec = nullptr;
    TextBox *Text18 = nullptr;
};

// The pictures shown before the KZ is found.
struct PicturePanel {
    QFrame *Frame2 = nullptr;
    QLabel *Image5 = nullptr;
    QLabel *Image4 = nullptr;
};

// The connect panel: status, search and the manual open of a port.
struct ConnectPanel {
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame11 = nullptr;
    ScrollBar *VScroll5 = nullptr;
    QPushButton *Command23 = nullptr;
    TextBox *Text17 = nullptr;
    TextBox *Text1 = nullptr;
    QPushButton *Command1 = nullptr;
};

// COM page: questions, the event window and the internal word list.
struct ComPage {
    QGroupBox *comframe = nullptr;
    QRadioButton *Option8 = nullptr;
    QRadioButton *Option7 = nullptr;
    QRadioButton *Option2 = nullptr;
    ListBox *List1 = nullptr;
    TextBox *Text2 = nullptr;
    TextBox *Text3 = nullptr;
    QPushButton *Command2 = nullptr;
};

// KZ page: the mode buttons and the words the KZ reports.
struct KzPage {
    QGroupBox *KZframe = nullptr;
    QPushButton *Command9 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command6 = nullptr;
    QPushButton *Command4 = nullptr;
    ListBox *List2 = nullptr;
    TextBox *Text10 = nullptr;
};

// SET UP page: sensitivity, voice, amplifier, auto tune and the information window.
struct SetupPage {
    QGroupBox *Controlframe = nullptr;
    QGroupBox *Frame12 = nullptr;
    TextBox *Text20 = nullptr;
    ScrollBar *VScroll7 = nullptr;
    TextBox *Text19 = nullptr;
    ScrollBar *VScroll6 = nullptr;
    ScrollBar *VScroll4 = nullptr;
    TextBox *Text13 = nullptr;
    TextBox *Text22 = nullptr;
    ScrollBar *VScroll9 = nullptr;
    TextBox *Text21 = nullptr;
    ScrollBar *VScroll8 = nullptr;
    ScrollBar *VScroll3 = nullptr;
    TextBox *Text12 = nullptr;
    TextBox *Text24 = nullptr;
    ScrollBar *VScroll11 = nullptr;
    TextBox *Text23 = nullptr;
    ScrollBar *VScroll10 = nullptr;
    ScrollBar *VScroll2 = nullptr;
    TextBox *Text11 = nullptr;
    TextBox *Text26 = nullptr;
    ScrollBar *VScroll13 = nullptr;
    TextBox *Text25 = nullptr;
    ScrollBar *VScroll12 = nullptr;
    ScrollBar *VScroll1 = nullptr;
    TextBox *Text14 = nullptr;
    QPushButton *Command57 = nullptr;
    QRadioButton *Option4 = nullptr;
    QRadioButton *Option5 = nullptr;
    QRadioButton *Option6 = nullptr;
    QPushButton *Command12 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label5 = nullptr;
    QPushButton *Command10 = nullptr;
    QGroupBox *Frame8 = nullptr;
    TextBox *Text9 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QPushButton *Command13 = nullptr;
    QPushButton *Command11 = nullptr;
    TextBox *Text7 = nullptr;
    ScrollBar *HScroll6 = nullptr;
    QPushButton *Command48 = nullptr;
    TextBox *Text6 = nullptr;
    ScrollBar *HScroll5 = nullptr;
    TextBox *Text5 = nullptr;
    ScrollBar *HScroll4 = nullptr;
    TextBox *Text4 = nullptr;
    ScrollBar *HScroll3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QPushButton *Command16 = nullptr;
    QRadioButton *Option1[2] = {nullptr, nullptr}; // by index: 0 "ON", 1 "OFF"
    QGroupBox *Frame7 = nullptr;
    QFrame *Picture3 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label10 = nullptr;
    LineShape *Line3 = nullptr;
    QPushButton *Command14 = nullptr;
    QLabel *Label9 = nullptr;
};

// Word List page: say word, upload and read-back.
struct WordListPage {
    QGroupBox *setupframe = nullptr;
    TextBox *Text27 = nullptr;
    QPushButton *Command17 = nullptr;
    QPushButton *Command24 = nullptr;
    QGroupBox *Frame6 = nullptr;
    QPushButton *Command47 = nullptr;
    ScrollBar *HScroll7 = nullptr;
    TextBox *Text8 = nullptr;
    QCheckBox *Check5 = nullptr;
    ListBox *List3 = nullptr;
    TextBox *Text28 = nullptr;
    QPushButton *uploadCancel = nullptr; // shown only while an upload runs
};

// PK page.
struct PkPage {
    QGroupBox *pkframe = nullptr;
    TextBox *pktext = nullptr;
    TextBox *Text15 = nullptr;
    QPushButton *Command5 = nullptr;
    QGroupBox *Frame9 = nullptr;
    LineShape *Line1 = nullptr;
};

// Log File page.
struct LogFilePage {
    QGroupBox *Frame10 = nullptr;
    QPushButton *Command22 = nullptr;
    QPushButton *Command21 = nullptr;
    TextBox *Text16 = nullptr;
};

// About page and the place its browser fills.
struct AboutPage {
    QGroupBox *Aboutframe = nullptr;
    QPushButton *Command28 = nullptr;
    QPushButton *Command26 = nullptr;
    QPushButton *Command25 = nullptr;
    QWidget *WebBrowser1 = nullptr; // the place the browser fills when first shown
};

struct Form1Controls {
    FormParts form;
    HiddenBoxes hidden;
    PicturePanel pictures;
    ConnectPanel connect;
    ComPage com;
    KzPage kzPage;
    SetupPage setup;
    WordListPage words;
    PkPage pk;
    LogFilePage log;
    AboutPage about;
};

} // namespace kz
