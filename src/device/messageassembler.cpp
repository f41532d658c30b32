// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/messageassembler.h"

#include "device/commands.h"

namespace kz {

void MessageAssembler::append(const QString &chunk)
{
    if (chunk.isEmpty())
        return;
    // Only the new text is searched: the work of a chunk does not grow with
    // what is already kept.
    if (!m_complete)
        m_complete = chunk.contains(commands::kEndMark);
    m_text += chunk;
    if (m_text.size() > kMaxPending) {
        m_text.remove(0, m_text.size() - kMaxPending);
        m_dropped = true;
        m_complete = m_text.contains(commands::kEndMark);
    }
}

std::optional<QString> MessageAssembler::takeMessage()
{
    if (!m_complete)
        return std::nullopt;
    m_complete = false;
    m_dropped = false;
    return std::exchange(m_text, QString());
}

void MessageAssembler::clear()
{
    m_text.clear();
    m_complete = false;
    m_dropped = false;
}

} // namespace kz
