// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/pacing.h"
#include "device/serialport.h"
#include "device/systemserialport.h"
#include "simulatedkz.h"
#include "support.h"
#include "window/form1.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace kz::test {

// A real system port that notes every port number it was asked to open.
class RecordingPort : public SerialPort {
    Q_OBJECT
public:
    explicit RecordingPort(const PortLocator &locator);
    bool open(int portNumber) override;
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    int portNumber() const override { return m_port->portNumber(); }
    void write(const QByteArray &data) override;
    QByteArray readAll() override { return m_port->readAll(); }
    QString errorText() const override { return m_port->errorText(); }
    bool lastOpenRefused() const override { return m_port->lastOpenRefused(); }

    QList<int> opens;
    // When each open was tried, in ms since the port was made.
    QList<qint64> openTimes;
    QByteArray written;

private:
    SystemSerialPort *m_port;
    QElapsedTimer m_clock;
};

// The real window against simulated KZs on pseudo-terminals linked as COMn
// in a folder of its own.
class Harness : public WindowHarnessBase {
public:
    explicit Harness(double timeScale = 0.1) : WindowHarnessBase(timeScale) { }
    ~Harness() override;

    sim::SimulatedKz *addDevice(int portNumber);
    // Unplugs every simulated KZ.
    void removeDevices() { m_devices.clear(); }
    // The tab's stops go unanswered, so that no stray end mark follows the
    // settled page; what the KZs received meanwhile is forgotten.
    bool showPage(const QString &caption) override;

    QString portFolder() const { return m_dir.path(); }
    RecordingPort *port() const { return m_port; }

protected:
    SerialPort *makePort() override;

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<sim::SimulatedKz>> m_devices;
    RecordingPort *m_port = nullptr;
};

} // namespace kz::test
