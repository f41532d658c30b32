// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

namespace kz {

// The design interval of the receive loop's tick (Timer1).
inline constexpr int kReceiveTickMs = 200;

// The one switch through which tests run every wait and timer faster. The
// program itself never changes it and always runs at real time.
class Pacing {
public:
    static void setTimeScale(double scale);
    static double timeScale();
    // A design interval in milliseconds as the timers are to run it now.
    static int scaled(int designMs);
    static double scaledSeconds(double designSeconds);
};

// A window timer with a design interval in milliseconds and an enabled
// state. Enabling a timer that runs already leaves its tick where it is;
// changing the interval of a running timer starts the interval afresh.
class PacedTimer : public QTimer {
    Q_OBJECT
public:
    PacedTimer(const QString &name, int designIntervalMs, bool enabled, QObject *parent);

    int designInterval() const { return m_designInterval; }
    void setDesignInterval(int ms);
    void setEnabled(bool on);
    bool isEnabled() const { return isActive(); }

private:
    int m_designInterval;
};

} // namespace kz
