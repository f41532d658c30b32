// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/commandsequence.h"

#include <utility>

namespace kz {

CommandSequence::CommandSequence(SequenceKind kind, QString name)
    : m_kind(kind), m_name(std::move(name))
{
}

CommandSequence &CommandSequence::send(const QString &line)
{
    m_steps.append({Step::Kind::Send, line, 0, {}, {}});
    return *this;
}

CommandSequence &CommandSequence::hold(int count)
{
    for (int i = 0; i < count; ++i)
        m_steps.append({Step::Kind::Hold, {}, 0, {}, {}});
    return *this;
}

CommandSequence &CommandSequence::hold1()
{
    m_steps.append({Step::Kind::Hold1, {}, 0, {}, {}});
    return *this;
}

CommandSequence &CommandSequence::dtimer(double seconds)
{
    m_steps.append({Step::Kind::Dtimer, {}, static_cast<int>(seconds * 1000.0), {}, {}});
    return *this;
}

CommandSequence &CommandSequence::waitForAnswer(std::function<bool()> condition, int deadlineMs)
{
    m_steps.append({Step::Kind::WaitAnswer, {}, deadlineMs, std::move(condition), {}});
    return *this;
}

CommandSequence &CommandSequence::stopIf(std::function<bool()> condition)
{
    m_steps.append({Step::Kind::StopIf, {}, 0, std::move(condition), {}});
    return *this;
}

CommandSequence &CommandSequence::then(std::function<void()> action)
{
    m_steps.append({Step::Kind::Do, {}, 0, {}, std::move(action)});
    return *this;
}

CommandSequence &CommandSequence::expand(std::function<void(CommandSequence &)> build)
{
    m_steps.append({Step::Kind::Expand, {}, 0, {}, {}, std::move(build)});
    return *this;
}

void CommandSequence::replaceRun(qsizetype next, const QList<Step> &steps)
{
    QList<Step> rest = steps;
    rest.append(m_steps.mid(next));
    m_steps = std::move(rest);
}

CommandSequence &CommandSequence::onEnd(std::function<void(WaitResult)> done)
{
    m_done = std::move(done);
    return *this;
}

} // namespace kz
