// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/upload.h"

#include "device/commands.h"
#include "device/format.h"
#include "device/pacing.h"
#include "kit/pages.h"
#include "kit/widgets.h"
#include "words/phonetable.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTabBar>

#include <tuple>

namespace kz {

namespace {
// The title shows progress only from the 11th value on.
constexpr int kFirstTitledValue = 11;

const QString kProgressText = QStringLiteral(" words written  PASS #");
const QString kPleaseWait = QStringLiteral(" Please Wait Till Done ");
} // namespace

WordListUpload::WordListUpload(const WordListPage &page, const HiddenBoxes &hidden,
                               const FormParts &form, DeviceLink &link, QObject *parent)
    : QObject(parent), m_page(page), m_hidden(hidden), m_form(form), m_link(link)
{
    connect(m_page.Command24, &QPushButton::clicked, this, &WordListUpload::run);
    connect(m_page.uploadCancel, &QPushButton::clicked, &m_link, &DeviceLink::cancelSequence);
}

QString WordListUpload::progressTitle(int values, int passes)
{
    return signedField(values / 10.0) + kProgressText + signedField(passes) + kPleaseWait;
}

QString WordListUpload::blockAddressLine(int block)
{
    return commands::kActionLead + signedField(kFirstAddress + kBlockStride * block);
}

QString WordListUpload::valueLine(int element)
{
    return commands::kValueLead + signedField(phone(element));
}

void WordListUpload::run()
{
    Outcome outcome;
    int block = 0;
    {
        DeviceLink::Sequence wire(m_link, QStringLiteral("the word list upload"), [this] { run(); });
        if (!wire)
            return;
        m_running = true;
        emit started();
        // No word said and no page chosen while the store is being written.
        m_page.List3->hide();
        m_page.Frame6->hide();
        m_form.TabStrip1->hide();
        m_page.uploadCancel->show();
        outcome = sendBlocks(block);
        m_page.uploadCancel->hide();
    }
    finish(outcome, block);
    m_running = false;
    emit finished(outcome, block);
}

WordListUpload::Outcome WordListUpload::sendBlocks(int &block)
{
    auto ended = [](WaitResult r) {
        switch (r.outcome()) {
        case WaitResult::Deadline:
            return Outcome::NoAnswer;
        case WaitResult::Cancelled:
            return Outcome::Cancelled;
        case WaitResult::Lost:
            return Outcome::Lost;
        default:
            return Outcome::Ending;
        }
    };

    m_hidden.Text18->setText(QString());
    for (int b = 0; b < kBlocks; ++b) {
        block = b;
        if (const WaitResult r = openBlock(block); !r)
            return ended(r);
        for (int k = 0; k < kBlockValues; ++k) {
            const int element = block * kBlockValues + k;
            m_link.sendCommand(valueLine(element));
            if (const WaitResult r = m_link.hold1(); !r)
                return ended(r);
            // A block's last value leaves the title as it was.
            const int values = element + 1;
            if (k < kBlockValues - 1 && values >= kFirstTitledValue)
                m_form.window->setWindowTitle(progressTitle(values, block));
        }
        if (const WaitResult r = awaitAnswer(); !r)
            return ended(r);
        m_hidden.Text18->setText(QString());
        if (const WaitResult r = m_link.pumpOnce(); !r)
            return ended(r);
        if (const WaitResult r = m_link.hold1(); !r)
            return ended(r);
    }
    return Outcome::Complete;
}

WaitResult WordListUpload::openBlock(int block)
{
    if (block > 0) {
        if (const WaitResult r = m_link.hold1(); !r)
            return r;
    }
    m_link.sendCommand(commands::kBlockOpen);
    if (const WaitResult r = m_link.hold1(); !r)
        return r;
    m_link.sendCommand(blockAddressLine(block));
    if (const WaitResult r = m_link.hold1(); !r)
        return r;
    // Once shortened, Timer4 keeps the value pace for the rest of the run.
    if (block == 0)
        m_form.Timer4->setDesignInterval(kValueHoldMs);
    return WaitResult::Done;
}

WaitResult WordListUpload::awaitAnswer()
{
    // The receive loop copies whatever the KZ sent into Text18 on its tick;
    // an answer already there costs no wait.
    return m_link.waitForAnswer([this] { return !m_hidden.Text18->text().isEmpty(); },
                                kAnswerWaitMs);
}

void WordListUpload::finish(Outcome outcome, int block)
{
    switch (outcome) {
    case Outcome::Complete:
        m_form.window->setWindowTitle(QStringLiteral("Upload Complete"));
        break;
    case Outcome::NoAnswer:
        m_form.window->setWindowTitle(
            QStringLiteral("Upload stopped: no answer from the KZ at block %1").arg(block));
        break;
    case Outcome::Cancelled:
        m_form.window->setWindowTitle(QStringLiteral("Upload cancelled at block %1").arg(block));
        break;
    case Outcome::Lost:
        m_form.window->setWindowTitle(
            QStringLiteral("Upload stopped: lost the KZ at block %1").arg(block));
        break;
    case Outcome::Ending:
        break;
    }
    if (outcome != Outcome::Ending) {
        // A fresh hold on the wire: no click may come between the closing
        // stops.
        DeviceLink::Sequence wire(m_link);
        m_page.setupframe->show();
        // Only the program's end or a lost KZ keep the stops from going out.
        const WaitResult shown = m_link.pumpOnce();
        if (wire && shown != WaitResult::Ending && shown != WaitResult::Lost) {
            m_link.sendCommand(commands::kStop);
            if (m_link.hold()) {
                m_link.sendCommand(commands::kStop);
                std::ignore = m_link.hold(); // the last wait: nothing follows it
            }
        }
    }
    m_page.List3->show();
    m_page.Frame6->show();
    m_form.TabStrip1->show();
}

} // namespace kz
