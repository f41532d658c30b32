// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/wiretrace.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QTimer;

namespace kz::sim {

class PseudoTerminal;

// What a recorded trace expects the program to send, line by line, and the
// messages the device sent, to be played back in their recorded order.
//
// Lines: the question's poll goes out on every tick of its timer, so how
// often it comes in a row depends on timing: a run of polls matches a run
// of any length, even none, and a poll may come in the two lines after a
// run (while a word is announced the timer runs on). A trace begun while
// the program was connected has no search in it: until its first line
// comes, the probes are answered as the KZ answers them and nothing is
// checked.
//
// Messages: each chunk the program read goes out once, whole, in its
// recorded order, however many polls asked for it, so that the program
// takes the same messages as it took then. A chunk goes once the line it
// came after has come: at once when it is the first after a line sent
// once the chunk before had gone (it answers that line); else at its
// recorded distance from the last fixed line (a run's first poll counts as
// one), never closer to the chunk before than two receive ticks (two
// chunks one read apart would be read as one), and not while
// the receive loop announces a word after a chunk already went then: it
// reads nothing until the word's waits end.
//
// Times are in milliseconds of the replay's clock, given by the caller.
class ReplayScript {
public:
    struct Outcome {
        bool matched = false;
        QString report; // one line for the user
        QByteArray answer; // at once: the KZ's answer to a probe before the trace began
    };
    struct Message {
        int traceLine = 0;
        QByteArray bytes;
    };

    explicit ReplayScript(const wiretrace::Trace &trace, double speed = 1.0);

    // Takes the next line the program sent, with its carriage return.
    Outcome take(const QByteArray &line, qint64 nowMs);
    // When the next recorded message is due; empty while it waits for the
    // line it came after, or when every message has gone.
    std::optional<qint64> nextDue() const;
    // Hands out the next message; for when nextDue() has come.
    Message deliver(qint64 nowMs);
    // Every recorded line has come, but for polls left out, and every
    // message has gone.
    bool isComplete() const;
    // The lines not matched so far, for the end of a replay cut short;
    // counted as a difference when there are any.
    QString noteMissing();

    int recordedLines() const { return m_recorded; }
    int matchedLines() const { return m_matched; }
    qsizetype recordedMessages() const { return m_messages.size(); }
    qsizetype deliveredMessages() const { return m_nextMessage; }
    int differences() const { return m_differences; }
    int firstDifferenceLine() const { return m_firstDifferenceLine; }

private:
    struct Step {
        int traceLine = 0;
        qint64 ms = 0;
    };
    // One line as recorded, or a run of polls.
    struct Item {
        QByteArray line;
        bool timed = false;
        QList<Step> steps;
    };
    struct Position {
        qsizetype item = 0;
        int used = 0; // times the item has been matched; 0 when it has not begun
    };
    struct Chunk {
        int traceLine = 0;
        qint64 ms = 0;
        QByteArray bytes;
        qsizetype afterItem = -1; // the item of the line it came after
    };

    std::optional<Position> advance(Position at, const QByteArray &line) const;
    qsizetype nextRequired(Position at) const;
    bool atEnd() const;
    // Within two lines after a run of polls: a poll there is no difference.
    bool afterRun(Position at) const;
    Outcome leadIn(const QByteArray &line);
    Outcome matched(Position at, const QByteArray &line, qint64 nowMs);
    Outcome difference(const QByteArray &line);
    Outcome afterEnd(const QByteArray &line);
    bool released(const Chunk &chunk) const;
    qint64 replayMs(double recordedMs) const;

    QList<Item> m_items;
    QList<Chunk> m_messages;
    qsizetype m_nextMessage = 0;
    Position m_at;
    double m_speed;
    int m_tickMs;
    // The trace ends with the port open: lines after it are not checked.
    bool m_endsOpen;
    // A trace begun while connected holds no search: the program's lines
    // before its first one connect and reach the page it began on.
    bool m_leadIn = false;
    // Lines matched since the lead-in ended, while a line that does not
    // match can still mean that the trace begins later; 0 once found.
    int m_tentative = 0;
    // After a difference: where the next line may go on (the program's line
    // was extra, the recorded line was changed, recorded lines were left
    // out), in that order. The first is kept when none fits.
    QList<Position> m_resume;
    // The last fixed line matched, on both clocks; unset before the first.
    std::optional<qint64> m_anchorNow;
    qint64 m_anchorRecorded = 0;
    qsizetype m_anchorItem = -1;
    std::optional<qint64> m_lastDelivery;
    // The receive loop announces a word until then; a chunk went meanwhile.
    qint64 m_busyUntil = 0;
    bool m_sentWhileBusy = false;
    int m_programLines = 0;
    int m_recorded = 0;
    int m_matched = 0;
    int m_differences = 0;
    int m_firstDifferenceLine = 0;
};

// The device's side of a recorded trace, on a pseudo-terminal: each line the
// program sends is checked against the script, and the recorded messages go
// out when the script says. At the trace's end it says so; a trace that
// closed the port there ends the replay after the recorded time, closing
// the port; otherwise the device stays silent until kz-sim is ended.
class Replay : public QObject {
    Q_OBJECT
public:
    Replay(const wiretrace::Trace &trace, double speed, QObject *parent = nullptr);
    ~Replay() override;

    bool start(const QString &folder, int portNumber, QString *error);
    QString slavePath() const;
    ReplayScript &script() { return m_script; }

signals:
    void report(const QString &line);
    // The trace has been played to the port's closing.
    void complete();

private:
    void take(const QByteArray &chunk);
    void takeLine(const QByteArray &line);
    void sendDue();
    void checkEnd();

    ReplayScript m_script;
    double m_speed;
    int m_tickMs;
    std::optional<qint64> m_closeAfterMs; // from the end, when the trace closed the port
    int m_closedLine;
    int m_lastLine;
    QString m_lastNote;
    bool m_ended = false;
    PseudoTerminal *m_terminal;
    QTimer *m_sendTimer;
    QTimer *m_closeTimer;
    QElapsedTimer m_clock;
    QByteArray m_partial;
};

// The bytes of the trace file `name` (as the system gives it), read only
// when it is a regular file of at most `limit` bytes: a device, pipe, socket
// or folder is refused without being opened or read. A last line the file
// cuts off (a recording stopped by a full disk) is dropped, and `cut` says
// so. Empty, with the reason, when refused or when a quit signal came.
std::optional<QByteArray> readTraceFile(const QByteArray &name, qint64 limit, QString *why,
                                        QString *cut);
// Called from the signal handler on SIGINT and SIGTERM: a read under way
// stops.
void noteQuitSignal(int signal);

// kz-sim --replay: plays the trace to its end, or until kz-sim is told to
// quit. The exit status: 0 when everything
// matched, 1 on a difference, 2 when the trace or the options are refused.
int runReplay(const QByteArray &file, const QString &folder, std::optional<int> port,
              const QString &speed);

} // namespace kz::sim
