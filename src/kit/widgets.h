// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QColor>
#include <QListWidget>
#include <QScrollBar>
#include <QWidget>

class QLineEdit;
class QPainter;
class QPlainTextEdit;

namespace kz {

// Places are given in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;
int twipsToPixels(double twips);
QRect twipsRect(int left, int top, int width, int height);

void setBackground(QWidget *widget, const QColor &colour);
void setTextColour(QWidget *widget, const QColor &colour);

// The style's focus mark over `rect` of `widget`, for controls whose style
// marks no focus of its own. Drawn whether the focus came by keyboard or not.
void paintFocusMark(QWidget *widget, QPainter &painter, const QRect &rect);

// A text box holding its text exactly as set, carriage returns and line
// feeds included; a multi-line box shows each CR LF as a line break.
class TextBox : public QWidget {
    Q_OBJECT
public:
    enum Kind { SingleLine, MultiLine, MultiLineScrolled };
    TextBox(Kind kind, const QString &text, QWidget *parent);

    QString text() const { return m_text; }
    void setText(const QString &text);
    // Puts an entry and a line break in front of the text: growing boxes
    // keep their newest entry on top. A multi-line box inserts only the
    // entry, so that assistive technology is told of that text alone.
    void prependEntry(const QString &entry);
    bool isMultiLine() const { return m_plain != nullptr; }
    // The editing widget inside, for focus and keyboard tests.
    QWidget *editor() const;

signals:
    // The text changed, by the program or by the user.
    void changed();
    // Enter pressed in a single-line box.
    void returnPressed();
    void doubleClicked();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The text as the editor shows it: each line break a line feed.
    static QString shownText(const QString &text);
    void showText();
    void takeUserText(const QString &shown);

    QString m_text;
    QLineEdit *m_line = nullptr;
    QPlainTextEdit *m_plain = nullptr;
    bool m_showing = false;
};

// A scroll bar with the window's rules: both steps 1; a minimum above the
// maximum puts the larger values at the top (or left); values outside the
// range are refused, not clamped; dragging changes nothing until released.
// It takes the focus and the keys: arrows, Page Up/Down, Home (the top or
// left end) and End.
class ScrollBar : public QScrollBar {
    Q_OBJECT
public:
    ScrollBar(Qt::Orientation orientation, int designMin, int designMax, int value,
              QWidget *parent);

    int designMin() const { return m_designMin; }
    int designMax() const { return m_designMax; }
    bool accepts(int value) const;
    // False, and nothing changes, when the value lies outside the range.
    bool setValueChecked(int value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_designMin;
    int m_designMax;
};

// A list box whose items are addressed by position. Enter or Space on the
// current item counts as a click on it.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent);
    bool isValidPosition(int index) const { return index >= 0 && index < count(); }
    // Selects the item when the position is valid; false otherwise.
    bool selectIndex(int index);
    QString selectedText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// A straight line between two points of its container, in twips.
class LineShape : public QWidget {
    Q_OBJECT
public:
    LineShape(QPointF from, QPointF to, QWidget *parent);
    QPointF from() const { return m_from; }
    QPointF to() const { return m_to; }
    void setFrom(QPointF twips);
    void setTo(QPointF twips);
    void setColour(const QColor &colour);
    void setLineWidth(int pixels);

    // Shows assistive technology the line as a value: the distance of its
    // `from` end from `origin` (in twips, across), in units of
    // `twipsPerUnit`, on a scale from `minimum` to `maximum`.
    void exposeValue(QAccessible::Role role, double origin, double twipsPerUnit, double minimum,
                     double maximum);
    bool exposesValue() const { return m_twipsPerUnit > 0; }
    QAccessible::Role accessibleRole() const { return m_role; }
    double value() const { return (m_from.x() - m_origin) / m_twipsPerUnit; }
    double minimumValue() const { return m_minimum; }
    double maximumValue() const { return m_maximum; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointF m_from;
    QPointF m_to;
    QColor m_colour = Qt::black;
    int m_width = 1;
    QAccessible::Role m_role = QAccessible::Graphic;
    double m_origin = 0;
    double m_twipsPerUnit = 0; // 0: no value shown
    double m_minimum = 0;
    double m_maximum = 0;
};

} // namespace kz
