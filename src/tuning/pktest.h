// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tuning/tunemath.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace kz {

class CommandSequence;
class DeviceLink;
class ReceiveRouter;
class WaitResult;
struct PkPage;

// The PK page: Start prompts the user, puts the KZ into streaming readings
// and takes the first ten as the reference level; from then on each reading
// leans the line off the centre by its difference to that level. Done, the
// same button relabelled, stops the KZ.
//
// Start's lines are one sequence the link runs; Done, or leaving the page,
// ends it at its next step. The calibration that follows holds no wire: Done,
// Escape, leaving the page or a silent KZ end it at once. However a Start
// ends without Done, what it left on the KZ (streaming, speaker off) is
// undone after the lines of the page change that ended it: the KZ is never
// left streaming or with its speaker off.
class PkTest : public QObject {
    Q_OBJECT
public:
    // Design time the calibration may wait for readings after the prompts.
    static constexpr int kCalibrationWaitMs = 5000;
    static const QString kIdlePrompt;
    static const QString kNoReadings;

    PkTest(const PkPage &page, DeviceLink &link, ReceiveRouter &router,
           QObject *parent = nullptr);

    // The page shown has changed and the change has sent its lines.
    void pageChanged();

    // A Start is running or ending.
    bool isStarting() const { return m_state != State::Idle; }
    const tune::PkCalibration &calibration() const { return m_calibration; }

signals:
    // A Start began: the KZ is in the PK test's mode.
    void modeEntered(qint16 mode);
    // A reading the KZ sent while the PK page was shown.
    void readingTaken(double reading);
    // The line moved: its upper end's offset from the centre.
    void lineMoved(double offsetTwips);

private:
    // Where a Start stands. Idle whenever no Start is running: the Done of a
    // test that is tracking runs from Idle.
    enum class State {
        Idle,
        Sending, // the link runs Start's lines and prompts
        Calibrating, // Start's lines are out; the readings come in
        StopAsked, // Done while sending: Start ends at its next step
    };
    // How a Start ended; each has its own ending.
    enum class Ended { Calibrated, Stopped, PageLeft, Silent, Ending };

    void clicked();
    void start();
    void done();
    bool startGoesOn() const;
    CommandSequence startLines();
    void sent(WaitResult r);
    Ended endedBy(WaitResult r) const;
    void endStart(Ended how);
    // Stops the stream and turns the speaker on again after a Start that
    // ended without Done, after whatever holds the wire now.
    void undoStart();
    void takeText(const QString &text);
    void takeReading(double reading);
    void setPrompt(const QString &text);
    // The button offers Done (a Start ran; the KZ may be streaming) or Start.
    void offerDone(bool offered);

    const PkPage &m_page;
    DeviceLink &m_link;
    State m_state = State::Idle;
    // The button says Done: its click stops the test.
    bool m_doneOffered = false;
    // What a Start has left on the KZ that no line since has undone.
    bool m_streaming = false;
    bool m_amplifierOff = false;
    // Undone once the page change that left the page has sent its stops.
    bool m_undoPending = false;
    // A stop is owed even where nothing says the KZ streams (a Start stopped).
    bool m_stopPending = false;
    // A whole wait without a new reading while calibrating: the KZ is silent.
    QTimer m_silence;
    tune::PkCalibration m_calibration;
};

} // namespace kz
