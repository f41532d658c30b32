// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/comwords.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/formstate.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/wordlist.h"

#include <QGroupBox>

#include <utility>

namespace kz {

namespace {
// Waits around a said word: before its second line, and for the device to
// speak it.
constexpr int kHoldsBeforeSay = 3;
constexpr int kHoldsWhileSaying = 10;
} // namespace

ComWords::ComWords(const ComPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
                   QObject *parent)
    : QObject(parent), m_page(page), m_state(state), m_link(link), m_router(router)
{
    using Next = ReceiveRouter::Next;
    router.route(ReceiveRouter::Step::ComReadings, m_page.comframe, [this](QString &message) {
        // Phase 0 only counts the first message; phase 4 is the trigger.
        if (m_groups.phase() >= 1 && m_groups.phase() <= 3)
            emit readingTaken(numericValue(message));
        std::optional<QString> group = m_groups.take(message, m_state.gain());
        if (!group)
            return Next::EndTick;
        message = *group;
        return Next::Continue;
    });
    router.route(ReceiveRouter::Step::ComWord, m_page.comframe, [this](QString &message) {
        announce(message);
        return Next::Continue;
    });
}

void ComWords::announce(QString &groupText)
{
    const std::optional<ReadingGroups::Word> word = m_groups.wordFor(groupText);
    if (const std::optional<int> number = ReadingGroups::wordNumber(groupText))
        emit groupNamed(*number, word ? wordText(word->number) : QString());
    if (!word || m_link.isEnding())
        return;

    m_page.List1->selectIndex(word->number);
    m_answer += u' ' + m_page.List1->selectedText();
    // The handlers after this one take nothing from a group already said.
    groupText.clear();

    // Nothing more is read until the word has been said: what the KZ sends
    // meanwhile is taken as one message afterwards. Clicks during the word
    // wait for it, and the word waits for what runs already.
    m_router.holdTicks();
    CommandSequence saying(SequenceKind::Announcement);
    saying.then([this, number = word->number] { emit wordAnnounced(number); })
        .send(commands::kSayLead)
        .hold(kHoldsBeforeSay)
        .send(commands::kActionLead + word->digits + QStringLiteral(" 0 "))
        .hold(kHoldsWhileSaying)
        .onEnd([this](WaitResult) { m_router.releaseTicks(); });
    m_link.run(std::move(saying));
}

} // namespace kz
