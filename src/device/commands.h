#pragma once

#include <QString>

namespace kz::commands {

// The protocol's fixed lines, as they go on the wire without their carriage
// return. Literal blanks matter: the device parses fields by position.

// Ends what the device is doing; it answers "^".
inline const QString kStop = QStringLiteral("@ 2 2");
// Second presence probe; the device answers "!".
inline const QString kProbe = QStringLiteral("@ 1 1");
// Asks for reading 1 (also the question window's poll).
inline const QString kPoll = QStringLiteral("> 11 1");
// First line of a say-word request: two blanks between fields, one trailing.
inline const QString kSayLead = QStringLiteral("> 26  10  10 ");
// Sent when the KZ page is chosen, after the two stops.
inline const QString kKzPageSelect = QStringLiteral("@ 47 1 1");

// Answer marks the program looks for in device text.
inline const QString kEndMark = QStringLiteral("^");
inline const QString kProbeAnswer = QStringLiteral("!");

} // namespace kz::commands
