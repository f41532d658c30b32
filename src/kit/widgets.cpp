#include "kit/widgets.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kz {

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
        m_plain = new QPlainTextEdit(this);
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
    setText(entry + QStringLiteral("\r\n") + m_text);
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
        QString shown = m_text;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        m_plain->setPlainText(shown);
    }
    m_showing = false;
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

// ---- LineShape ----

LineShape::LineShape(QPointF from, QPointF to, QWidget *parent)
    : QWidget(parent), m_from(from), m_to(to)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    if (parent) {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }
}

void LineShape::setFrom(QPointF twips)
{
    m_from = twips;
    update();
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
