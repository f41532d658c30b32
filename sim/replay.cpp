// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay.h"

#include "device/commands.h"
#include "device/filewrite.h"
#include "device/tracingport.h"
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
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
// Lines matched after a lead-in before the trace's beginning is taken as
// found: a page change holds three lines.
constexpr int kTentativeLines = 3;
// A line without its carriage return is taken as one at this length.
constexpr qsizetype kMaxLine = 4096;
// Receive ticks, as the program's own pacing has them: a hold is a tick and
// a quarter; a word the receive loop announces takes three holds before its
// second line and ten after it; two ticks more cover a late last wait.
constexpr double kHoldTicks = 1.25;
constexpr double kSayBusyTicks = 13 * kHoldTicks + 2;
constexpr double kAfterSayBusyTicks = 10 * kHoldTicks + 2;
// Chunks the program read apart go out at least this far apart: a tick
// late by up to one more on a loaded machine still reads them apart.
constexpr double kGapTicks = 2;

QString shown(const QByteArray &line)
{
    return wiretrace::shownLine(line);
}

// The first character, from 1, at which two lines differ.
qsizetype differsAt(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i + 1;
}

QByteArray wire(const QString &command)
{
    return command.toLatin1() + '\r';
}

// The receive loop's own say-word lines: the bare lead, then "@ " and the
// digits of the word, " 0 ".
bool isAnnouncedSay(const QByteArray &line)
{
    static const QRegularExpression form(QStringLiteral("^@ \\d+ 0 \\r$"));
    return form.match(QString::fromLatin1(line)).hasMatch();
}

} // namespace

ReplayScript::ReplayScript(const wiretrace::Trace &trace, double speed)
    : m_speed(speed > 0 ? speed : 1.0), m_tickMs(trace.tickMs), m_endsOpen(!trace.closedMs),
      m_leadIn(trace.startedConnected)
{
    const QByteArray poll = wire(commands::kReading1);
    QByteArray partial;
    for (const wiretrace::Event &event : trace.sessionEvents()) {
        if (event.direction == Direction::Received) {
            m_messages.append({event.line, event.ms, event.bytes, m_items.size() - 1});
            continue;
        }
        // The program writes whole lines; a write that holds several is
        // taken line by line.
        partial += event.bytes;
        qsizetype end;
        while ((end = partial.indexOf('\r')) >= 0) {
            const QByteArray line = partial.left(end + 1);
            partial.remove(0, end + 1);
            const Step step {event.line, event.ms};
            if (line == poll && !m_items.isEmpty() && m_items.last().line == poll)
                m_items.last().steps.append(step);
            else
                m_items.append({line, line == poll, {step}});
            ++m_recorded;
        }
    }
    if (!partial.isEmpty()) {
        m_items.append({partial, false, {Step {trace.events.last().line, trace.events.last().ms}}});
        ++m_recorded;
    }
}

