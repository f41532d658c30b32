// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/sayword.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QCheckBox>
#include <QPushButton>

#include <memory>
#include <utility>

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
    // The scroll bar moves only once the request runs: a refused pick
    // leaves it where it is.
    m_link.run(request([this, index] { return m_page.HScroll7->setValueChecked(index); }));
}

void SayWord::sayClicked()
{
    m_link.run(request([] { return true; }));
}

CommandSequence SayWord::request(std::function<bool()> wordSet)
{
    // Read once for both lines: a scroll bar moved during the wait must not
    // make the two lines name different words.
    auto word = std::make_shared<int>(0);
    CommandSequence lines(SequenceKind::Click, QStringLiteral("Say Word"));
    lines.stopIf([wordSet = std::move(wordSet)] { return !wordSet(); })
        .then([this, word] {
            m_page.List3->setEnabled(false);
            *word = m_page.HScroll7->value();
            m_link.sendCommand(firstLine(*word));
        })
        .hold()
        .then([this, word] {
            const int r = m_page.Check5->isChecked() ? 1 : 0;
            m_link.sendCommand(secondLine(*word, r));
            m_wordList->selectIndex(*word);
        })
        .hold(kHoldsWhileSaying)
        .onEnd([this](WaitResult) { m_page.List3->setEnabled(true); });
    return lines;
}

} // namespace kz
