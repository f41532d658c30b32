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

// What a recorded trace expects the program to send, line by line, and what
// the device answered each line with. The question's poll goes out on every
// tick of its timer, so how often it comes in a row depends on timing: a run
// of polls matches a run of any length, even none. A trace begun while the
// program was connected has no search in it: until its first line comes,
// the probes are answered as the KZ answers them and nothing is checked.
class ReplayScript {
public:
    struct Answer {
        qint64 delayMs = 0; // after the line it answers
        QByteArray bytes;
    };
    struct Outcome {
        bool matched = false;
        QList<Answer> answers;
        QString report; // one line for the user
    };

    explicit ReplayScript(const wiretrace::Trace &trace);

    // Takes the next line the program sent, with its carriage return.
    Outcome take(const QByteArray &line);
    // Every recorded line has come, but for polls left out.
    bool isComplete() const;
    // The lines not matched so far, for the end of a replay cut short;
    // counted as a difference when there are any.
    QString noteMissing();

    int recordedLines() const { return m_recorded; }
    int matchedLines() const { return m_matched; }
    int differences() const { return m_differences; }
    int firstDifferenceLine() const { return m_firstDifferenceLine; }

private:
    struct Step {
        int traceLine = 0;
        qint64 ms = 0;
        QList<Answer> answers;
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

    std::optional<Position> advance(Position at, const QByteArray &line) const;
    qsizetype nextRequired(Position at) const;
    Outcome leadIn(const QByteArray &line);
    Outcome matched(Position at, const QByteArray &line);
    Outcome difference(const QByteArray &line);

    QList<Item> m_items;
    Position m_at;
    // A trace begun while connected holds no search: the program's lines
    // before its first one connect and reach the page it began on.
    bool m_leadIn = false;
    // After a difference: where the next line may go on (recorded lines were
    // left out, the recorded line was changed, or the program's line was
    // extra), in that order. The first is taken when none fits.
    QList<Position> m_resume;
    int m_programLines = 0;
    int m_recorded = 0;
    int m_matched = 0;
    int m_differences = 0;
    int m_firstDifferenceLine = 0;
};

// The device's side of a recorded trace, on a pseudo-terminal: each line the
// program sends is checked against the script, and the recorded answers go
// back after their recorded delays (divided by the speed).
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
    // Every recorded line has come and every answer has gone out.
    void complete();

private:
    void take(const QByteArray &chunk);
    void sendDue();
    void flushAnswers();
    void checkComplete();

    struct Due {
        qint64 atMs;
        QByteArray bytes;
    };

    ReplayScript m_script;
    double m_speed;
    PseudoTerminal *m_terminal;
    QTimer *m_answerTimer;
    QTimer *m_linger;
    QElapsedTimer m_clock;
    QByteArray m_partial;
    QList<Due> m_due;
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

// kz-sim --replay: plays the trace until every recorded line has come, or
// until the program is told to quit. The exit status: 0 when everything
// matched, 1 on a difference, 2 when the trace or the options are refused.
int runReplay(const QByteArray &file, const QString &folder, std::optional<int> port,
              const QString &speed);

} // namespace kz::sim
