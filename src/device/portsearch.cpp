#include "device/portsearch.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "device/serialport.h"

namespace kz {

PortSearch::PortSearch(DeviceLink &link, QObject *parent) : QObject(parent), m_link(link)
{
}

PortSearch::Result PortSearch::run()
{
    Result result;
    if (m_running)
        return result;
    m_running = true;
    for (int p = kFirstPort; p <= kLastPort && !m_link.isEnding(); ++p) {
        emit trying(p);
        DeviceLink::pumpOnce();
        if (probe(p, result.refusals)) {
            result.port = p;
            break;
        }
        m_link.port()->close();
        if (!m_link.dtimer(kProbeWait))
            break;
    }
    m_running = false;
    return result;
}

bool PortSearch::stopAnswered()
{
    if (!m_link.dtimer(kProbeWait))
        return false;
    m_link.sendCommand(commands::kStop);
    DeviceLink::pumpOnce();
    if (!m_link.dtimer(kProbeWait))
        return false;
    DeviceLink::pumpOnce();
    return m_link.readInput().contains(commands::kEndMark);
}

bool PortSearch::answersStop(int p)
{
    if (m_running || !m_link.port()->open(p))
        return false;
    m_running = true;
    const bool answered = stopAnswered();
    m_running = false;
    if (!answered)
        m_link.port()->close();
    return answered;
}

// Opens port p and asks twice whether the KZ is there; the port stays open
// when it answers.
bool PortSearch::probe(int p, QStringList &refusals)
{
    SerialPort *port = m_link.port();
    if (!port->open(p)) {
        if (port->lastOpenRefused())
            refusals << QStringLiteral("Port %1: %2").arg(p).arg(port->errorText());
        return false;
    }
    if (stopAnswered())
        return true;
    if (!m_link.port()->isOpen())
        return false;
    DeviceLink::pumpOnce();
    if (!m_link.dtimer(kProbeWait))
        return false;
    m_link.sendCommand(commands::kProbe);
    DeviceLink::pumpOnce();
    if (!m_link.dtimer(kProbeWait))
        return false;
    DeviceLink::pumpOnce();
    return m_link.readInput().contains(commands::kProbeAnswer);
}

} // namespace kz
