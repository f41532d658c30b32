// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kz {

// What the program needs of a serial port: open a numbered port, close it,
// ask whether it is open, write text, read and remove all received text.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Sets the port number and opens the port at 19200 8N1. False when the
    // port does not exist, is in use or cannot be opened.
    virtual bool open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int portNumber() const = 0;
    virtual void write(const QByteArray &data) = 0;
    virtual QByteArray readAll() = 0;
    // Why the last open failed, or why the port was lost, for the user.
    virtual QString errorText() const = 0;
    // The last open failed on a port that exists (in use, or not permitted).
    virtual bool lastOpenRefused() const { return false; }

signals:
    // The open port has gone away (device unplugged, link broken); the port
    // has already been closed. The reason is one short clause in the user's
    // words ("the device was unplugged"); errorText() keeps the detail.
    void lost(const QString &reason);
    // Something the user should know that is no failure, one line for the
    // event window.
    void notice(const QString &text);
};

} // namespace kz
