// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/devicelink.h"

#include "device/commands.h"
#include "device/pacing.h"
#include "device/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace kz {

DeviceLink::DeviceLink(SerialPort *port, PacedTimer *timer3, PacedTimer *timer4, QObject *parent)
    : QObject(parent), m_port(port), m_timer3(timer3), m_timer4(timer4)
{
    // A pacing timer's tick does nothing but stop it: the wait sees it stopped.
    connect(m_timer3, &QTimer::timeout, m_timer3, &QTimer::stop);
    connect(m_timer4, &QTimer::timeout, m_timer4, &QTimer::stop);
    connect(m_port, &SerialPort::lost, this, [this](const QString &reason) {
        ++m_losses;
        wake();
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

WaitResult DeviceLink::interrupted(int losses, bool leavable) const
{
    if (m_ending)
        return WaitResult::Ending;
    if (m_losses != losses)
        return WaitResult::Lost;
    if (leavable && m_cancelling)
        return WaitResult::Cancelled;
    return WaitResult::Done;
}

WaitResult DeviceLink::waitForTick(PacedTimer *timer)
{
    const int losses = m_losses;
    if (const WaitResult early = interrupted(losses); !early)
        return early;
    // Starting a running timer would restart it and lengthen the outer wait.
    timer->setEnabled(true);
    int &waiters = timer == m_timer3 ? m_holdWaiters : m_hold1Waiters;
    ++waiters;
    while (timer->isActive() && interrupted(losses))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    --waiters;
    const WaitResult result = interrupted(losses);
    // An interrupted wait leaves the tick to an outer wait on the same
    // timer; with none left, a running tick would cut the next wait short.
    if (result || waiters == 0)
        timer->stop();
    return result;
}

WaitResult DeviceLink::hold()
{
    return waitForTick(m_timer3);
}

WaitResult DeviceLink::holds(int count)
{
    for (int i = 0; i < count; ++i) {
        if (const WaitResult r = hold(); !r)
            return r;
    }
    return WaitResult::Done;
}

WaitResult DeviceLink::hold1()
{
    return waitForTick(m_timer4);
}

WaitResult DeviceLink::waitFor(const std::function<bool()> &condition, int deadlineMs)
{
    return waitUntil(condition, deadlineMs, false);
}

WaitResult DeviceLink::waitForAnswer(const std::function<bool()> &condition, int deadlineMs)
{
    ++m_answerWaiters;
    const WaitResult r = waitUntil(condition, deadlineMs, true);
    // A leave meant for a wait outside any sequence ends with that wait.
    if (--m_answerWaiters == 0 && !m_sequenceRunning)
        m_cancelling = false;
    return r;
}

WaitResult DeviceLink::waitUntil(const std::function<bool()> &condition, int deadlineMs,
                                 bool leavable)
{
    const qint64 deadline = static_cast<qint64>(Pacing::scaled(deadlineMs));
    QElapsedTimer clock;
    clock.start();
    // Without a wake-up at the deadline the loop would sleep until some
    // unrelated event arrives.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    const int losses = m_losses;
    for (;;) {
        if (const WaitResult r = interrupted(losses, leavable); !r)
            return r;
        if (condition())
            return WaitResult::Done;
        const qint64 left = deadline - clock.elapsed();
        if (left <= 0)
            return WaitResult::Deadline;
        if (!wake.isActive())
            wake.start(static_cast<int>(std::max<qint64>(1, left)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

WaitResult DeviceLink::dtimer(double seconds)
{
    const int ms = static_cast<int>(seconds * 1000.0);
    const WaitResult r = waitFor([] { return false; }, ms);
    return r == WaitResult::Deadline ? WaitResult::Done : r;
}

WaitResult DeviceLink::brk()
{
    sendCommand(commands::kStop);
    if (const WaitResult r = hold(); !r)
        return r;
    return pumpOnce();
}

WaitResult DeviceLink::pumpOnce()
{
    const int losses = m_losses;
    QCoreApplication::processEvents();
    return interrupted(losses);
}

void DeviceLink::wake()
{
    // Wake any wait that sleeps in the event loop so it sees the flag.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

void DeviceLink::endProgram()
{
    m_ending = true;
    wake();
}

void DeviceLink::cancelSequence()
{
    if (!m_sequenceRunning && m_answerWaiters == 0)
        return;
    m_cancelling = true;
    wake();
}

DeviceLink::Sequence::Sequence(DeviceLink &link, QString what, std::function<void()> retry)
    : m_link(link)
{
    if (!link.m_sequenceRunning && !link.m_ending && link.m_announcing == 0) {
        m_owner = true;
        link.m_sequenceRunning = true;
        link.m_holder = std::move(what);
        return;
    }
    if (link.m_ending || what.isEmpty())
        return;
    if (!link.m_sequenceRunning) {
        // Only a word is being said. Later clicks during the same word find
        // the first one waiting and are refused.
        if (retry && !link.m_retry) {
            link.m_retry = std::move(retry);
            return;
        }
        emit link.sequenceRefused(QStringLiteral("a word being said"));
        return;
    }
    emit link.sequenceRefused(link.m_holder);
}

DeviceLink::Sequence::~Sequence()
{
    if (!m_owner)
        return;
    m_link.m_sequenceRunning = false;
    m_link.m_cancelling = false;
    m_link.freeWire();
}

DeviceLink::Announcement::Announcement(DeviceLink &link) : m_link(link)
{
    ++link.m_announcing;
}

DeviceLink::Announcement::~Announcement()
{
    if (--m_link.m_announcing == 0 && !m_link.m_sequenceRunning)
        m_link.freeWire();
}

void DeviceLink::freeWire()
{
    if (std::function<void()> retry = std::exchange(m_retry, {})) {
        // From the event loop: the announcement's receive tick ends first.
        QTimer::singleShot(0, this, std::move(retry));
    }
    emit wireFreed();
}

} // namespace kz
