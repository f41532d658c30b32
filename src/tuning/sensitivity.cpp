// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/sensitivity.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace kz {

using tune::Level;
using tune::Row;
using tune::Setting;
using namespace commands;

Sensitivity::Sensitivity(const SetupPage &page, DeviceLink &link, QObject *parent)
    : QObject(parent), m_page(page), m_link(link)
{
    m_bars = {page.VScroll1,  page.VScroll2,  page.VScroll3, page.VScroll4,
              page.VScroll12, page.VScroll10, page.VScroll8, page.VScroll6,
              page.VScroll13, page.VScroll11, page.VScroll9, page.VScroll7};
    m_boxes = {page.Text14, page.Text11, page.Text12, page.Text13, page.Text25, page.Text23,
               page.Text21, page.Text19, page.Text26, page.Text24, page.Text22, page.Text20};

    for (int i = 0; i < tune::kSettingCount; ++i) {
        TextBox *box = m_boxes[std::size_t(i)];
        connect(m_bars[std::size_t(i)], &QScrollBar::valueChanged, box,
                [box](int value) { box->setText(signedField(value)); });
    }
    takeLowGain();
    connect(page.Text13, &TextBox::changed, this, &Sensitivity::takeLowGain);
    connect(page.Command57, &QPushButton::clicked, this, &Sensitivity::saveSettings);
    connect(page.Command12, &QPushButton::clicked, this, &Sensitivity::restoreDefaults);
    connect(page.Command10, &QPushButton::clicked, this, &Sensitivity::firmwareVersion);
}

void Sensitivity::takeLowGain()
{
    // A gain that does not fit 16 bits leaves the last one that did.
    if (const auto gain = toInt16(numericValue(m_page.Text13->text())))
        m_gain = *gain;
}

void Sensitivity::applyTune(const tune::TuneResult &result)
{
    for (int i = 0; i < tune::kSettingCount; ++i) {
        const Setting setting = tune::settingAt(i);
        // A value the bar refuses leaves the bar and its box as they were.
        if (const auto value = tune::acceptedValue(setting.row, result.values[std::size_t(i)]))
            bar(setting)->setValueChecked(*value);
    }
    // Moving the Low GAIN bar has set the gain from its box; the tune's own wins.
    m_gain = result.gain;
}

void Sensitivity::addValue(CommandSequence &s, Setting setting) const
{
    // Text typed into a box while the values go out reaches the lines still to come.
    s.expand([this, setting](CommandSequence &line) { line.send(kValueLead + box(setting)->text()); });
}

void Sensitivity::addLevel(CommandSequence &s, Level level) const
{
    s.send(kSettingsSet).hold();
    for (int row = 0; row < tune::kRowCount; ++row) {
        addValue(s, {level, Row(row)});
        s.hold();
    }
    s.hold();
    switch (level) {
    case Level::Low:
        s.send(kStoreLow).hold(2);
        break;
    case Level::Mid:
        s.send(kStoreMid).hold(2);
        break;
    case Level::High:
        s.send(kStoreHigh).hold(4);
        break;
    }
}

void Sensitivity::addActiveLevel(CommandSequence &s) const
{
    // The option chosen by the time the three sets are out.
    s.expand([this](CommandSequence &active) {
        const Level level = m_page.Option5->isChecked() ? Level::Mid
            : m_page.Option6->isChecked()               ? Level::High
                                                        : Level::Low;
        active.send(kSettingsSet).hold();
        for (int row = 0; row < tune::kRowCount; ++row) {
            addValue(active, {level, Row(row)});
            // Low pauses after its last value too; Mid and High go straight on.
            if (row == tune::kRowCount - 1 && level != Level::Low)
                break;
            active.hold();
        }
        if (level == Level::Low)
            active.hold();
    });
}

void Sensitivity::addSettings(CommandSequence &s) const
{
    for (const Level level : {Level::Low, Level::Mid, Level::High})
        addLevel(s, level);
    addActiveLevel(s);
    s.hold(2).send(kSettingsSaved).hold();
}

void Sensitivity::saveSettings()
{
    CommandSequence s(SequenceKind::Click, QStringLiteral("Save Settings"));
    addSettings(s);
    m_link.run(std::move(s));
}

void Sensitivity::restoreDefaults()
{
    CommandSequence s(SequenceKind::Click, QStringLiteral("Restore Defaults"));
    // Once the wire is had: a refused click leaves the values as they were.
    s.then([this] {
        for (int i = 0; i < tune::kSettingCount; ++i) {
            const Setting setting = tune::settingAt(i);
            const int value = tune::defaultValue(setting);
            bar(setting)->setValueChecked(value);
            // A bar already at its default would leave a typed or initial text.
            box(setting)->setText(signedField(value));
        }
    });
    addSettings(s);
    m_link.run(std::move(s));
}

void Sensitivity::firmwareVersion()
{
    CommandSequence s(SequenceKind::Click, QStringLiteral("Firmware Version"));
    for (int i = 0; i < 2; ++i)
        s.send(kStop).hold();
    s.send(kFirmware).hold().send(kFirmware);
    m_link.run(std::move(s));
}

} // namespace kz
