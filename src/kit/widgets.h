#pragma once

#include <QColor>
#include <QListWidget>
#include <QScrollBar>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace kz {

// Places are given in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;
int twipsToPixels(double twips);
QRect twipsRect(int left, int top, int width, int height);

void setBackground(QWidget *widget, const QColor &colour);
void setTextColour(QWidget *widget, const QColor &colour);

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
    // keep their newest entry on top.
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
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
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

private:
    int m_designMin;
    int m_designMax;
};

// A list box whose items are addressed by position.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent);
    bool isValidPosition(int index) const { return index >= 0 && index < count(); }
    // Selects the item when the position is valid; false otherwise.
    bool selectIndex(int index);
    QString selectedText() const;
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

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointF m_from;
    QPointF m_to;
    QColor m_colour = Qt::black;
    int m_width = 1;
};

} // namespace kz
