// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/widgets.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

namespace kz {

namespace {

// A multi-line box: Tab moves on to the next control instead of going into
// the text, and the box shows it has the focus, which the style does not.
class MultiLineEditor : public QPlainTextEdit {
public:
    explicit MultiLineEditor(QWidget *parent) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPlainTextEdit::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(viewport());
            paintFocusMark(this, painter, viewport()->rect());
        }
    }
    void focusInEvent(QFocusEvent *event) override
    {
        QPlainTextEdit::focusInEvent(event);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent *event) override
    {
        QPlainTextEdit::focusOutEvent(event);
        viewport()->update();
    }
    void scrollContentsBy(int dx, int dy) override
    {
        QPlainTextEdit::scrollContentsBy(dx, dy);
        // Scrolling moves the painted mark with the text.
        if (hasFocus())
            viewport()->update();
    }
};

} // namespace

int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

void paintFocusMark(QWidget *widget, QPainter &painter, const QRect &rect)
{
    QStyleOptionFocusRect option;
    option.initFrom(widget);
    option.rect = rect;
    // Styles mark only a focus that came by keyboard; a control whose focus
    // is invisible otherwise is marked however the focus came.
    option.state |= QStyle::State_KeyboardFocusChange;
    option.backgroundColor = widget->palette().color(QPalette::Window);
    widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, widget);
}

// ---- TextBox ----

TextBox::TextBox(Kind kind, const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (kind == SingleLine) {
        m_line = new QLineEdit(this);
        layout->addWidget(m_line);
        // Any change of the editor's text counts, not only keystrokes: paste,
        // input methods and assistive tools set it directly. The program's
        // own setText is not echoed back.
        connect(m_line, &QLineEdit::textChanged, this, [this](const QString &shown) {
            if (!m_showing)
                takeUserText(shown);
        });
        connect(m_line, &QLineEdit::returnPressed, this, &TextBox::returnPressed);
        m_line->installEventFilter(this);
        setFocusProxy(m_line);
    } else {
        m_plain = new MultiLineEditor(this);
        m_plain->setVerticalScrollBarPolicy(kind == MultiLineScrolled ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAlwaysOff);
        m_plain->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        layout->addWidget(m_plain);
        connect(m_plain, &QPlainTextEdit::textChanged, this, [this] {
            if (!m_showing)
                takeUserText(m_plain->toPlainText());
        });
        m_plain->viewport()->installEventFilter(this);
        setFocusProxy(m_plain);
    }
    showText();
}

QWidget *TextBox::editor() const
{
    return m_line ? static_cast<QWidget *>(m_line) : static_cast<QWidget *>(m_plain);
}

void TextBox::prependEntry(const QString &entry)
{
    const QString added = entry + QStringLiteral("\r\n");
    if (!m_plain) {
        setText(added + m_text);
        return;
    }
    // Shown line breaks follow the text's own, so the shown text of
    // `added + m_text` is that of `added` followed by that of `m_text`.
    m_text = added + m_text;
    // The newest entry stays in sight when the box was showing its top.
    QScrollBar *bar = m_plain->verticalScrollBar();
    const bool atTop = bar->value() == bar->minimum();
    m_showing = true;
    QTextCursor(m_plain->document()).insertText(shownText(added));
    m_showing = false;
    if (atTop)
        bar->setValue(bar->minimum());
    emit changed();
}

void TextBox::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    showText();
    emit changed();
}

void TextBox::showText()
{
    m_showing = true;
    if (m_line) {
        m_line->setText(m_text);
        m_line->setCursorPosition(0);
    } else {
        m_plain->setPlainText(shownText(m_text));
    }
    m_showing = false;
}

QString TextBox::shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void TextBox::takeUserText(const QString &shown)
{
    QString text = shown;
    if (m_plain) {
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    }
    if (text == m_text)
        return;
    m_text = text;
    emit changed();
}

bool TextBox::event(QEvent *event)
{
    // The tooltip is the box's description; assistive technology asks the
    // editor inside, which has the focus.
    if (event->type() == QEvent::ToolTipChange)
        editor()->setAccessibleDescription(toolTip());
    return QWidget::event(event);
}

bool TextBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        emit doubleClicked();
    return QWidget::eventFilter(watched, event);
}

// ---- ScrollBar ----

