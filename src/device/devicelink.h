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
// has arrived, and the waits that pace every sequence of commands. Every wait
// keeps the window alive by handling its events while it waits.
//
// When the program is ending, every wait returns at once and sends are
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
    // same tick.
    WaitResult hold();
    // `count` holds in a row; stops at the first that does not end as planned.
    WaitResult holds(int count);
    // One tick of Timer4.
    WaitResult hold1();
    // Waits the given number of seconds.
    WaitResult dtimer(double seconds);
    // Sends the stop "@ 2 2", holds, pumps events once.
    WaitResult brk();
    // Handles events until the condition holds (Done) or `deadlineMs` of
    // design time have passed (Deadline). Sleeps between events: costs no CPU.
    WaitResult waitFor(const std::function<bool()> &condition, int deadlineMs);
    // The same for a wait on the device's answer (a block's answer, a
    // reading): the only waits the user may leave, where they end as
    // Cancelled. Every other wait runs to its end, so that a transfer always
    // sends all of its lines.
    WaitResult waitForAnswer(const std::function<bool()> &condition, int deadlineMs);
    // Handles the window's pending events once, without waiting. Says, as a
    // wait does, whether the sequence may go on: a click or a loss handled
    // in it may have ended the sequence.
    WaitResult pumpOnce();

    // Makes every running and future wait return at once and drops sends.
    void endProgram();
    bool isEnding() const { return m_ending; }

    // A multi-line command sequence holds the wire while it runs, so that a
    // sequence started by a click during its waits cannot put lines between
    // its own. The second one is refused: the click sends nothing, and the
    // user is told what holds the wire (sequenceRefused).
    //
    // A word being announced on the COM page (an Announcement) refuses no
    // one: a sequence with a `retry` that it holds off runs that retry once
    // the word has been said, from the event loop, so that receive ticks
    // never nest.
    class Sequence {
    public:
        // `what` names the sequence for "Busy: ... is running"; a sequence
        // without a name is the program's own and refused silently.
        explicit Sequence(DeviceLink &link, QString what = QString(),
                          std::function<void()> retry = {});
        ~Sequence();
        Sequence(const Sequence &) = delete;
        Sequence &operator=(const Sequence &) = delete;
        // False when another sequence held the wire: send nothing.
        explicit operator bool() const { return m_owner; }

    private:
        DeviceLink &m_link;
        bool m_owner = false;
    };

    // A word announced from the receive loop, its lines paced by holds. The
    // question's polls and the tab change's lines go on around it as ever;
    // sequences clicked meanwhile wait for it.
    class Announcement {
    public:
        explicit Announcement(DeviceLink &link);
        ~Announcement();
        Announcement(const Announcement &) = delete;
        Announcement &operator=(const Announcement &) = delete;

    private:
        DeviceLink &m_link;
    };
    // A sequence holds the wire, the link's own or a handler's.
    bool isSequenceRunning() const { return m_sequenceRunning || m_running.has_value(); }

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
    // The wire is free again: the sequence that held it has ended.
    void wireFreed();
    // The port went away; the reason is in the user's words.
    void portLost(const QString &reason);
    // The user asked to leave what runs (Escape): a wait that holds no wire
    // (the PK calibration) ends on it.
    void leaveAsked();

private:
    WaitResult waitForTick(PacedTimer *timer);
    WaitResult interrupted(int losses, bool leavable = false) const;
    WaitResult waitUntil(const std::function<bool()> &condition, int deadlineMs, bool leavable);
    void freeWire();
    void wake();
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
    bool m_sequenceRunning = false;
    bool m_cancelling = false;
    // Waits on an answer in progress: Escape counts while one runs, even
    // outside a sequence (the PK calibration lets the wire go).
    int m_answerWaiters = 0;
    QString m_holder;
    int m_announcing = 0;
    // The first sequence held off by an announcement, run when it ends.
    std::function<void()> m_retry;
    // Losses of the port so far: a wait that sees the count change ends as
    // Lost, while waits started after the loss run as usual.
    int m_losses = 0;
    // Waits in progress on Timer3 and Timer4.
    int m_holdWaiters = 0;
    int m_hold1Waiters = 0;

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
