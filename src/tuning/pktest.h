#pragma once

#include <QObject>
#include <QString>

#include <optional>

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
// while a Start runs only marks the stop (cancelling the Start's sends if it
// is sending), and the Start, once it has let go, sends the stop lines. A
// silent KZ or Escape end a Start the same way; leaving the page ends it
// without lines, since the tab change has stopped the KZ.
class PkTest : public QObject {
    Q_OBJECT
public:
    // Design time the calibration may wait for readings after the prompts.
    static constexpr int kCalibrationWaitMs = 5000;
    static const QString kIdlePrompt;
    static const QString kNoReadings;

    PkTest(const PkPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
           QObject *parent = nullptr);

    bool isStarting() const { return m_starting; }

signals:
    // A reading the KZ sent while the PK page was shown.
    void readingTaken(double reading);
    // That reading moved the line: its upper end's offset from the centre.
    void lineMoved(double offsetTwips);

private:
    enum class Ended { Calibrated, Stopped, PageLeft, Silent, Ending };

    void clicked();
    void start();
    void done();
    WaitResult sendStart();
    Ended awaitCalibration();
    Ended endedBy(WaitResult r) const;
    WaitResult sendStop();
    // The line's new horizontal position once calibrated.
    std::optional<double> takeReading(double reading);
    void setPrompt(const QString &text);

    const PkPage &m_page;
    FormState &m_state;
    DeviceLink &m_link;
    bool m_starting = false;
    bool m_sending = false;
    bool m_stopAsked = false;
    // Set while the receive loop writes the reading box, so that its change
    // is not taken a second time.
    bool m_delivering = false;
};

} // namespace kz
