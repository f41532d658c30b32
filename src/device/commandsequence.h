// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace kz {

// How a wait on the device ended. Every wait says so, and every caller acts
// on it: a wait that did not end as planned means the sequence stops.
class [[nodiscard]] WaitResult {
public:
    enum Outcome {
        Done, // the time passed, or the condition held
        Deadline, // the condition did not hold before the deadline
        Cancelled, // the user left the running sequence
        Ending, // the program is ending
        Lost, // the device went away while the wait ran
        Stopped, // a stop-if step found its condition true
        Ended, // something that ends this sequence arrived (a page change)
    };
    constexpr WaitResult(Outcome outcome) : m_outcome(outcome) { }
    constexpr Outcome outcome() const { return m_outcome; }
    // True when the wait ended as planned and the sequence may go on.
    constexpr explicit operator bool() const { return m_outcome == Done; }
    constexpr bool operator==(Outcome other) const { return m_outcome == other; }

private:
    Outcome m_outcome;
};

// What a sequence is to the others: the table in sequencepolicy.h decides
// from it what a click or a page change does while the sequence runs.
enum class SequenceKind {
    Click, // a button's lines
    PageChange, // a tab's stops
    EndsOnPageChange, // the PK Start and the auto tune: leaving their page ends them
    Announcement, // a word said from the receive loop
    Own, // the program's own lines (what a PK Start left undone)
};

// A list of steps that the link runs from the event loop, one sequence at a
// time: nothing waits inside a handler. Built once, then handed to
// DeviceLink::run.
class CommandSequence {
public:
    struct Step {
        enum class Kind { Send, Hold, Hold1, Dtimer, WaitAnswer, StopIf, Do, Expand };
        Kind kind;
        QString line; // Send
        int ms = 0; // Dtimer, WaitAnswer's deadline (design time)
        std::function<bool()> test; // WaitAnswer, StopIf
        std::function<void()> action; // Do
        std::function<void(CommandSequence &)> build; // Expand
    };

    // `name` says what runs in "Busy: ... is running"; a sequence without a
    // name is refused silently.
    explicit CommandSequence(SequenceKind kind, QString name = {});

    // Writes the line and its carriage return.
    CommandSequence &send(const QString &line);
    // `count` ticks of Timer3 (250 ms each).
    CommandSequence &hold(int count = 1);
    // One tick of Timer4.
    CommandSequence &hold1();
    // The given number of seconds.
    CommandSequence &dtimer(double seconds);
    // Goes on once the condition holds; ends the sequence as Deadline when it
    // has not held for `deadlineMs` of design time. The only step Escape ends.
    CommandSequence &waitForAnswer(std::function<bool()> condition, int deadlineMs);
    // Ends the sequence as Stopped when the condition holds.
    CommandSequence &stopIf(std::function<bool()> condition);
    // Runs the behaviour's own code between two steps (a prompt, a title).
    CommandSequence &then(std::function<void()> action);
    // Steps made when their turn comes, from what stands then (a box's text,
    // the level chosen, the next block, what a probe read): `build` appends
    // them to the sequence it is given, and they run in this step's place.
    CommandSequence &expand(std::function<void(CommandSequence &)> build);
    // Called once when the sequence has ended, however it ended; the wire is
    // free by then.
    CommandSequence &onEnd(std::function<void(WaitResult)> done);

    SequenceKind kind() const { return m_kind; }
    const QString &name() const { return m_name; }
    const QList<Step> &steps() const { return m_steps; }
    const std::function<void(WaitResult)> &endHandler() const { return m_done; }

private:
    friend class DeviceLink;
    // Puts `steps` before the step at `next` and drops the steps before it,
    // which have run: a long sequence made step by step keeps only its rest.
    void replaceRun(qsizetype next, const QList<Step> &steps);

    SequenceKind m_kind;
    QString m_name;
    QList<Step> m_steps;
    std::function<void(WaitResult)> m_done;
};

} // namespace kz
