#pragma once

#include <QObject>
#include <QString>

namespace kz {

class PacedTimer;
class SerialPort;

// The command protocol with the KZ: sending one command line, reading what
// has arrived, and the waits that pace every sequence of commands. Every wait
// keeps the window alive by handling its events while it waits.
//
// When the program is ending, every wait returns false at once and sends are
// dropped, so that no handler caught in a wait keeps the program alive.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    // timer3 paces `hold` (250 ms), timer4 paces `hold1` (125 ms, 15 ms once
    // the upload has shortened it).
    DeviceLink(SerialPort *port, PacedTimer *timer3, PacedTimer *timer4, QObject *parent = nullptr);

    SerialPort *port() const { return m_port; }

    // Writes the text and one carriage return. Dropped when no port is open.
    void sendCommand(const QString &text);
    // All text received since the last read, removed from the port.
    QString readInput();

    // One tick of Timer3. A hold that starts while another waits ends at the
    // same tick. False when the program is ending.
    bool hold();
    // One tick of Timer4.
    bool hold1();
    // Waits the given number of seconds.
    bool dtimer(double seconds);
    // Sends the stop "@ 2 2", holds, pumps events once.
    bool brk();
    // Handles the window's pending events once, without waiting.
    static void pumpOnce();

    // Makes every running and future wait return at once and drops sends.
    void endProgram();
    bool isEnding() const { return m_ending; }

signals:
    // Every command as it went out, without its carriage return.
    void commandSent(const QString &text);

private:
    bool waitForTick(PacedTimer *timer);

    SerialPort *m_port;
    PacedTimer *m_timer3;
    PacedTimer *m_timer4;
    bool m_ending = false;
};

} // namespace kz
