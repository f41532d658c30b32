// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay.h"

#include "device/commands.h"
#include "device/filewrite.h"
#include "device/tracingport.h"
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kz::sim {

using wiretrace::Direction;

namespace {

// How far ahead a line the program sent is looked for among the recorded
// ones, to tell recorded lines left out from a changed one.
constexpr qsizetype kLookAhead = 40;
// Once everything has come: time for the program to read the last answers
// and send the last polls of a run.
constexpr int kLingerMs = 1000;
// A trace holds when the program read an answer, which is after the KZ sent
// it; an answer sent exactly that late could miss the read it made.
constexpr qint64 kMaxLeadMs = 100;

qint64 sendDelay(qint64 readDelayMs)
{
    return readDelayMs - std::min(readDelayMs / 4, kMaxLeadMs);
}

QString shown(const QByteArray &line)
{
    return QString::fromLatin1(wiretrace::escape(line));
}

// The first character, from 1, at which two lines differ.
qsizetype differsAt(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i + 1;
}

} // namespace

ReplayScript::ReplayScript(const wiretrace::Trace &trace) : m_leadIn(trace.startedConnected)
{
    const QByteArray poll = commands::kReading1.toLatin1() + '\r';
    QList<Answer> early; // read before the program sent anything
    QByteArray partial;
    for (const wiretrace::Event &event : trace.sessionEvents()) {
        if (event.direction == Direction::Received) {
            if (m_items.isEmpty())
                early.append({0, event.bytes});
            else
                m_items.last().steps.last().answers.append(
                    {event.ms - m_items.last().steps.last().ms, event.bytes});
            continue;
        }
        // The program writes whole lines; a write that holds several is
        // taken line by line.
        partial += event.bytes;
        qsizetype end;
        while ((end = partial.indexOf('\r')) >= 0) {
            const QByteArray line = partial.left(end + 1);
            partial.remove(0, end + 1);
            const Step step {event.line, event.ms, {}};
            if (line == poll && !m_items.isEmpty() && m_items.last().line == poll)
                m_items.last().steps.append(step);
            else
                m_items.append({line, line == poll, {step}});
            ++m_recorded;
        }
    }
    if (!partial.isEmpty()) {
        m_items.append({partial, false, {Step {trace.events.last().line, 0, {}}}});
        ++m_recorded;
    }
    if (!m_items.isEmpty())
        m_items.first().steps.first().answers = early + m_items.first().steps.first().answers;
}

std::optional<ReplayScript::Position> ReplayScript::advance(Position at,
                                                            const QByteArray &line) const
{
    if (at.used > 0 && m_items.at(at.item).timed && m_items.at(at.item).line == line)
        return Position {at.item, at.used + 1};
    // A run of polls may be left out altogether; any other line may not.
    for (qsizetype next = at.used > 0 ? at.item + 1 : at.item; next < m_items.size(); ++next) {
        if (m_items.at(next).line == line)
            return Position {next, 1};
        if (!m_items.at(next).timed)
            break;
    }
    return std::nullopt;
}

qsizetype ReplayScript::nextRequired(Position at) const
{
    qsizetype next = at.used > 0 ? at.item + 1 : at.item;
    while (next < m_items.size() && m_items.at(next).timed)
        ++next;
    return next;
}

bool ReplayScript::isComplete() const
{
    return nextRequired(m_at) == m_items.size();
}

ReplayScript::Outcome ReplayScript::take(const QByteArray &line)
{
    ++m_programLines;
    // The search's stop is never the trace's first line, even when alike.
    if (m_leadIn && (m_programLines == 1 || m_items.isEmpty() || line != m_items.first().line))
        return leadIn(line);
    m_leadIn = false;
    const QList<Position> resume = std::exchange(m_resume, {});
    for (const Position &at : resume) {
        if (const auto next = advance(at, line))
            return matched(*next, line);
    }
    if (!resume.isEmpty())
        m_at = resume.first();
    if (const auto next = advance(m_at, line))
        return matched(*next, line);
    return difference(line);
}

ReplayScript::Outcome ReplayScript::leadIn(const QByteArray &line)
{
    Outcome outcome {true, {}, {}};
    const QByteArray text = line.chopped(line.endsWith('\r') ? 1 : 0);
    if (text == commands::kStop.toLatin1())
        outcome.answers.append({0, commands::kEndMark.toLatin1()});
    else if (text == commands::kProbe.toLatin1())
        outcome.answers.append({0, commands::kProbeAnswer.toLatin1()});
    outcome.report = QStringLiteral("     line %1 of the program: %2 (before the trace began: "
                                    "answered as the KZ does, not checked)")
                         .arg(m_programLines)
                         .arg(shown(line));
    return outcome;
}

ReplayScript::Outcome ReplayScript::matched(Position at, const QByteArray &line)
{
    m_at = at;
    const Item &item = m_items.at(at.item);
    const bool again = at.used > item.steps.size();
    const Step &step = item.steps.at(std::min<qsizetype>(at.used, item.steps.size()) - 1);
    if (!again)
        ++m_matched;
    QString report = QStringLiteral("ok   line %1 of the program = trace line %2: %3")
                         .arg(m_programLines)
                         .arg(step.traceLine)
                         .arg(shown(line));
    if (again)
        report
            += QStringLiteral(" (once more than the %1 recorded in a row)").arg(item.steps.size());
    return {true, step.answers, report};
}

ReplayScript::Outcome ReplayScript::difference(const QByteArray &line)
{
    ++m_differences;
    const qsizetype expected = nextRequired(m_at);
    Outcome outcome;
    if (expected == m_items.size()) {
        outcome.report = QStringLiteral("DIFFERENCE: line %1 of the program, %2, comes after the "
                                        "last line of the trace")
                             .arg(m_programLines)
                             .arg(shown(line));
        if (!m_firstDifferenceLine)
            m_firstDifferenceLine = -1;
        return outcome;
    }
    const Item &item = m_items.at(expected);
    const int traceLine = item.steps.first().traceLine;
    if (!m_firstDifferenceLine)
        m_firstDifferenceLine = traceLine;
    outcome.report = QStringLiteral("DIFFERENCE: line %1 of the program, %2, differs from trace "
                                    "line %3, %4, at character %5")
                         .arg(m_programLines)
                         .arg(shown(line))
                         .arg(traceLine)
                         .arg(shown(item.line))
                         .arg(differsAt(line, item.line));
    // Answered as the recorded line that was due, unless the line comes a
    // little later in the trace: then the lines between were left out.
    m_resume = {Position {expected, 1}, m_at};
    outcome.answers = item.steps.first().answers;
    const qsizetype last = std::min(m_items.size(), expected + kLookAhead);
    for (qsizetype later = expected + 1; later < last; ++later) {
        if (m_items.at(later).line == line) {
            m_resume.prepend(Position {later, 1});
            outcome.answers = m_items.at(later).steps.first().answers;
            break;
        }
    }
    m_at = m_resume.first();
    return outcome;
}

QString ReplayScript::noteMissing()
{
    const qsizetype next = nextRequired(m_at);
    if (next == m_items.size())
        return {};
    ++m_differences;
    const int traceLine = m_items.at(next).steps.first().traceLine;
    if (!m_firstDifferenceLine)
        m_firstDifferenceLine = traceLine;
    return QStringLiteral("DIFFERENCE: the program did not send trace line %1, %2, nor any "
                          "recorded line after it")
        .arg(traceLine)
        .arg(shown(m_items.at(next).line));
}

Replay::Replay(const wiretrace::Trace &trace, double speed, QObject *parent)
    : QObject(parent), m_script(trace), m_speed(speed), m_terminal(new PseudoTerminal(this)),
      m_answerTimer(new QTimer(this)), m_linger(new QTimer(this))
{
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setTimerType(Qt::PreciseTimer);
    connect(m_answerTimer, &QTimer::timeout, this, &Replay::sendDue);
    m_linger->setSingleShot(true);
    m_linger->setInterval(kLingerMs);
    connect(m_linger, &QTimer::timeout, this, &Replay::complete);
    connect(m_terminal, &PseudoTerminal::received, this, &Replay::take);
    m_clock.start();
}

Replay::~Replay() = default;

bool Replay::start(const QString &folder, int portNumber, QString *error)
{
    return m_terminal->start(error) && m_terminal->linkAs(folder, portNumber, error);
}

QString Replay::slavePath() const
{
    return m_terminal->slavePath();
}

void Replay::take(const QByteArray &chunk)
{
    m_partial += chunk;
    qsizetype end;
    while ((end = m_partial.indexOf('\r')) >= 0) {
        const QByteArray line = m_partial.left(end + 1);
        m_partial.remove(0, end + 1);
        // What was read before this line went out came before it.
        flushAnswers();
        m_linger->stop();
        const ReplayScript::Outcome outcome = m_script.take(line);
        emit report(outcome.report);
        for (const ReplayScript::Answer &answer : outcome.answers)
            m_due.append({m_clock.elapsed() + std::llround(sendDelay(answer.delayMs) / m_speed),
                          answer.bytes});
        sendDue();
    }
}

void Replay::sendDue()
{
    while (!m_due.isEmpty() && m_due.first().atMs <= m_clock.elapsed())
        m_terminal->write(m_due.takeFirst().bytes);
    if (!m_due.isEmpty())
        m_answerTimer->start(int(m_due.first().atMs - m_clock.elapsed()));
    checkComplete();
}

void Replay::flushAnswers()
{
    m_answerTimer->stop();
    for (const Due &due : std::as_const(m_due))
        m_terminal->write(due.bytes);
    m_due.clear();
}

void Replay::checkComplete()
{
    if (m_due.isEmpty() && m_script.isComplete() && !m_linger->isActive())
        m_linger->start();
}

int runReplay(const QByteArray &file, const QString &folder, std::optional<int> port,
              const QString &speedText)
{
    const QString shownFile = readableFileName(file);
    auto print = [](FILE *to, const QString &text) {
        std::fputs(text.toLocal8Bit().constData(), to);
        std::fputc('\n', to);
        std::fflush(to);
    };
    auto refuse = [&](const QString &why) {
        print(stderr, QStringLiteral("kz-sim: ") + why);
        return 2;
    };
    bool speedOk = true;
    const double speed = speedText.isEmpty() ? 1.0 : speedText.toDouble(&speedOk);
    if (!speedOk || !(speed > 0) || !std::isfinite(speed))
        return refuse(QStringLiteral("--speed needs a number above 0"));

    QString why;
    QString cut;
    const std::optional<QByteArray> data
        = readTraceFile(file, 2 * TraceWriter::kMaxBytes, &why, &cut);
    if (!data)
        return refuse(why);
    if (!cut.isEmpty())
        print(stdout, cut);
    wiretrace::ParseError error;
    const std::optional<wiretrace::Trace> trace = wiretrace::parse(*data, &error);
    if (!trace)
        return refuse(
            QStringLiteral("%1: line %2: %3").arg(shownFile).arg(error.line).arg(error.why));

    const int number = port.value_or(trace->port > 0 ? trace->port : 1);
    Replay replay(*trace, speed);
    QObject::connect(&replay, &Replay::report, [&](const QString &line) { print(stdout, line); });
    QObject::connect(&replay, &Replay::complete, qApp, &QCoreApplication::quit);
    if (!replay.start(folder, number, &why))
        return refuse(why);
    ReplayScript &script = replay.script();
    print(stdout,
          QStringLiteral("replaying %1, %2 lines the program sent (%3); port %4 is %5")
              .arg(shownFile)
              .arg(script.recordedLines())
              .arg(trace->header.mid(2))
              .arg(number)
              .arg(replay.slavePath()));
    QCoreApplication::exec();

    if (const QString missing = script.noteMissing(); !missing.isEmpty())
        print(stdout, missing);
    QString summary = QStringLiteral("replay ended: %1 of %2 recorded lines matched, %3 "
                                     "difference(s)")
                          .arg(script.matchedLines())
                          .arg(script.recordedLines())
                          .arg(script.differences());
    if (script.firstDifferenceLine() > 0)
        summary += QStringLiteral(", the first at trace line %1").arg(script.firstDifferenceLine());
    print(stdout, summary);
    return script.differences() == 0 ? 0 : 1;
}

namespace {
std::atomic<int> quitSignal {0};
static_assert(std::atomic<int>::is_always_lock_free);
} // namespace

void noteQuitSignal(int signal)
{
    quitSignal.store(signal);
}

std::optional<QByteArray> readTraceFile(const QByteArray &name, qint64 limit, QString *why,
                                        QString *cut)
{
    const QString shown = readableFileName(name);
    auto refuse = [&](const QString &reason) -> std::optional<QByteArray> {
        *why = reason;
        return std::nullopt;
    };
    if (name.isEmpty())
        return refuse(QStringLiteral("--replay needs the name of a trace file"));
    auto notRegular = [&](mode_t mode) {
        const char *kind = S_ISDIR(mode) ? "a folder"
            : S_ISFIFO(mode)             ? "a pipe"
            : S_ISSOCK(mode)             ? "a socket"
            : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                             : "not a regular file";
        return refuse(QStringLiteral("%1: not a wire trace: it is %2, not a file")
                          .arg(shown, QLatin1String(kind)));
    };
    auto tooLarge = [&](qint64 size) {
        return refuse(QStringLiteral("%1: line 1: not a wire trace: %2 bytes, and a trace stops "
                                     "at %3 MB")
                          .arg(shown)
                          .arg(size)
                          .arg(TraceWriter::kMaxBytes / 1000000));
    };
    // Looked at before it is opened: opening a pipe waits for a writer, and
    // opening a device may act on it.
    struct stat before { };
    if (::stat(name.constData(), &before) != 0)
        return refuse(QStringLiteral("%1: %2").arg(shown, systemErrorText(errno)));
    if (!S_ISREG(before.st_mode))
        return notRegular(before.st_mode);
    if (before.st_size > limit)
        return tooLarge(before.st_size);
    // Non-blocking and checked again: the name may meanwhile stand for
    // something else.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(QStringLiteral("%1: %2").arg(shown, systemErrorText(errno)));
    struct stat opened { };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return notRegular(opened.st_mode);
    }
    QByteArray data;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, n);
            if (data.size() > limit) {
                ::close(fd);
                return tooLarge(data.size());
            }
            continue;
        }
        if (n < 0 && errno == EINTR && quitSignal.load() == 0)
            continue;
        const int error = n < 0 ? errno : 0;
        ::close(fd);
        if (quitSignal.load() != 0)
            return refuse(QStringLiteral("%1: not read: %2")
                              .arg(shown, QString::fromLocal8Bit(::strsignal(quitSignal.load()))));
        if (error != 0)
            return refuse(QStringLiteral("%1: %2").arg(shown, systemErrorText(error)));
        break;
    }
    // A recording stopped in the middle of a line plays up to the line
    // before it.
    if (!data.isEmpty() && !data.endsWith('\n')) {
        const qsizetype lastEnd = data.lastIndexOf('\n');
        if (lastEnd >= 0) {
            const auto line = data.count('\n') + 1;
            data.truncate(lastEnd + 1);
            *cut = QStringLiteral("%1: line %2 is cut off: the recording stopped there; playing "
                                  "the lines before it")
                       .arg(shown)
                       .arg(line);
        }
    }
    return data;
}

} // namespace kz::sim
