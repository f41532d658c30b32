// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/commandsequence.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

namespace kz {

class PacedTimer;
class SerialPort;

// The command protocol with the KZ: sending one command line, reading what
// has arrived, and running sequences of commands with their waits. A
// sequence runs from the event loop, one at a time, so nothing waits inside
// a handler and no two sequences put lines between each other's.
//
// When the program is ending, the running sequence ends, the queue is
// dropped, and so are sends.
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

    // Ends the running sequence, drops what waits and every later send.
    void endProgram();
    bool isEnding() const { return m_ending; }

    // A sequence holds the wire, or waits for it.
    bool isSequenceRunning() const { return m_running.has_value() || !m_queue.empty(); }

    // Runs the sequence from the event loop: at once when the wire is free,
    // else as the sequence policy says (after the running one, refused, or
    // ending the running one first). Returns before the first wait.
    void run(CommandSequence sequence);
    // Runs the sequence ahead of everything that waits for the wire: the
    // closing lines of one that has just ended, called from its end handler,
    // so that nothing queued meanwhile comes between the two.
    void runNext(CommandSequence sequence);
    // Looks again at the condition of a wait on an answer: new text came in.
    void recheck();
    // The user leaves the running sequence: its waits on the device's answer
    // end as Cancelled until it has ended. Nothing else is cut short.
    void cancelSequence();

signals:
    // Every command as it went out, without its carriage return.
    void commandSent(const QString &text);
    // A named sequence was refused because another held the wire; `holder`
    // names that one ("the word list upload").
    void sequenceRefused(const QString &holder);
    // The port went away; the reason is in the user's words.
    void portLost(const QString &reason);
    // The user asked to leave what runs (Escape): a wait that holds no wire
    // (the PK calibration) ends on it.
    void leaveAsked();

private:
    // The link's own sequences.
    bool wireFree() const;
    void startNext();
    void advance();
    void resumeLater();
    void finish(WaitResult result);
    void endRunning();
    // Names what holds the wire for "Busy: ... is running".
    QString holderName() const;

    SerialPort *m_port;
    PacedTimer *m_timer3;
    PacedTimer *m_timer4;
    bool m_ending = false;
    // Losses of the port so far: a sequence that sees the count change ends
    // as Lost, while sequences started after the loss run as usual.
    int m_losses = 0;

    // The sequence the link runs, and where it stands.
    struct Running {
        CommandSequence sequence;
        qsizetype next = 0;
        int losses = 0;
        bool endAsked = false;
        // The user left it: its next wait on an answer ends as Cancelled.
        bool cancelAsked = false;
    };
    enum class Waiting { Nothing, Timer3, Timer4, Time, Answer };
    std::optional<Running> m_running;
    Waiting m_waiting = Waiting::Nothing;
    // Counts the sequences started, so that a resume meant for one that has
    // ended does not step the next.
    quint64 m_runs = 0;
    std::function<bool()> m_answerTest;
    std::deque<CommandSequence> m_queue;
    // Waits of a dtimer step and deadlines of a wait on an answer.
    QTimer m_stepTimer;
};

} // namespace kz
