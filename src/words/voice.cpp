// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/voice.h"

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

namespace {
constexpr int kDefaultVolume = 120;
constexpr int kDefaultSpeed = 114;
constexpr int kDefaultPitch = 89;
constexpr int kDefaultBend = 6;
} // namespace

VoiceSettings::VoiceSettings(const SetupPage &page, const ComPage &com, DeviceLink &link,
                             QObject *parent)
    : QObject(parent), m_page(page), m_com(com), m_link(link)
{
    const std::pair<ScrollBar *, TextBox *> values[] = {{m_page.HScroll3, m_page.Text4},
                                                        {m_page.HScroll4, m_page.Text5},
                                                        {m_page.HScroll5, m_page.Text6},
                                                        {m_page.HScroll6, m_page.Text7}};
    for (const auto &[bar, box] : values)
        connect(bar, &QScrollBar::valueChanged, box,
                [box = box](int value) { box->setText(signedField(value)); });

    connect(m_page.Command48, &QPushButton::clicked, this, &VoiceSettings::testVoice);
    connect(m_page.Command13, &QPushButton::clicked, this, &VoiceSettings::defaultVoice);
    connect(m_page.Command11, &QPushButton::clicked, this, &VoiceSettings::save);
    connect(m_page.Command16, &QPushButton::clicked, this, &VoiceSettings::switchAmp);
}

void VoiceSettings::testVoice()
{
    // A second load, or any other sequence, would split the header from its
    // values: the link's policy lets it wait or refuses it.
    CommandSequence lines(SequenceKind::Click, QStringLiteral("Test Voice"));
    load(lines);
    m_link.run(std::move(lines));
}

void VoiceSettings::defaultVoice()
{
    CommandSequence lines(SequenceKind::Click, QStringLiteral("Default Voice"));
    lines.then([this] {
        m_page.HScroll3->setValueChecked(kDefaultVolume);
        m_page.HScroll4->setValueChecked(kDefaultSpeed);
        m_page.HScroll5->setValueChecked(kDefaultPitch);
        m_page.HScroll6->setValueChecked(kDefaultBend);
    });
    load(lines);
    m_link.run(std::move(lines));
}

void VoiceSettings::load(CommandSequence &lines)
{
    lines.then([this] { m_com.Text3->setText(QString()); })
        .send(commands::kVoiceLoad)
        .hold()
        .then([this] { sendValues(); })
        .hold()
        .then([this] { sendValues(); });
}

// Read afresh for each line: the values may have been moved during the wait.
void VoiceSettings::sendValues()
{
    const int flag = m_com.Option2->isChecked() ? 1 : 0;
    m_link.sendCommand(
        commands::kActionLead + signedField(flag) + signedField(m_page.HScroll3->value())
        + signedField(m_page.HScroll4->value()) + signedField(m_page.HScroll5->value())
        + signedField(m_page.HScroll6->value()));
}

// One line each, but one that lands inside another sequence (between a
// header and its values) would spoil it: these wait or are refused like a
// sequence.
void VoiceSettings::save()
{
    CommandSequence line(SequenceKind::Click, QStringLiteral("Save"));
    line.send(commands::kVoiceStore);
    m_link.run(std::move(line));
}

void VoiceSettings::switchAmp()
{
    // The choice is read when the line goes out.
    CommandSequence line(SequenceKind::Click, QStringLiteral("Amp on/off"));
    line.then([this] {
        m_link.sendCommand(m_page.Option1[0]->isChecked() ? commands::kAmplifierOn
                                                          : commands::kAmplifierOff);
    });
    m_link.run(std::move(line));
}

} // namespace kz
