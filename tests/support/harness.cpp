// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.h"


namespace kz::test {

RecordingPort::RecordingPort(const PortLocator &locator)
    : m_port(new SystemSerialPort(locator, this))
{
    connect(m_port, &SerialPort::lost, this, &SerialPort::lost);
    m_clock.start();
}

bool RecordingPort::open(int portNumber)
{
    opens << portNumber;
    openTimes << m_clock.elapsed();
    return m_port->open(portNumber);
}

void RecordingPort::write(const QByteArray &data)
{
    written += data;
    m_port->write(data);
}

Harness::~Harness()
{
    // The window goes before the devices it talks to.
    closeWindow();
}

sim::SimulatedKz *Harness::addDevice(int portNumber)
{
    auto device = std::make_unique<sim::SimulatedKz>();
    QString error;
    if (!device->start(&error) || !device->linkAs(m_dir.path(), portNumber, &error))
        qFatal("cannot start a simulated KZ: %s", qPrintable(error));
    m_devices.push_back(std::move(device));
    return m_devices.back().get();
}

SerialPort *Harness::makePort()
{
    m_port = new RecordingPort(PortLocator::forFolder(m_dir.path()));
    return m_port;
}

bool Harness::showPage(const QString &caption)
{
    std::vector<sim::SimulatedKz::ProbeAnswers> answers;
    for (const auto &device : m_devices) {
        answers.push_back(device->probeAnswers());
        device->setProbeAnswers(sim::SimulatedKz::ProbeAnswers::None);
    }
    const bool settled = WindowHarnessBase::showPage(caption);
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        m_devices[i]->setProbeAnswers(answers[i]);
        m_devices[i]->clearReceived();
    }
    return settled;
}

} // namespace kz::test
