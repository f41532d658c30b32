// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/portsearch.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/serialport.h"

#include <memory>
#include <utility>

namespace kz {

namespace {
// Says what runs when a click finds the wire held by the search.
const QString kName = QStringLiteral("the search for the KZ");
} // namespace

PortSearch::PortSearch(DeviceLink &link, QObject *parent) : QObject(parent), m_link(link)
{
}

CommandSequence PortSearch::search() const
{
    return CommandSequence(SequenceKind::Own, kName);
}

void PortSearch::start()
{
    if (m_running || m_link.isEnding())
        return;
    m_running = true;
    m_result = {};
    CommandSequence steps = search();
    tryPort(steps, kFirstPort);
    steps.onEnd([this](WaitResult how) { ended(how == WaitResult::Lost); });
    m_link.run(std::move(steps));
}

void PortSearch::ended(bool lost)
{
    // The port went away under a probe: the search goes on with the next one.
    if (lost && !m_link.isEnding()) {
        CommandSequence steps = search();
        goOn(steps, m_port);
        steps.onEnd([this](WaitResult how) { ended(how == WaitResult::Lost); });
        m_link.run(std::move(steps));
        return;
    }
    m_running = false;
    const Result result = std::exchange(m_result, {});
    emit finished(result);
}

void PortSearch::tryPort(CommandSequence &steps, int p)
{
    steps.then([this, p] {
        m_port = p;
        emit trying(p);
    });
    steps.expand([this, p](CommandSequence &next) {
        SerialPort *port = m_link.port();
        if (port->open(p)) {
            probe(next, p);
            return;
        }
        if (port->lastOpenRefused())
            m_result.refusals << port->errorText();
        goOn(next, p);
    });
}

// Asks twice whether the KZ is there, each time looking for the token
// anywhere in all that came back.
void PortSearch::probe(CommandSequence &steps, int p)
{
    ask(steps, commands::kStop);
    steps.expand([this, p](CommandSequence &next) {
        if (m_link.readInput().contains(commands::kEndMark)) {
            m_result.port = p;
            return;
        }
        if (!m_link.port()->isOpen()) {
            goOn(next, p);
            return;
        }
        ask(next, commands::kProbe);
        next.expand([this, p](CommandSequence &last) {
            if (m_link.readInput().contains(commands::kProbeAnswer))
                m_result.port = p;
            else
                goOn(last, p);
        });
    });
}

void PortSearch::ask(CommandSequence &steps, const QString &line)
{
    steps.dtimer(kProbeWait).send(line).dtimer(kProbeWait);
}

// Closes port p, pauses, and tries the next one.
void PortSearch::goOn(CommandSequence &steps, int p)
{
    steps.then([this] { m_link.port()->close(); }).dtimer(kProbeWait);
    if (p < kLastPort)
        tryPort(steps, p + 1);
}

void PortSearch::probeStop(int p)
{
    if (m_running || m_link.isEnding())
        return;
    m_running = true;
    auto answered = std::make_shared<bool>(false);
    CommandSequence steps = search();
    steps.then([this, p] { m_link.port()->open(p); });
    steps.stopIf([this] { return !m_link.port()->isOpen(); });
    ask(steps, commands::kStop);
    steps.then([this, answered] { *answered = m_link.readInput().contains(commands::kEndMark); });
    steps.onEnd([this, answered](WaitResult) {
        if (!*answered)
            m_link.port()->close();
        m_running = false;
        emit stopProbed(*answered);
    });
    m_link.run(std::move(steps));
}

} // namespace kz
