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
struct SetupPage;

// The twelve sensitivity values of the SET UP page: each bar writes its box,
// the Low GAIN box sets the window's gain, and the buttons save the values to
// the KZ, restore the sample values and ask for the firmware version. The
// gain is kept here alone; the others ask for it.
class Sensitivity : public QObject {
    Q_OBJECT
public:
    Sensitivity(const SetupPage &page, DeviceLink &link, QObject *parent = nullptr);

    ScrollBar *bar(tune::Setting s) const { return m_bars[std::size_t(tune::indexOf(s))]; }
    TextBox *box(tune::Setting s) const { return m_boxes[std::size_t(tune::indexOf(s))]; }

    // The multiplier of the COM page's word numbers: the Low GAIN box's
    // value, until an auto tune leaves its own.
    qint16 gain() const { return m_gain; }
    // An auto tune's result: the values the bars accept, and its gain.
    void applyTune(const tune::TuneResult &result);

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
    void takeLowGain();

    const SetupPage &m_page;
    DeviceLink &m_link;
    qint16 m_gain = 0;
    std::array<ScrollBar *, tune::kSettingCount> m_bars {};
    std::array<TextBox *, tune::kSettingCount> m_boxes {};
};

} // namespace kz
