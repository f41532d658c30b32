#pragma once

#include <QString>

#include <optional>

namespace kz {

// Gathers the text the KZ sends, chunk by chunk, until a message is
// complete: the device ends each message with "^". Knows nothing of what a
// message means.
class MessageAssembler {
public:
    void append(const QString &chunk) { m_text += chunk; }
    // Everything gathered and not yet taken, complete or not.
    const QString &pending() const { return m_text; }
    bool hasMessage() const;
    // Once an end mark has arrived, takes the whole gathered text: messages
    // that arrived between two takes are handled as one.
    std::optional<QString> takeMessage();
    void clear() { m_text.clear(); }

private:
    QString m_text;
};

} // namespace kz
