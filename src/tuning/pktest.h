// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tuning/tunemath.h"

#include <QObject>
#include <QString>

namespace kz {

class DeviceLink;
class ReceiveRouter;
class WaitResult;
struct FormState;
struct PkPage;

// The PK page: Start prompts the user, puts the KZ into streaming readings
// and takes the first ten as the reference level; from then on each reading
// leans the line off the centre by its difference to that level. Done, the
// same button relabelled, stops the KZ.
//
// Start holds the wire only while it sends. Its wait for the calibration
// readings lets the wire go, so that Done can end it at once: a Done clicked
// while a Start runs only marks the stop, and the Start, once its lines have
// stopped, sends the stop lines. A silent KZ or Escape end a Start the same
// way. Leaving the page ends it too; then only what the page change's own
// lines left undone is sent: the KZ is never left streaming or with its
// speaker off by a Start that ended without Done.
class PkTest : public QObject {
    Q_OBJECT
public:
    // Design time the calibration may wait for readings after the prompts.
    static constexpr int kCalibrationWaitMs = 5000;
    static const QString kIdlePrompt;
    static const QString kNoReadings;

    PkTest(const PkPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
           QObject *parent = nullptr);

    // The page shown has changed and the change has sent its lines.
    void pageChanged();

    // A Start is running or ending.
    bool isStarting() const { return m_state != State::Idle; }
    const tune::PkCalibration &calibration() const { return m_calibration; }

signals:
    // A reading the KZ sent while the PK page was shown.
    void readingTaken(double reading);
    // The line moved: its upper end's offset from the centre.
    void lineMoved(double offsetTwips);

private:
    // Where a Start stands. Idle whenever no Start is running: the Done of a
    // test that is tracking runs from Idle.
    enum class State {
        Idle,
        Sending, // Start holds the wire and sends its lines and prompts
        Calibrating, // Start has let the wire go and waits for the readings
        StopAsked, // Done during Sending or Calibrating: Start ends and stops the KZ
        Stopping, // Start has ended its wait and sends the stop lines
    };
    // How the wait of a Start ended; each has its own ending.
    enum class Ended { Calibrated, Stopped, PageLeft, Silent, Ending };

    void clicked();
    void start();
    void done();
    bool startGoesOn() const;
    WaitResult pause(int holds);
    WaitResult sendStart();
    bool calibrationEnds() const;
    Ended awaitCalibration();
    Ended endedBy(WaitResult r) const;
    void endStart(Ended how);
    // Stops the stream and turns the speaker on again after a Start that
    // ended without Done, as soon as the wire is free.
    void undoStart();
    WaitResult sendStop();
    void takeText(const QString &text);
    void takeReading(double reading);
    void setPrompt(const QString &text);

    const PkPage &m_page;
    FormState &m_formState;
    DeviceLink &m_link;
    State m_state = State::Idle;
    // What a Start has left on the KZ that no line since has undone.
    bool m_streaming = false;
    bool m_amplifierOff = false;
    // A stop and the speaker's line are owed as soon as the wire is free;
    // the stop even where nothing says the KZ streams (a Start stopped).
    bool m_undoPending = false;
    bool m_stopPending = false;
    tune::PkCalibration m_calibration;
};

} // namespace kz
