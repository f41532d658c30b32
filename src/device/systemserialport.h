// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/portlocator.h"
#include "device/serialport.h"

class QSerialPort;
class QTimer;

namespace kz {

// The real serial port, through QSerialPort, at 19200 bit/s 8N1.
class SystemSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit SystemSerialPort(PortLocator locator, QObject *parent = nullptr);
    ~SystemSerialPort() override;

    bool open(int portNumber) override;
    void close() override;
    bool isOpen() const override;
    int portNumber() const override { return m_portNumber; }
    void write(const QByteArray &data) override;
    QByteArray readAll() override;
    QString errorText() const override { return m_errorText; }
    bool lastOpenRefused() const override { return m_refused; }

    const PortLocator &locator() const { return m_locator; }

private:
    void onError(int error);
    void checkHangUp();
    void gone(const QString &detail, const QString &reason);

    PortLocator m_locator;
    QSerialPort *m_port;
    // While open: looks for a terminal that has hung up.
    QTimer *m_hangUpWatch;
    int m_portNumber = 0;
    QString m_errorText;
    bool m_refused = false;
};

} // namespace kz
