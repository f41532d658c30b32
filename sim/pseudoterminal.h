// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;
class QTimer;

namespace kz::sim {

// The device's end of a pseudo-terminal: the program opens slavePath() (or
// a COMn link to it) as if it were a serial port. Whatever plays the device
// (the simulated KZ, a replayed trace) reads and writes here.
class PseudoTerminal : public QObject {
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    // Removes the links that still point here.
    ~PseudoTerminal() override;

    bool start(QString *error = nullptr);
    bool isRunning() const { return m_masterFd >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Creates folder/COM<portNumber> pointing at the slave; a link already
    // there is replaced, any other file is left alone and reported.
    bool linkAs(const QString &folder, int portNumber, QString *error = nullptr);
    QStringList links() const { return m_links; }

    // Hands the bytes to the program, as soon as the terminal takes them.
    void write(const QByteArray &bytes);

signals:
    // Bytes the program wrote, as they came.
    void received(const QByteArray &chunk);

private:
    void readMaster();
    void resumeReading();
    void flushOutput();
    void closeAll();

    int m_masterFd = -1;
    // Held open for the terminal's whole life so that the master never sees
    // a hang-up when the program closes its side.
    int m_slaveFd = -1;
    QString m_slavePath;
    QStringList m_links;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_resumeTimer = nullptr;
    QByteArray m_pendingOutput;
};

} // namespace kz::sim
