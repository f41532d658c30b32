// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/upload.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/phonetable.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTabBar>

#include <utility>

namespace kz {

namespace {
// The title shows progress only from the 11th value on.
constexpr int kFirstTitledValue = 11;

const QString kProgressText = QStringLiteral(" words written  PASS #");
const QString kPleaseWait = QStringLiteral(" Please Wait Till Done ");
const QString kName = QStringLiteral("the word list upload");
} // namespace

WordListUpload::WordListUpload(const WordListPage &page, const HiddenBoxes &hidden,
                               const FormParts &form, DeviceLink &link, ReceiveRouter &router,
                               QObject *parent)
    : QObject(parent), m_page(page), m_hidden(hidden), m_form(form), m_link(link)
{
    // Whatever the KZ has sent counts, whether or not it ends a message.
    connect(&router, &ReceiveRouter::textHeld, this, [this] { m_answered = true; });
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
    CommandSequence s(SequenceKind::Click, kName);
    s.then([this] { begin(); });
    s.expand([this](CommandSequence &first) { addBlock(first, 0); });
    s.onEnd([this](WaitResult r) { blocksEnded(r); });
    m_link.run(std::move(s));
}

void WordListUpload::begin()
{
    m_running = true;
    m_block = 0;
    emit started();
    // No word said and no page chosen while the store is being written.
    m_page.List3->hide();
    m_page.Frame6->hide();
    m_form.TabStrip1->hide();
    m_page.uploadCancel->show();
    forgetAnswer();
}

void WordListUpload::forgetAnswer()
{
    m_answered = false;
    // The box shows the answer as the receive loop copies it; emptied, it
    // is filled again on the next tick that holds text.
    m_hidden.Text18->setText(QString());
}

void WordListUpload::addBlock(CommandSequence &s, int block)
{
    s.then([this, block] { m_block = block; });
    if (block > 0)
        s.hold1();
    s.send(commands::kBlockOpen).hold1().send(blockAddressLine(block)).hold1();
    // Once shortened, Timer4 keeps the value pace for the rest of the run.
    if (block == 0)
        s.then([this] { m_form.Timer4->setDesignInterval(kValueHoldMs); });
    for (int k = 0; k < kBlockValues; ++k) {
        const int element = block * kBlockValues + k;
        s.send(valueLine(element)).hold1();
        // A block's last value leaves the title as it was.
        const int values = element + 1;
        if (k < kBlockValues - 1 && values >= kFirstTitledValue)
            s.then([this, values, block] {
                m_form.window->setWindowTitle(progressTitle(values, block));
            });
    }
    // An answer already there costs no wait.
    s.waitForAnswer([this] { return m_answered; }, kAnswerWaitMs);
    s.then([this] { forgetAnswer(); }).hold1();
    if (block + 1 < kBlocks)
        s.expand([this, block](CommandSequence &next) { addBlock(next, block + 1); });
}

void WordListUpload::blocksEnded(WaitResult r)
{
    Outcome outcome = Outcome::Ending;
    switch (r.outcome()) {
    case WaitResult::Done:
        outcome = Outcome::Complete;
        break;
    case WaitResult::Deadline:
        outcome = Outcome::NoAnswer;
        break;
    case WaitResult::Cancelled:
        outcome = Outcome::Cancelled;
        break;
    case WaitResult::Lost:
        outcome = Outcome::Lost;
        break;
    default:
        break;
    }
    m_page.uploadCancel->hide();
    const int block = m_block;
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
    const auto done = [this, outcome, block] {
        restorePage();
        m_running = false;
        emit finished(outcome, block);
    };
    if (outcome == Outcome::Ending) {
        done();
        return;
    }
    m_page.setupframe->show();
    // The KZ is stopped however the upload ended, before anything that
    // waited for the wire; a click meanwhile is still refused.
    CommandSequence closing(SequenceKind::Click, kName);
    closing.send(commands::kStop).hold().send(commands::kStop).hold();
    closing.onEnd([done](WaitResult) { done(); });
    m_link.runNext(std::move(closing));
}

void WordListUpload::restorePage()
{
    m_page.List3->show();
    m_page.Frame6->show();
    m_form.TabStrip1->show();
}

} // namespace kz
