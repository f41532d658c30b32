// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/accessibility.h"

#include "kit/pages.h"
#include "kit/widgets.h"
#include "tuning/tunemath.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>

namespace kz {

namespace {

// A plain widget shows as a filler, which screen readers pass over, and a
// plain frame as a border: the program's window is a window; the picture
// frame, the gauge's picture box and the place of the About page's browser
// are groups of what they hold.
QAccessibleInterface *plainWidgetAccessible(const QString &className, QObject *object)
{
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("kz::Form1"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("QFrame")
        || (className == QLatin1String("QWidget")
            && object->objectName() == QLatin1String("WebBrowser1")))
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    return nullptr;
}

// A text box is a frame around its editor; the editor has the focus, so it
// carries the name.
void name(QWidget *control, const QString &name)
{
    QWidget *named = control->focusProxy() ? control->focusProxy() : control;
    named->setAccessibleName(name);
}

void nameSensitivity(const SetupPage &p)
{
    // Boxes and bars by level (the option buttons below their columns) and
    // by setting (the labels at the start of their rows).
    const struct {
        const char *setting;
        TextBox *box[3];
        ScrollBar *bar[3];
    } rows[] = {
        {"RANGE", {p.Text14, p.Text25, p.Text26}, {p.VScroll1, p.VScroll12, p.VScroll13}},
        {"OFFSET", {p.Text11, p.Text23, p.Text24}, {p.VScroll2, p.VScroll10, p.VScroll11}},
        {"REPEAT", {p.Text12, p.Text21, p.Text22}, {p.VScroll3, p.VScroll8, p.VScroll9}},
        {"GAIN", {p.Text13, p.Text19, p.Text20}, {p.VScroll4, p.VScroll6, p.VScroll7}},
    };
    const char *levels[] = {"Low", "Mid", "High"};
    for (const auto &row : rows) {
        for (int level = 0; level < 3; ++level) {
            const QString boxName
                = QLatin1String(levels[level]) + u' ' + QLatin1String(row.setting);
            name(row.box[level], boxName);
            name(row.bar[level], boxName + QStringLiteral(" bar"));
        }
    }
}

void nameVoice(const SetupPage &p)
{
    const struct {
        const char *setting;
        TextBox *box;
        ScrollBar *bar;
    } rows[] = {{"Volume", p.Text4, p.HScroll3},
                {"Speed", p.Text5, p.HScroll4},
                {"Pitch", p.Text6, p.HScroll5},
                {"Bend", p.Text7, p.HScroll6}};
    for (const auto &row : rows) {
        name(row.box, QLatin1String(row.setting));
        name(row.bar, QLatin1String(row.setting) + QStringLiteral(" bar"));
    }
}

} // namespace

void nameControls(const Form1Controls &c)
{
    [[maybe_unused]] static const bool factoryInstalled = [] {
        QAccessible::installFactory(plainWidgetAccessible);
        return true;
    }();

    // Controls with a caption are named by it; these have none, or show a
    // picture or a number rather than a caption.
    const std::pair<QWidget *, const char *> names[] = {
        {c.hidden.rec, "Received text"},
        {c.pictures.Frame2, "Pictures"},
        {c.pictures.Image4, "The KZ"},
        {c.pictures.Image5, "The KZ in a hand, speaking"},
        {c.connect.Frame1, "Connect"},
        {c.connect.Text1, "Status"},
        {c.connect.Frame11, "Open a port by number"},
        {c.connect.Text17, "Port number"},
        {c.connect.VScroll5, "Port number bar"},
        {c.com.comframe, "COM page"},
        {c.com.List1, "Word list"},
        {c.com.Text2, "Event window"},
        {c.com.Text3, "Question"},
        {c.kzPage.KZframe, "KZ page"},
        {c.kzPage.List2, "Word list"},
        {c.kzPage.Text10, "Words spoken"},
        {c.setup.Controlframe, "SET UP page"},
        {c.setup.Frame3, "Amplifier"},
        {c.setup.Frame8, "KZ information"},
        {c.setup.Text9, "Information window"},
        {c.setup.Picture3, "Auto tune gauge"},
        {c.setup.Line3, "Level"},
        {c.words.setupframe, "Word List page"},
        {c.words.Text27, "Words read back"},
        {c.hidden.Text18, "Upload answer"},
        {c.words.Frame6, "Word to say"},
        {c.words.Text8, "Word number"},
        {c.words.HScroll7, "Word number bar"},
        {c.words.List3, "Word list"},
        {c.words.Text28, "Read-back work box"},
        {c.pk.pkframe, "PK page"},
        {c.pk.pktext, "PK reading"},
        {c.pk.Text15, "Test status"},
        {c.pk.Frame9, "Field display"},
        {c.pk.Line1, "PK line"},
        {c.log.Frame10, "Log File page"},
        {c.log.Text16, "Log"},
        {c.about.Aboutframe, "About The KZ page"},
        {c.about.WebBrowser1, "Web page"},
    };
    for (const auto &[control, text] : names)
        name(control, QLatin1String(text));
    nameSensitivity(c.setup);
    nameVoice(c.setup);
    // A multi-line box's scroll bar is a control of its own.
    for (TextBox *box : c.form.window->findChildren<TextBox *>()) {
        if (auto *area = qobject_cast<QAbstractScrollArea *>(box->editor()))
            area->verticalScrollBar()->setAccessibleName(box->editor()->accessibleName()
                                                         + QStringLiteral(" scroll bar"));
    }

    // Qt's tab strip is named after its current tab and describes only its
    // tabs; each tab takes the strip's tooltip, which is shown anyway.
    QTabBar *tabs = c.form.TabStrip1;
    for (int i = 0; i < tabs->count(); ++i)
        tabs->setTabToolTip(i, tabs->toolTip());
    // Not every kind of control offers its tooltip as its description (a
    // list does not); text boxes pass theirs on to their editor themselves.
    for (QWidget *w : c.form.window->findChildren<QWidget *>()) {
        if (!w->toolTip().isEmpty() && !qobject_cast<TextBox *>(w))
            w->setAccessibleDescription(w->toolTip());
    }

    // The gauge's needle stands at four twips per unit of the 0 to 100
    // scale printed above it; the PK line leans by a twip per unit of
    // reading off the centre of the field.
    c.setup.Line3->exposeValue(QAccessible::ProgressBar, 0, 4, 0, 100);
    const double centre = tune::kLineCentreTwips;
    c.pk.Line1->exposeValue(QAccessible::Indicator, centre, 1, -centre,
                            c.pk.Frame9->width() * kTwipsPerPixel - centre);
}

namespace {

class CoveredPage : public QObject {
public:
    CoveredPage(QWidget *cover, QWidget *page) : QObject(cover), m_page(page)
    {
        cover->installEventFilter(this);
        if (!cover->isHidden())
            hideControls();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            hideControls();
        else if (event->type() == QEvent::Hide)
            showControls();
        return false;
    }

private:
    void hideControls()
    {
        for (QWidget *w : m_page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!w->isHidden()) {
                m_hidden << w;
                w->hide();
            }
        }
    }
    void showControls()
    {
        for (QWidget *w : std::as_const(m_hidden))
            w->show();
        m_hidden.clear();
    }

    QWidget *m_page;
    QList<QWidget *> m_hidden;
};

} // namespace

void hideWhileCovered(QWidget *cover, QWidget *page)
{
    new CoveredPage(cover, page);
}

void announceTitle(QWidget *window)
{
    QAccessibleEvent changed(window, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace kz
