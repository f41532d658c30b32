// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/sayword.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScopeGuard>

#include <tuple>

namespace kz {

namespace {
// The time the KZ is given to speak the word.
constexpr int kHoldsWhileSaying = 5;

// The two lines that make the KZ say word n, reversed when r is 1.
QString firstLine(int n)
{
    return commands::kSayLead + signedField(n);
}

QString secondLine(int n, int r)
{
    return commands::kActionLead + signedField(n) + signedField(r);
}
} // namespace

SayWord::SayWord(const WordListPage &page, ListBox *wordList, DeviceLink &link, QObject *parent)
    : QObject(parent), m_page(page), m_wordList(wordList), m_link(link)
{
    // The box counts from 1 while the KZ is given the number from 0.
    connect(m_page.HScroll7, &QScrollBar::valueChanged, this,
            [this](int value) { m_page.Text8->setText(signedField(value + 1)); });
    connect(m_page.List3, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { pick(m_page.List3->row(item)); });
    connect(m_page.List3, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { pick(m_page.List3->row(item)); });
    connect(m_page.Command47, &QPushButton::clicked, this, &SayWord::sayClicked);
}

void SayWord::pick(int index)
{
    // A second request would put its lines between the running one's.
    DeviceLink::Sequence wire(m_link, QStringLiteral("Say Word"), [this, index] { pick(index); });
    if (!wire || !m_page.HScroll7->setValueChecked(index))
        return;
    say();
}

void SayWord::sayClicked()
{
    DeviceLink::Sequence wire(m_link, QStringLiteral("Say Word"), [this] { sayClicked(); });
    if (!wire)
        return;
    say();
}

void SayWord::say()
{
    m_page.List3->setEnabled(false);
    const auto enableList = qScopeGuard([this] { m_page.List3->setEnabled(true); });
    // Read once for both lines: a scroll bar moved during the wait must not
    // make the two lines name different words.
    const int n = m_page.HScroll7->value();
    m_link.sendCommand(firstLine(n));
    if (!m_link.hold())
        return;
    const int r = m_page.Check5->isChecked() ? 1 : 0;
    m_link.sendCommand(secondLine(n, r));
    m_wordList->selectIndex(n);
    std::ignore = m_link.holds(kHoldsWhileSaying); // the last wait: nothing follows it
}

} // namespace kz
