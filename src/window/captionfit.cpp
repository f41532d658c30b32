// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/captionfit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>

#include <cmath>

namespace kz {

namespace {

// The design font first, then fonts made to Arial's widths, then Helvetica
// and its metric twin from URW.
const char *const kFamilies[]
    = {"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans", "Arimo",
       "Helvetica",     "Nimbus Sans"};

constexpr double kSmallestShare = 0.75;
constexpr double kStep = 0.5;

// The part of a control its parent shows: a control may reach past its
// container's edge, and what lies beyond is not seen.
QRect visiblePart(const QWidget *w, const QRect &inside)
{
    QRect rect = inside;
    if (const QWidget *parent = w->parentWidget())
        rect &= QRect(w->mapFromParent(QPoint(0, 0)), parent->size());
    return rect;
}

int textRoom(QAbstractButton *button)
{
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (qobject_cast<QRadioButton *>(button))
        element = QStyle::SE_RadioButtonContents;
    else if (qobject_cast<QCheckBox *>(button))
        element = QStyle::SE_CheckBoxContents;
    QRect rect = button->style()->subElementRect(element, &option, button);
    if (element == QStyle::SE_PushButtonContents) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        rect.adjust(margin / 2, 0, -margin / 2, 0);
    }
    return visiblePart(button, rect).width();
}

int textRoom(QLabel *label)
{
    const int indent = std::max(0, label->indent()) + label->margin();
    return visiblePart(label, label->contentsRect()).width() - indent;
}

int textRoom(QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect title
        = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    // The title may use the frame's width less the inset it starts at, on
    // both sides.
    return box->width() - 2 * std::max(0, title.x());
}

void add(QList<Caption> &captions, QWidget *control, const QString &text, int room)
{
    if (text.trimmed().isEmpty())
        return;
    Caption caption;
    caption.control = control;
    caption.text = text;
    caption.advance = control->fontMetrics().horizontalAdvance(text);
    caption.room = room;
    captions << caption;
}

// Children that inherit their font keep it when their container's shrinks.
void pinChildFonts(QWidget *container)
{
    for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->testAttribute(Qt::WA_SetFont))
            continue;
        QFont font = child->font();
        font.setFamily(font.family());
        font.setPointSizeF(font.pointSizeF());
        child->setFont(font);
    }
}

} // namespace

QString windowFontFamily()
{
    const QStringList available = QFontDatabase::families();
    for (const char *family : kFamilies) {
        if (available.contains(QLatin1String(family), Qt::CaseInsensitive))
            return QLatin1String(family);
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont windowFont(double pointSize)
{
    QFont font(windowFontFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

QList<Caption> captionsOf(QWidget *root)
{
    QList<Caption> captions;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            add(captions, w, button->text(), textRoom(button));
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            if (label->pixmap().isNull())
                add(captions, w, label->text(), textRoom(label));
        } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
            add(captions, w, box->title(), textRoom(box));
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                // A tab sizes itself to its caption; it is cut when the bar
                // is too narrow to show it whole.
                const QRect tab = tabs->tabRect(i);
                const int padding
                    = tab.width() - tabs->fontMetrics().horizontalAdvance(tabs->tabText(i));
                add(captions, w, tabs->tabText(i), std::max(0, tabs->width() - tab.x()) - padding);
            }
        }
    }
    return captions;
}

void fitCaptions(QWidget *root)
{
    for (const Caption &first : captionsOf(root)) {
        QWidget *control = first.control;
        if (first.fits())
            continue;
        const double designSize = control->font().pointSizeF();
        const double smallest = std::ceil(designSize * kSmallestShare / kStep) * kStep;
        if (qobject_cast<QGroupBox *>(control))
            pinChildFonts(control);
        double size = designSize;
        auto fitsNow = [&] {
            for (const Caption &c : captionsOf(control)) {
                if (c.control == control && !c.fits())
                    return false;
            }
            return true;
        };
        while (!fitsNow() && size - kStep >= smallest - 1e-9) {
            size -= kStep;
            QFont font = control->font();
            font.setPointSizeF(size);
            control->setFont(font);
        }
    }
}

} // namespace kz
