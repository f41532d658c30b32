// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kz::commands {

// The protocol's fixed lines, as they go on the wire without their carriage
// return. Literal blanks matter: the device parses fields by position.

// ---- the leads of composed lines, each followed by its fields ----

// Immediate actions: say a word, a store address, a voice.
inline const QString kActionLead = QStringLiteral("@ ");
// One data value after the line that announced it.
inline const QString kValueLead = QStringLiteral("* ");

// ---- stops and probes ----

// Ends what the device is doing; it answers "^".
inline const QString kStop = QStringLiteral("@ 2 2");
// Second presence probe; the device answers "!".
inline const QString kProbe = QStringLiteral("@ 1 1");
// Sent when the KZ page is chosen, after the two stops.
inline const QString kKzPageSelect = QStringLiteral("@ 47 1 1");

// ---- modes and the PK test ----

// First line of a mode that speaks (Dictionary Mode 1, Voice change mode)
// and of the PK test.
inline const QString kSpeakingFirst = QStringLiteral("> 47 1 1");
// First line of a silent mode (Phonetic Mode 1, Touch Mode, Reverse Phonetic Mode).
inline const QString kSilentFirst = QStringLiteral("> 47 0 1");
inline const QString kDictionaryMode = QStringLiteral("> 18 2");
inline const QString kPhoneticMode = QStringLiteral("> 15 2");
// Touch Mode; also the PK test's last start line, after which readings come.
inline const QString kTouchMode = QStringLiteral("> 17 2");
inline const QString kVoiceChangeMode = QStringLiteral("> 20 1 1");
inline const QString kReversePhoneticMode = QStringLiteral("> 16 2");

// ---- readings ----

// Ask for reading 1, 2 or 3; each is answered by a number and "^". Reading 1
// is also the question window's poll.
inline const QString kReading1 = QStringLiteral("> 11 1");
inline const QString kReading2 = QStringLiteral("> 11 2");
inline const QString kReading3 = QStringLiteral("> 11 3");

// ---- speech ----

// First line of a say-word request: two blanks between fields, one trailing.
inline const QString kSayLead = QStringLiteral("> 26  10  10 ");
// The speaker amplifier switch.
inline const QString kAmplifierOn = QStringLiteral("> 12 0");
inline const QString kAmplifierOff = QStringLiteral("> 12 1");
// First line of a voice load; the voice's values follow.
inline const QString kVoiceLoad = QStringLiteral("> 24 22");
// Stores the voice the device has now.
inline const QString kVoiceStore = QStringLiteral("> 23 10 10");

// ---- the word store ----

// Opens a block write: the setting lead and the fields of 4 and 2, so two
// blanks after the sign. The block's address and values follow.
inline const QString kBlockOpen = QStringLiteral(">  4 2");
// The dump of the words spoken: select it, give its length, send it.
inline const QString kDumpSelect = QStringLiteral("> 14 1");
inline const QString kDumpLength = QStringLiteral("* 800");
inline const QString kDumpSend = QStringLiteral("> 2 1");

// ---- sensitivity ----

// Announces one set of four values.
inline const QString kSettingsSet = QStringLiteral("> 40 2");
// Store the four values just sent as the Low, Mid or High set.
inline const QString kStoreLow = QStringLiteral("> 46 1 1");
inline const QString kStoreMid = QStringLiteral("> 46 2 1");
inline const QString kStoreHigh = QStringLiteral("> 46 3 1");
// Last line of saving the settings.
inline const QString kSettingsSaved = QStringLiteral("> 43 1");
// Asks for the firmware version; the answer reaches the information window.
inline const QString kFirmware = QStringLiteral("> 27 10 10");

// ---- answer marks the program looks for in device text ----

inline const QString kEndMark = QStringLiteral("^");
inline const QString kProbeAnswer = QStringLiteral("!");

} // namespace kz::commands