ScrollBar::ScrollBar(Qt::Orientation orientation, int designMin, int designMax, int value,
                     QWidget *parent)
    : QScrollBar(orientation, parent), m_designMin(designMin), m_designMax(designMax)
{
    setRange(std::min(designMin, designMax), std::max(designMin, designMax));
    setSingleStep(1);
    setPageStep(1);
    setTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    if (designMin > designMax) {
        // Larger values at the top. Qt draws it so but still lets the top
        // arrow lower the value; turn every step round so that arrows, track
        // clicks, keys and the wheel move the value the way the thumb moves.
        setInvertedAppearance(true);
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
            int step = 0;
            switch (action) {
            case SliderSingleStepAdd:
                step = -singleStep();
                break;
            case SliderSingleStepSub:
                step = singleStep();
                break;
            case SliderPageStepAdd:
                step = -pageStep();
                break;
            case SliderPageStepSub:
                step = pageStep();
                break;
            // Home goes to the top end, End to the bottom one.
            case SliderToMinimum:
                setSliderPosition(maximum());
                return;
            case SliderToMaximum:
                setSliderPosition(minimum());
                return;
            default:
                return;
            }
            setSliderPosition(std::clamp(this->value() + step, minimum(), maximum()));
        });
    }
    setValue(value);
}

bool ScrollBar::accepts(int value) const
{
    return value >= minimum() && value <= maximum();
}

bool ScrollBar::setValueChecked(int value)
{
    if (!accepts(value))
        return false;
    setValue(value);
    return true;
}

void ScrollBar::paintEvent(QPaintEvent *event)
{
    QScrollBar::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        paintFocusMark(this, painter, rect());
    }
}

// ---- ListBox ----

ListBox::ListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true); // 2051 items: keeps start-up and scrolling cheap
}

bool ListBox::selectIndex(int index)
{
    if (!isValidPosition(index))
        return false;
    setCurrentRow(index);
    return true;
}

QString ListBox::selectedText() const
{
    const QListWidgetItem *item = currentItem();
    return item ? item->text() : QString();
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool press = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (press && event->modifiers() == Qt::NoModifier && currentItem()) {
        emit itemClicked(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---- LineShape ----

namespace {

// What assistive technology sees of a line: a picture, or a value where the
// line shows one.
class LineShapeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LineShapeAccessible(LineShape *shape) : QAccessibleWidget(shape) { }

    QAccessible::Role role() const override { return shape()->accessibleRole(); }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value && shape()->exposesValue())
            return QString::number(shape()->value());
        return QAccessibleWidget::text(t);
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && shape()->exposesValue())
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return shape()->value(); }
    // The program moves the line; assistive technology only reads it.
    void setCurrentValue(const QVariant &) override { }
    QVariant maximumValue() const override { return shape()->maximumValue(); }
    QVariant minimumValue() const override { return shape()->minimumValue(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    LineShape *shape() const { return static_cast<LineShape *>(widget()); }
};

QAccessibleInterface *lineShapeAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("kz::LineShape"))
        return new LineShapeAccessible(static_cast<LineShape *>(object));
    return nullptr;
}

} // namespace

LineShape::LineShape(QPointF from, QPointF to, QWidget *parent)
    : QWidget(parent), m_from(from), m_to(to)
{
    [[maybe_unused]] static const bool factoryInstalled = [] {
        QAccessible::installFactory(lineShapeAccessible);
        return true;
    }();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    if (parent) {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }
}

void LineShape::setFrom(QPointF twips)
{
    const QPointF was = std::exchange(m_from, twips);
    update();
    if (exposesValue() && was.x() != twips.x()) {
        QAccessibleValueChangeEvent changed(this, value());
        QAccessible::updateAccessibility(&changed);
    }
}

void LineShape::setTo(QPointF twips)
{
    m_to = twips;
    update();
}

void LineShape::setColour(const QColor &colour)
{
    m_colour = colour;
    update();
}

void LineShape::setLineWidth(int pixels)
{
    m_width = pixels;
    update();
}

void LineShape::exposeValue(QAccessible::Role role, double origin, double twipsPerUnit,
                            double minimum, double maximum)
{
    m_role = role;
    m_origin = origin;
    m_twipsPerUnit = twipsPerUnit;
    m_minimum = minimum;
    m_maximum = maximum;
}

bool LineShape::eventFilter(QObject *watched, QEvent *event)
{
    // Keep covering the whole container so any two points can be drawn.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void LineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_colour, m_width));
    painter.drawLine(m_from / kTwipsPerPixel, m_to / kTwipsPerPixel);
}

} // namespace kz
