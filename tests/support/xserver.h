// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>

namespace kz::test {

// A throw-away X server (Xvfb) for running programs on a real display. Xvfb
// picks a free display number itself and tells it; the server ends with the
// object. Header-only, as the benchmark uses it too.
class XServer {
public:
    XServer() = default;
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    Q_DISABLE_COPY_MOVE(XServer)

    // False when Xvfb is missing or did not come up within the deadline.
    bool start(int deadlineMs = 10000)
    {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24")});
        QByteArray number;
        const QDeadlineTimer deadline(deadlineMs);
        while (!number.contains('\n') && m_server.waitForReadyRead(deadline.remainingTime()))
            number += m_server.readAllStandardOutput();
        if (!number.contains('\n'))
            return false;
        m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        return true;
    }

    QString display() const { return m_display; }

    // The environment of this process, with Qt sent to this display.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), m_display);
        return env;
    }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace kz::test
