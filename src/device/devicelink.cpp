#include "device/devicelink.h"

#include "device/pacing.h"
#include "device/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace kz {

DeviceLink::DeviceLink(SerialPort *port, PacedTimer *timer3, PacedTimer *timer4, QObject *parent)
    : QObject(parent), m_port(port), m_timer3(timer3), m_timer4(timer4)
{
    // A pacing timer's tick does nothing but stop it: the wait sees it stopped.
    connect(m_timer3, &QTimer::timeout, m_timer3, &QTimer::stop);
    connect(m_timer4, &QTimer::timeout, m_timer4, &QTimer::stop);
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

bool DeviceLink::waitForTick(PacedTimer *timer)
{
    if (m_ending)
        return false;
    // Starting a running timer would restart it and lengthen the outer wait.
    timer->setEnabled(true);
    while (timer->isActive() && !m_ending)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timer->stop();
    return !m_ending;
}

bool DeviceLink::hold()
{
    return waitForTick(m_timer3);
}

bool DeviceLink::hold1()
{
    return waitForTick(m_timer4);
}

bool DeviceLink::dtimer(double seconds)
{
    if (m_ending)
        return false;
    const qint64 deadlineMs = static_cast<qint64>(Pacing::scaledSeconds(seconds) * 1000.0);
    QElapsedTimer clock;
    clock.start();
    // Without a wake-up at the deadline the loop would sleep until some
    // unrelated event arrives.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    wake.start(static_cast<int>(deadlineMs));
    while (clock.elapsed() < deadlineMs && !m_ending) {
        if (!wake.isActive())
            wake.start(static_cast<int>(std::max<qint64>(1, deadlineMs - clock.elapsed())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return !m_ending;
}

bool DeviceLink::brk()
{
    sendCommand(QStringLiteral("@ 2 2"));
    const bool ok = hold();
    pumpOnce();
    return ok;
}

void DeviceLink::pumpOnce()
{
    QCoreApplication::processEvents();
}

void DeviceLink::endProgram()
{
    m_ending = true;
    // Wake any wait that sleeps in the event loop so it sees the flag.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

} // namespace kz
