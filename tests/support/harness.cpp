#include "harness.h"

#include "device/pacing.h"
#include "window/connection.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

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

Harness::Harness(double timeScale)
{
    Pacing::setTimeScale(timeScale);
}

Harness::~Harness()
{
    m_window.reset();
    m_devices.clear();
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

Form1 *Harness::createWindow()
{
    m_port = new RecordingPort(PortLocator::forFolder(m_dir.path()));
    m_window = std::make_unique<Form1>(m_port);
    m_window->show();
    return m_window.get();
}

bool Harness::connectWindow()
{
    return clickConnect(m_window ? *m_window : *createWindow());
}

} // namespace kz::test
