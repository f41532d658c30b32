// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/comwords.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/formstate.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/wordlist.h"

#include <QGroupBox>

#include <tuple>

namespace kz {

namespace {
// Waits around a said word: before its second line, and for the device to
// speak it.
constexpr int kHoldsBeforeSay = 3;
constexpr int kHoldsWhileSaying = 10;
} // namespace

ComWords::ComWords(const ComPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
                   QObject *parent)
    : QObject(parent), m_page(page), m_state(state), m_link(link)
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
    if (!word)
        return;

    // Clicks during the word's waits start their sequences once it is said.
    const DeviceLink::Announcement saying(m_link);
    // Each wait that does not end as planned ends the word where it stands.
    m_page.List1->selectIndex(word->number);
    if (!m_link.pumpOnce())
        return;
    m_state.sam += u' ' + m_page.List1->selectedText();
    if (!m_link.pumpOnce())
        return;

    emit wordAnnounced(word->number);
    m_link.sendCommand(commands::kSayLead);
    if (!m_link.holds(kHoldsBeforeSay))
        return;
    m_link.sendCommand(commands::kActionLead + word->digits + QStringLiteral(" 0 "));
    if (!m_link.pumpOnce())
        return;
    groupText.clear();
    std::ignore = m_link.holds(kHoldsWhileSaying); // the last wait: nothing follows it
}

} // namespace kz
