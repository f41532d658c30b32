// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/pacing.h"

#include <algorithm>
#include <cmath>

namespace kz {

namespace {
double g_timeScale = 1.0;
}

void Pacing::setTimeScale(double scale)
{
    g_timeScale = scale > 0 ? scale : 1.0;
}

double Pacing::timeScale()
{
    return g_timeScale;
}

int Pacing::scaled(int designMs)
{
    if (designMs <= 0)
        return 0;
    return std::max(1, static_cast<int>(std::lround(designMs * g_timeScale)));
}

double Pacing::scaledSeconds(double designSeconds)
{
    return designSeconds * g_timeScale;
}

PacedTimer::PacedTimer(const QString &name, int designIntervalMs, bool enabled, QObject *parent)
    : QTimer(parent), m_designInterval(designIntervalMs)
{
    setObjectName(name);
    // Coarse timers may fire up to 5% early on long intervals.
    setTimerType(Qt::PreciseTimer);
    setInterval(Pacing::scaled(designIntervalMs));
    if (enabled)
        start();
}

void PacedTimer::setDesignInterval(int ms)
{
    m_designInterval = ms;
    setInterval(Pacing::scaled(ms)); // QTimer restarts a running timer here
}

void PacedTimer::setEnabled(bool on)
{
    if (on && !isActive())
        start(Pacing::scaled(m_designInterval));
    else if (!on)
        stop();
}

} // namespace kz
