#include "device/messageassembler.h"

#include "device/commands.h"

namespace kz {

bool MessageAssembler::hasMessage() const
{
    return m_text.contains(commands::kEndMark);
}

std::optional<QString> MessageAssembler::takeMessage()
{
    if (!hasMessage())
        return std::nullopt;
    return std::exchange(m_text, QString());
}

} // namespace kz
