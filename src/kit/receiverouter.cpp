// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/receiverouter.h"

#include "device/devicelink.h"
#include "device/pacing.h"
#include "kit/pages.h"
#include "kit/widgets.h"

namespace kz {

ReceiveRouter::ReceiveRouter(const FormParts &form, const HiddenBoxes &hidden, DeviceLink &link,
                             QObject *parent)
    : QObject(parent), m_hidden(hidden), m_link(link)
{
    connect(form.Timer1, &QTimer::timeout, this, &ReceiveRouter::tick);
    for (TextBox *copy : {m_hidden.rec, m_hidden.Text18}) {
        connect(copy, &TextBox::changed, this, [this] {
            if (!m_copying)
                m_copiesStale = true;
        });
    }
}

void ReceiveRouter::copyPending(bool newText)
{
    // Writing the same text again would cost a comparison of the whole
    // buffer on every tick; only new text or a changed copy needs it.
    if (m_assembler.pending().isEmpty() || (!newText && !m_copiesStale))
        return;
    m_copying = true;
    m_hidden.rec->setText(m_assembler.pending());
    m_hidden.Text18->setText(m_assembler.pending());
    m_copying = false;
    m_copiesStale = false;
}

void ReceiveRouter::route(Step step, QWidget *page, Handler handler)
{
    m_routes[step] = Route {page, std::move(handler)};
}

void ReceiveRouter::tick()
{
    // A tick that falls due while the previous one waits, or while what it
    // started holds the ticks off, is dropped: the buffer and the readings
    // are never handled twice at once.
    if (isBusy())
        return;
    m_inTick = true;

    const QString received = m_link.readInput();
    m_assembler.append(received);
    copyPending(!received.isEmpty());
    if (!m_assembler.pending().isEmpty())
        emit textHeld(m_assembler.pending());
    if (m_assembler.droppedText() && !m_dropReported) {
        m_dropReported = true;
        emit textWithoutEndMark();
    }
    std::optional<QString> message = m_assembler.takeMessage();
    if (message)
        m_dropReported = false;
    if (message) {
        for (auto &[step, route] : m_routes) {
            // Each page is tested when its turn comes, not once for the tick.
            if (route.page->isHidden())
                continue;
            if (route.handler(*message) == Next::EndTick)
                break;
        }
    }
    m_inTick = false;
    // A wait on the KZ's answer looks again at what this tick brought.
    m_link.recheck();
}

} // namespace kz
