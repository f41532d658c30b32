// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace kz {

class CommandSequence;
class DeviceLink;
struct ComPage;
struct SetupPage;

// The SET UP page's Voice and amplifier frames: the four voice values are
// loaded into the KZ to be heard, stored there, or set back to the default
// voice; the speaker amplifier is switched on or off.
class VoiceSettings : public QObject {
    Q_OBJECT
public:
    // From the COM page: the question box, emptied by a voice load, and the
    // "6 seconds" option, which sets the load's flag.
    VoiceSettings(const SetupPage &page, const ComPage &com, DeviceLink &link,
                  QObject *parent = nullptr);

private:
    void testVoice();
    void defaultVoice();
    // Adds the load's lines: the header, then the values twice.
    void load(CommandSequence &lines);
    void sendValues();
    void save();
    void switchAmp();

    const SetupPage &m_page;
    const ComPage &m_com;
    DeviceLink &m_link;
};

} // namespace kz
