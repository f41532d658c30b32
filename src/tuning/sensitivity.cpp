// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/sensitivity.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/formstate.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QPushButton>
#include <QRadioButton>

#include <tuple>

namespace kz {

using tune::Level;
using tune::Row;
using tune::Setting;
using namespace commands;

Sensitivity::Sensitivity(const SetupPage &page, FormState &state, DeviceLink &link, QObject *parent)
    : QObject(parent), m_page(page), m_state(state), m_link(link)
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
    // A gain that does not fit 16 bits leaves the last one that did.
    connect(page.Text13, &TextBox::changed, this, [this] {
        if (const auto gain = toInt16(numericValue(m_page.Text13->text())))
            m_state.gain = *gain;
    });
    connect(page.Command57, &QPushButton::clicked, this, &Sensitivity::saveSettings);
    connect(page.Command12, &QPushButton::clicked, this, &Sensitivity::restoreDefaults);
    connect(page.Command10, &QPushButton::clicked, this, &Sensitivity::firmwareVersion);
}

WaitResult Sensitivity::sendLevel(Level level)
{
    m_link.sendCommand(kSettingsSet);
    if (const WaitResult r = m_link.hold(); !r)
        return r;
    for (int row = 0; row < tune::kRowCount; ++row) {
        m_link.sendCommand(kValueLead + box({level, Row(row)})->text());
        if (const WaitResult r = m_link.hold(); !r)
            return r;
    }
    if (const WaitResult r = m_link.hold(); !r)
        return r;
    switch (level) {
    case Level::Low:
        m_link.sendCommand(kStoreLow);
        break;
    case Level::Mid:
        m_link.sendCommand(kStoreMid);
        break;
    case Level::High:
        m_link.sendCommand(kStoreHigh);
        return m_link.holds(4);
    }
    if (const WaitResult r = m_link.holds(2); !r)
        return r;
    return m_link.pumpOnce();
}

WaitResult Sensitivity::sendActiveLevel()
{
    const Level level = m_page.Option5->isChecked() ? Level::Mid
        : m_page.Option6->isChecked()               ? Level::High
                                                    : Level::Low;
    m_link.sendCommand(kSettingsSet);
    if (const WaitResult r = m_link.hold(); !r)
        return r;
    for (int row = 0; row < tune::kRowCount; ++row) {
        m_link.sendCommand(kValueLead + box({level, Row(row)})->text());
        // Low pauses after its last value too; Mid and High go straight on.
        if (row == tune::kRowCount - 1 && level != Level::Low)
            break;
        if (const WaitResult r = m_link.hold(); !r)
            return r;
    }
    if (level == Level::Low)
        return m_link.hold();
    return WaitResult::Done;
}

WaitResult Sensitivity::sendSettings()
{
    for (const Level level : {Level::Low, Level::Mid, Level::High}) {
        if (const WaitResult r = sendLevel(level); !r)
            return r;
    }
    if (const WaitResult r = sendActiveLevel(); !r)
        return r;
    if (const WaitResult r = m_link.holds(2); !r)
        return r;
    if (const WaitResult r = m_link.pumpOnce(); !r)
        return r;
    m_link.sendCommand(kSettingsSaved);
    return m_link.hold();
}

void Sensitivity::saveSettings()
{
    DeviceLink::Sequence wire(m_link, QStringLiteral("Save Settings"), [this] { saveSettings(); });
    if (!wire)
        return;
    std::ignore = sendSettings(); // the last of the sequence: nothing follows
}

void Sensitivity::restoreDefaults()
{
    DeviceLink::Sequence wire(m_link, QStringLiteral("Restore Defaults"), [this] { restoreDefaults(); });
    if (!wire)
        return;
    for (int i = 0; i < tune::kSettingCount; ++i) {
        const Setting s = tune::settingAt(i);
        const int value = tune::defaultValue(s);
        bar(s)->setValueChecked(value);
        // A bar already at its default would leave a typed or initial text.
        box(s)->setText(signedField(value));
    }
    if (!m_link.pumpOnce())
        return;
    std::ignore = sendSettings();
}

void Sensitivity::firmwareVersion()
{
    DeviceLink::Sequence wire(m_link, QStringLiteral("Firmware Version"), [this] { firmwareVersion(); });
    if (!wire)
        return;
    for (int i = 0; i < 2; ++i) {
        m_link.sendCommand(kStop);
        if (!m_link.hold())
            return;
    }
    m_link.sendCommand(kFirmware);
    if (!m_link.hold())
        return;
    m_link.sendCommand(kFirmware);
}

} // namespace kz
