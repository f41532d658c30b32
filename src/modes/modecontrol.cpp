// SPDX-License-Identifier: GPL-3.0-or-later
#include "modes/modecontrol.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>

#include <utility>

namespace kz {

namespace {
const QString kReportMark = QStringLiteral("AA = ");
// Messages that start with a larger number are not reports.
constexpr double kReportBelow = 256;
// The mode in which the word display is shown.
constexpr qint16 kWordsMode = 1;
} // namespace

ModeControl::ModeControl(const KzPage &page, DeviceLink &link, ReceiveRouter &router,
                         QObject *parent)
    : QObject(parent), m_page(page), m_link(link)
{
    using namespace commands;
    const std::pair<QPushButton *, ModeStart> buttons[] = {
        {m_page.Command4, {kSpeakingFirst, kDictionaryMode, 1}},
        {m_page.Command6, {kSilentFirst, kPhoneticMode, 2}},
        {m_page.Command7, {kSilentFirst, kTouchMode, 4}},
        {m_page.Command8, {kSpeakingFirst, kVoiceChangeMode, 1}},
        {m_page.Command9, {kSilentFirst, kReversePhoneticMode, 3}},
    };
    for (const auto &[button, mode] : buttons) {
        ModeStart named = mode;
        named.caption = button->text();
        connect(button, &QPushButton::clicked, this, [this, named] { start(named); });
    }

    connect(m_page.Text10, &TextBox::doubleClicked, this,
            [this] { m_page.Text10->setText(QString()); });

    router.route(ReceiveRouter::Step::KzReports, m_page.KZframe, [this](QString &message) {
        takeReport(message);
        return ReceiveRouter::Next::Continue;
    });
}

void ModeControl::start(const ModeStart &start)
{
    // A click during another sequence waits its turn or is refused, as the
    // link's policy says: its lines never land between that sequence's.
    CommandSequence lines(SequenceKind::Click, QStringLiteral("a mode start"));
    lines.then([this, mode = start.mode] { m_mode = mode; })
        .send(start.firstCommand)
        .hold()
        .send(commands::kStop)
        .hold(2)
        .send(start.modeCommand)
        .then([this, start] {
            emit modeStarted(start.mode, start.caption);
            modeOff();
        });
    m_link.run(std::move(lines));
}

void ModeControl::modeOff()
{
    const bool shown = m_mode == kWordsMode;
    m_page.List2->setVisible(shown);
    m_page.Text10->setVisible(shown);
}

void ModeControl::takeReport(QString &message)
{
    // Touch Mode streams bare readings ("57^"); reports start with their
    // mark ("AA = 12^").
    if (const QString text = message.trimmed(); !text.isEmpty() && text.front().isDigit())
        emit readingStreamed(numericValue(text));
    if (numericValue(message) >= kReportBelow)
        return;
    // The bare "^" that answers every stop names no word; read as a position
    // it would list word 0.
    if (digitsOnly(message).isEmpty())
        return;
    const int at = message.indexOf(kReportMark);
    message = at >= 0 ? message.mid(at + kReportMark.size()) : message.mid(4);
    const std::optional<qint16> pos = toInt16(numericValue(message.left(3)));
    if (!pos || !m_page.List2->selectIndex(*pos))
        return;
    m_page.Text10->prependEntry(m_page.List2->selectedText());
}

} // namespace kz
