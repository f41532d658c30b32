// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/devicelink.h"

#include "device/pacing.h"
#include "device/sequencepolicy.h"
#include "device/serialport.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace kz {

DeviceLink::DeviceLink(SerialPort *port, PacedTimer *timer3, PacedTimer *timer4, QObject *parent)
    : QObject(parent), m_port(port), m_timer3(timer3), m_timer4(timer4)
{
    // A pacing timer ticks once for each hold, then stops.
    connect(m_timer3, &QTimer::timeout, m_timer3, &QTimer::stop);
    connect(m_timer4, &QTimer::timeout, m_timer4, &QTimer::stop);
    connect(m_timer3, &QTimer::timeout, this, [this] {
        if (m_running && m_waiting == Waiting::Timer3) {
            m_waiting = Waiting::Nothing;
            resumeLater();
        }
    });
    connect(m_timer4, &QTimer::timeout, this, [this] {
        if (m_running && m_waiting == Waiting::Timer4) {
            m_waiting = Waiting::Nothing;
            resumeLater();
        }
    });
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] {
        if (m_waiting == Waiting::Time) {
            m_waiting = Waiting::Nothing;
            resumeLater();
        } else if (m_waiting == Waiting::Answer) {
            finish(WaitResult::Deadline);
        }
    });
    connect(m_port, &SerialPort::lost, this, [this](const QString &reason) {
        ++m_losses;
        if (m_running && m_waiting != Waiting::Nothing)
            finish(WaitResult::Lost);
        emit portLost(reason);
    });
}

void DeviceLink::sendCommand(const QString &text)
{
    if (m_ending || !m_port->isOpen())
        return;
    QByteArray line = text.toLatin1();
    line.append('\r');
    m_port->write(line);
    emit commandSent(text);
}

QString DeviceLink::readInput()
{
    return QString::fromLatin1(m_port->readAll());
}

void DeviceLink::endProgram()
{
    m_ending = true;
    m_queue.clear();
    finish(WaitResult::Ending);
}

void DeviceLink::cancelSequence()
{
    emit leaveAsked();
    if (m_running
        && verdictFor(m_running->sequence.kind(), Arrival::Escape) == Verdict::EndWaitOnAnswer) {
        if (m_waiting == Waiting::Answer) {
            finish(WaitResult::Cancelled);
            return;
        }
        // Left while it holds or sends: its next wait on an answer ends at once.
        m_running->cancelAsked = true;
    }
}

bool DeviceLink::wireFree() const
{
    return !m_running;
}

QString DeviceLink::holderName() const
{
    // Between two sequences (in an end handler) the first that waits holds it.
    const CommandSequence *holder = m_running ? &m_running->sequence
        : m_queue.empty()                     ? nullptr
                                              : &m_queue.front();
    if (holder && !holder->name().isEmpty())
        return holder->name();
    if (holder && holder->kind() == SequenceKind::PageChange)
        return QStringLiteral("a page change");
    return QStringLiteral("a word being said");
}

void DeviceLink::run(CommandSequence sequence)
{
    if (m_ending)
        return;
    if (wireFree() && m_queue.empty()) {
        m_running = Running {std::move(sequence), 0, m_losses, false};
        ++m_runs;
        advance();
        return;
    }
    const Arrival arriving = arrivalOf(sequence.kind());
    // Nothing runs while a sequence's end handler runs: what arrives then
    // waits for the one that handler may start.
    const Verdict verdict
        = m_running ? verdictFor(m_running->sequence.kind(), arriving) : Verdict::RunAfter;
    switch (verdict) {
    case Verdict::Refuse:
        if (!sequence.name().isEmpty())
            emit sequenceRefused(holderName());
        return;
    case Verdict::EndRunning:
        m_queue.push_back(std::move(sequence));
        endRunning();
        return;
    case Verdict::RunAfter:
    case Verdict::EndWaitOnAnswer:
        break;
    }
    // One click at a time waits its turn.
    if (arriving == Arrival::Click) {
        for (const CommandSequence &queued : m_queue) {
            if (arrivalOf(queued.kind()) == Arrival::Click) {
                if (!sequence.name().isEmpty())
                    emit sequenceRefused(holderName());
                return;
            }
        }
    }
    m_queue.push_back(std::move(sequence));
}

