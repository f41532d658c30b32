// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tuning/tunemath.h"

#include <QObject>

#include <array>

namespace kz {

class CommandSequence;
class DeviceLink;
class ScrollBar;
class TextBox;
struct FormState;
struct SetupPage;

// The twelve sensitivity values of the SET UP page: each bar writes its box,
// the Low GAIN box sets the window's gain, and the buttons save the values to
// the KZ, restore the sample values and ask for the firmware version.
class Sensitivity : public QObject {
    Q_OBJECT
public:
    Sensitivity(const SetupPage &page, FormState &state, DeviceLink &link,
                QObject *parent = nullptr);

    ScrollBar *bar(tune::Setting s) const { return m_bars[std::size_t(tune::indexOf(s))]; }
    TextBox *box(tune::Setting s) const { return m_boxes[std::size_t(tune::indexOf(s))]; }

    // Adds Save Settings to the sequence: the three sets, then the selected
    // level's set again. Each value line takes its box's text, and the
    // level its option, as they stand when their turn comes.
    void addSettings(CommandSequence &s) const;

    void saveSettings();
    void restoreDefaults();
    void firmwareVersion();

private:
    void addLevel(CommandSequence &s, tune::Level level) const;
    void addActiveLevel(CommandSequence &s) const;
    void addValue(CommandSequence &s, tune::Setting setting) const;

    const SetupPage &m_page;
    FormState &m_state;
    DeviceLink &m_link;
    std::array<ScrollBar *, tune::kSettingCount> m_bars {};
    std::array<TextBox *, tune::kSettingCount> m_boxes {};
};

} // namespace kz