qint64 ReplayScript::replayMs(double recordedMs) const
{
    return std::llround(recordedMs / m_speed);
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

bool ReplayScript::atEnd() const
{
    // After a difference, any reading of it that reaches the end will do.
    const QList<Position> places = m_resume.isEmpty() ? QList<Position> {m_at} : m_resume;
    return !m_leadIn && std::any_of(places.cbegin(), places.cend(), [this](const Position &p) {
        return nextRequired(p) == m_items.size();
    });
}

bool ReplayScript::isComplete() const
{
    return atEnd() && m_nextMessage == m_messages.size();
}

ReplayScript::Outcome ReplayScript::take(const QByteArray &line, qint64 nowMs)
{
    ++m_programLines;
    // The search's stop is never the trace's first line, even when alike.
    if (m_leadIn && (m_programLines == 1 || m_items.isEmpty() || line != m_items.first().line))
        return leadIn(line);
    if (std::exchange(m_leadIn, false))
        m_tentative = 1;
    // After a difference, matching stays in place: the line the program
    // sent instead, or the one it changed, is passed over, and nothing else.
    const QList<Position> resume = std::exchange(m_resume, {});
    for (const Position &at : resume) {
        if (const auto next = advance(at, line))
            return matched(*next, line, nowMs);
    }
    if (!resume.isEmpty())
        m_at = resume.first();
    if (const auto next = advance(m_at, line))
        return matched(*next, line, nowMs);
    if (m_tentative > 0) {
        // The way to the trace's page held its first line too (a tab
        // change's stop): the trace begins later.
        m_leadIn = true;
        m_matched -= m_tentative - 1;
        m_tentative = 0;
        m_at = {};
        m_anchorNow.reset();
        m_lastDelivery.reset();
        m_nextMessage = 0;
        --m_programLines;
        return take(line, nowMs);
    }
    if (m_endsOpen && atEnd())
        return afterEnd(line);
    if (line == wire(commands::kReading1) && afterRun(m_at))
        return {true,
                QStringLiteral("ok   line %1 of the program: %2 (a poll the question's timer "
                               "sent while a word was announced)")
                    .arg(m_programLines)
                    .arg(shown(line)),
                {}};
    return difference(line);
}

bool ReplayScript::afterRun(Position at) const
{
    // The question's timer runs on through the two lines of a word said.
    qsizetype last = at.used > 0 ? at.item : at.item - 1;
    for (qsizetype i = last; i >= 0 && i >= last - 2; --i) {
        if (m_items.at(i).timed)
            return true;
    }
    return false;
}

ReplayScript::Outcome ReplayScript::leadIn(const QByteArray &line)
{
    Outcome outcome {true, {}, {}};
    const QByteArray text = line.chopped(line.endsWith('\r') ? 1 : 0);
    if (text == commands::kStop.toLatin1())
        outcome.answer = commands::kEndMark.toLatin1();
    else if (text == commands::kProbe.toLatin1())
        outcome.answer = commands::kProbeAnswer.toLatin1();
    outcome.report = QStringLiteral("     line %1 of the program: %2 (before the trace began: "
                                    "answered as the KZ does, not checked)")
                         .arg(m_programLines)
                         .arg(shown(line));
    return outcome;
}

ReplayScript::Outcome ReplayScript::afterEnd(const QByteArray &line)
{
    return {true,
            QStringLiteral("     line %1 of the program: %2 (after the end of the trace: not "
                           "checked)")
                .arg(m_programLines)
                .arg(shown(line)),
            {}};
}

ReplayScript::Outcome ReplayScript::matched(Position at, const QByteArray &line, qint64 nowMs)
{
    m_at = at;
    if (m_tentative > 0 && ++m_tentative > kTentativeLines)
        m_tentative = 0;
    const Item &item = m_items.at(at.item);
    const bool again = at.used > item.steps.size();
    const Step &step = item.steps.at(std::min<qsizetype>(at.used, item.steps.size()) - 1);
    if (!again)
        ++m_matched;
    // Polls after a run's first come as the program's timers have it: they
    // do not move the clock the messages keep.
    if (at.used == 1) {
        m_anchorNow = nowMs;
        m_anchorRecorded = step.ms;
        m_anchorItem = at.item;
    }
    if (line == wire(commands::kSayLead)) {
        m_busyUntil = nowMs + replayMs(kSayBusyTicks * m_tickMs);
        m_sentWhileBusy = false;
    } else if (nowMs < m_busyUntil && isAnnouncedSay(line)) {
        m_busyUntil = std::max(m_busyUntil, nowMs + replayMs(kAfterSayBusyTicks * m_tickMs));
    }
    QString report = QStringLiteral("ok   line %1 of the program = trace line %2: %3")
                         .arg(m_programLines)
                         .arg(step.traceLine)
                         .arg(shown(line));
    if (again)
        report += QStringLiteral(" (one more poll than the %1 recorded in a row: the messages "
                                 "go in their recorded order)")
                      .arg(item.steps.size());
    return {true, report, {}};
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
    // The next line tells: the recorded one still due (this line was
    // extra), the one after it (the recorded line was changed), or the
    // line after a later match of this one (lines were left out).
    m_resume = {m_at, Position {expected, 1}};
    const qsizetype last = std::min(m_items.size(), expected + kLookAhead);
    for (qsizetype later = expected + 1; later < last; ++later) {
        if (m_items.at(later).line == line) {
            m_resume.append(Position {later, 1});
            break;
        }
    }
    return outcome;
}

bool ReplayScript::released(const Chunk &chunk) const
{
    if (!m_anchorNow || m_leadIn)
        return false;
    return m_at.item > chunk.afterItem || (m_at.item == chunk.afterItem && m_at.used >= 1);
}

std::optional<qint64> ReplayScript::nextDue() const
{
    if (m_nextMessage == m_messages.size() || !released(m_messages.at(m_nextMessage)))
        return std::nullopt;
    const Chunk &chunk = m_messages.at(m_nextMessage);
    // The first chunk after a line the program sent once the last chunk had
    // gone answers that line: it goes at once, as the KZ answers, so that a
    // read the program makes after a fixed wait (the search's) finds it, and
    // it cannot meet the chunk before.
    const bool answer = m_anchorItem == chunk.afterItem
        && (!m_lastDelivery || *m_anchorNow > *m_lastDelivery);
    qint64 due = *m_anchorNow;
    if (!answer && chunk.ms > m_anchorRecorded) {
        // A trace holds when the program read a chunk, which is after the
        // KZ sent it: it goes a little sooner, at most half a tick.
        const double after = double(chunk.ms - m_anchorRecorded);
        due += replayMs(after - std::min(after / 4, m_tickMs / 2.0));
    }
    // Any other keeps its distance from the chunk before.
    if (m_lastDelivery && !answer)
        due = std::max(due, *m_lastDelivery + replayMs(kGapTicks * m_tickMs));
    if (m_sentWhileBusy)
        due = std::max(due, m_busyUntil);
    return due;
}

ReplayScript::Message ReplayScript::deliver(qint64 nowMs)
{
    const Chunk &chunk = m_messages.at(m_nextMessage++);
    m_lastDelivery = nowMs;
    m_sentWhileBusy = nowMs < m_busyUntil;
    return {chunk.traceLine, chunk.bytes};
}

QString ReplayScript::noteMissing()
{
    if (atEnd())
        return {};
    const qsizetype next = nextRequired(m_resume.isEmpty() ? m_at : m_resume.first());
    ++m_differences;
    const int traceLine = m_items.at(std::min(next, m_items.size() - 1)).steps.first().traceLine;
    if (!m_firstDifferenceLine)
        m_firstDifferenceLine = traceLine;
    return QStringLiteral("DIFFERENCE: the program did not send trace line %1, %2, nor any "
                          "recorded line after it")
        .arg(traceLine)
        .arg(shown(m_items.at(std::min(next, m_items.size() - 1)).line));
}

Replay::Replay(const wiretrace::Trace &trace, double speed, QObject *parent)
    : QObject(parent), m_script(trace, speed), m_speed(speed), m_tickMs(trace.tickMs),
      m_closedLine(trace.closedLine), m_lastLine(trace.lastLine), m_lastNote(trace.lastNote),
      m_terminal(new PseudoTerminal(this)), m_sendTimer(new QTimer(this)),
      m_closeTimer(new QTimer(this))
{
    if (trace.closedMs) {
        // From the last thing that crossed the wire to the port's closing.
        const QList<wiretrace::Event> events = trace.sessionEvents();
        const qint64 last = events.isEmpty() ? *trace.closedMs : events.last().ms;
        m_closeAfterMs = std::llround(std::max<qint64>(0, *trace.closedMs - last) / speed);
    }
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    connect(m_sendTimer, &QTimer::timeout, this, &Replay::sendDue);
    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &QTimer::timeout, this, &Replay::complete);
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
        takeLine(line);
    }
    // Whatever the program sends, the replay holds no more than a line of it.
    if (m_partial.size() >= kMaxLine)
        takeLine(std::exchange(m_partial, {}));
}

