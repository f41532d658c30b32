// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace kz {

// Gathers the text the KZ sends, chunk by chunk, until a message is
// complete: the device ends each message with "^". Knows nothing of what a
// message means.
//
// The text kept is bounded: a device (or another device on that port) that
// streams without an end mark loses its oldest text rather than filling the
// memory. The longest real message, a dump of the words spoken, is a few
// kilobytes.
class MessageAssembler {
public:
    static constexpr qsizetype kMaxPending = 64 * 1024;

    void append(const QString &chunk);
    // Everything gathered and not yet taken, complete or not.
    const QString &pending() const { return m_text; }
    // Once an end mark has arrived, takes the whole gathered text: messages
    // that arrived between two takes are handled as one.
    std::optional<QString> takeMessage();
    void clear();
    // Text was dropped since the last complete message.
    bool droppedText() const { return m_dropped; }

private:
    QString m_text;
    bool m_complete = false;
    bool m_dropped = false;
};

} // namespace kz
