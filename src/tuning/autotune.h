// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tuning/tunemath.h"

#include <QObject>

namespace kz {

class CommandSequence;
class DeviceLink;
class Sensitivity;
class WaitResult;
struct SetupPage;

// Measures the level the KZ reports over a hundred passes, derives the
// twelve sensitivity values from it and saves them to the KZ. The readings
// come back through the information window, which the receive loop feeds
// while the SET UP page is shown.
class AutoTune : public QObject {
    Q_OBJECT
public:
    // Design time a reading may take before the run gives up.
    static constexpr int kReadingWaitMs = 5000;
    static const QString kNoReading;
    static const QString kCancelled;
    static const QString kPageLeft;

    AutoTune(const SetupPage &page, DeviceLink &link, Sensitivity &sensitivity,
             QObject *parent = nullptr);

    void run();
    // The end of a run from its levels: summaries and the twelve values at
    // once, then Save Settings on the wire ahead of whatever waits for it.
    void finish(const tune::PassTally &tally);

signals:
    // The sum of a pass's three readings.
    void passMeasured(int pass, double level);
    // The RANGE each level was computed to (before the bars' limits).
    void tuned(double low, double mid, double high);

private:
    void addReading(CommandSequence &s, int n);
    // One pass: its three readings, then the gauge and the pass number.
    void addPass(CommandSequence &s, int pass);
    void showPass(int pass, double level, tune::GaugeColour colour);
    void showStopped(const QString &why);
    // Shows why a measuring run ended early; nothing when the program ends.
    void stopped(WaitResult r);
    // Readings reach Text9 only while the SET UP page is shown.
    bool pageLeft() const;

    const SetupPage &m_page;
    DeviceLink &m_link;
    Sensitivity &m_sensitivity;
    // The run's levels so far, and the sum of the pass being read.
    tune::PassTally m_tally;
    double m_level = 0;
    // Escape was pressed during the run.
    bool m_leaveAsked = false;
};

} // namespace kz
