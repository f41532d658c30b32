// SPDX-License-Identifier: GPL-3.0-or-later
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
        if (!m_link.pumpOnce())
            break;
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

// One probe: a pause, the line, and a pause for the answer; then the token
// is looked for anywhere in all that came back.
bool PortSearch::answers(const QString &line, const QString &token)
{
    if (!m_link.dtimer(kProbeWait))
        return false;
    m_link.sendCommand(line);
    if (!m_link.pumpOnce() || !m_link.dtimer(kProbeWait) || !m_link.pumpOnce())
        return false;
    return m_link.readInput().contains(token);
}

bool PortSearch::answersStop(int p)
{
    if (m_running || !m_link.port()->open(p))
        return false;
    m_running = true;
    const bool answered = answers(commands::kStop, commands::kEndMark);
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
            refusals << port->errorText();
        return false;
    }
    if (answers(commands::kStop, commands::kEndMark))
        return true;
    if (!m_link.port()->isOpen() || !m_link.pumpOnce())
        return false;
    return answers(commands::kProbe, commands::kProbeAnswer);
}

} // namespace kz