void Replay::takeLine(const QByteArray &line)
{
    const ReplayScript::Outcome outcome = m_script.take(line, m_clock.elapsed());
    emit report(outcome.report);
    if (!outcome.answer.isEmpty())
        m_terminal->write(outcome.answer);
    sendDue();
}

void Replay::sendDue()
{
    std::optional<qint64> due;
    while ((due = m_script.nextDue()) && *due <= m_clock.elapsed()) {
        const ReplayScript::Message message = m_script.deliver(m_clock.elapsed());
        m_terminal->write(message.bytes);
        emit report(QStringLiteral("     sent trace line %1: %2")
                        .arg(message.traceLine)
                        .arg(shown(message.bytes)));
    }
    if (due)
        m_sendTimer->start(int(std::min<qint64>(*due - m_clock.elapsed(), 1 << 30)));
    else
        m_sendTimer->stop();
    checkEnd();
}

void Replay::checkEnd()
{
    if (m_ended || !m_script.isComplete())
        return;
    m_ended = true;
    if (m_closeAfterMs) {
        // Time for the program to read the last messages, as it did then.
        const qint64 wait
            = std::max<qint64>(*m_closeAfterMs, std::llround(2 * kGapTicks * m_tickMs / m_speed));
        emit report(QStringLiteral("end of the trace: every recorded line has come and every "
                                   "message has gone; the port was closed there (trace line "
                                   "%1), and kz-sim closes it in %2 ms")
                        .arg(m_closedLine)
                        .arg(wait));
        m_closeTimer->start(int(std::min<qint64>(wait, 1 << 30)));
        return;
    }
    QString why;
    if (!m_lastNote.isEmpty())
        why = QStringLiteral(" (\"%1\")").arg(m_lastNote.left(80));
    emit report(QStringLiteral("end of the trace: every recorded line has come and every message "
                               "has gone; the recording ends at its line %1%2 with the port open, "
                               "so the KZ stays silent from here (end kz-sim with Ctrl+C)")
                    .arg(m_lastLine)
                    .arg(why));
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
          QStringLiteral("replaying %1, %2 lines the program sent and %3 messages it read "
                         "(%4); port %5 is %6")
              .arg(shownFile)
              .arg(script.recordedLines())
              .arg(script.recordedMessages())
              .arg(wiretrace::shownLine(trace->header.mid(2).toLatin1()))
              .arg(number)
              .arg(replay.slavePath()));
    QCoreApplication::exec();

    if (const QString missing = script.noteMissing(); !missing.isEmpty())
        print(stdout, missing);
    QString summary = QStringLiteral("replay ended: %1 of %2 recorded lines matched, %3 of %4 "
                                     "messages sent, %5 difference(s)")
                          .arg(script.matchedLines())
                          .arg(script.recordedLines())
                          .arg(script.deliveredMessages())
                          .arg(script.recordedMessages())
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