void DeviceLink::runNext(CommandSequence sequence)
{
    if (m_ending)
        return;
    m_queue.push_front(std::move(sequence));
    startNext();
}

void DeviceLink::startNext()
{
    if (m_ending) {
        m_queue.clear();
        return;
    }
    if (!wireFree() || m_queue.empty())
        return;
    CommandSequence next = std::move(m_queue.front());
    m_queue.pop_front();
    m_running = Running {std::move(next), 0, m_losses, false};
    ++m_runs;
    advance();
}

void DeviceLink::resumeLater()
{
    // From the event loop, after everyone else has seen the tick that ended
    // the wait.
    const quint64 run = m_runs;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (m_running && m_runs == run && m_waiting == Waiting::Nothing)
                advance();
        },
        Qt::QueuedConnection);
}

void DeviceLink::advance()
{
    using Kind = CommandSequence::Step::Kind;
    while (m_running) {
        if (m_ending)
            return finish(WaitResult::Ending);
        if (m_losses != m_running->losses)
            return finish(WaitResult::Lost);
        if (m_running->endAsked)
            return finish(WaitResult::Ended);
        const QList<CommandSequence::Step> &steps = m_running->sequence.steps();
        if (m_running->next >= steps.size())
            return finish(WaitResult::Done);
        const CommandSequence::Step step = steps.at(m_running->next++);
        switch (step.kind) {
        case Kind::Send:
            sendCommand(step.line);
            break;
        case Kind::Do:
            step.action();
            break;
        case Kind::Expand: {
            CommandSequence more(m_running->sequence.kind());
            step.build(more);
            // Building may have ended the sequence (the program ending).
            if (!m_running)
                return;
            m_running->sequence.replaceRun(m_running->next, more.steps());
            m_running->next = 0;
            break;
        }
        case Kind::StopIf:
            if (step.test())
                return finish(WaitResult::Stopped);
            break;
        case Kind::Hold:
            m_waiting = Waiting::Timer3;
            // Starting a running timer would restart it: a hold that starts
            // while another waits ends at the same tick.
            m_timer3->setEnabled(true);
            return;
        case Kind::Hold1:
            m_waiting = Waiting::Timer4;
            m_timer4->setEnabled(true);
            return;
        case Kind::Dtimer:
            if (step.ms <= 0)
                break;
            m_waiting = Waiting::Time;
            m_stepTimer.start(Pacing::scaled(step.ms));
            return;
        case Kind::WaitAnswer:
            if (m_running->cancelAsked)
                return finish(WaitResult::Cancelled);
            if (step.test())
                break;
            m_waiting = Waiting::Answer;
            m_answerTest = step.test;
            m_stepTimer.start(std::max(1, Pacing::scaled(step.ms)));
            return;
        }
    }
}

void DeviceLink::recheck()
{
    if (m_running && m_waiting == Waiting::Answer && m_answerTest && m_answerTest()) {
        m_waiting = Waiting::Nothing;
        m_stepTimer.stop();
        resumeLater();
    }
}

void DeviceLink::endRunning()
{
    if (!m_running)
        return;
    // A wait on an answer ends at once; any other wait runs out first.
    if (m_waiting == Waiting::Answer) {
        finish(WaitResult::Ended);
        return;
    }
    m_running->endAsked = true;
}

void DeviceLink::finish(WaitResult result)
{
    if (!m_running)
        return;
    const std::function<void(WaitResult)> done = m_running->sequence.endHandler();
    const Waiting waited = m_waiting;
    m_running.reset();
    m_waiting = Waiting::Nothing;
    m_answerTest = {};
    m_stepTimer.stop();
    // A tick left running would cut the next wait short.
    if (waited == Waiting::Timer3)
        m_timer3->stop();
    if (waited == Waiting::Timer4)
        m_timer4->stop();
    if (done)
        done(result);
    startNext();
}

} // namespace kz
