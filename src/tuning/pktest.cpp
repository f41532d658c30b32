// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/pktest.h"

#include "device/commands.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "tuning/tunemath.h"
#include "kit/formstate.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <tuple>

namespace kz {

const QString PkTest::kIdlePrompt
    = QStringLiteral("Press Start to begin , prompts will tell you what to do next");
const QString PkTest::kNoReadings
    = QStringLiteral("The KZ sent no readings. Press Start to try again");

namespace {
// Readings are at most three digits long.
constexpr int kReadingDigits = 3;
constexpr qint16 kPkMode = 20;
constexpr int kPromptPauses = 10;

const QString kStart = QStringLiteral("Start");
const QString kDone = QStringLiteral("Done");
const QString kStar = QStringLiteral("*");
const QString kHoldPrompt = QStringLiteral("Pick up the KZ or Put your hand over the KZ");
const QString kAdjustPrompt = QStringLiteral("Please wait while the KZ Adjusts");
const QString kMovePrompt = QStringLiteral("The Line will start to move right or left \r\n"
                                           " Try to keep in in the center by thought only");
const QString kDonePrompt = QStringLiteral(" When Your Done press the Done Button ");
} // namespace

PkTest::PkTest(const PkPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
               QObject *parent)
    : QObject(parent), m_page(page), m_formState(state), m_link(link)
{
    router.route(ReceiveRouter::Step::PkReading, m_page.pkframe, [this](QString &message) {
        const QString digits = digitsOnly(message).left(kReadingDigits);
        // Only what the KZ sends is a reading for the plot, not what is
        // typed into the box.
        if (const auto reading = tune::pkReading(digits))
            emit readingTaken(*reading);
        // A change of the box is taken as a reading below; repeated digits
        // leave the box as it was and count all the same.
        if (m_page.pktext->text() == digits)
            takeText(digits);
        else
            m_page.pktext->setText(digits);
        return ReceiveRouter::Next::Continue;
    });
    connect(m_page.pktext, &TextBox::changed, this, [this] { takeText(m_page.pktext->text()); });
    connect(m_page.Command5, &QPushButton::clicked, this, &PkTest::clicked);
    // What a Start left on the KZ, unless a later line undid it.
    connect(&m_link, &DeviceLink::commandSent, this, [this](const QString &line) {
        if (line == commands::kStop)
            m_streaming = false;
        else if (line == commands::kAmplifierOn || line == commands::kAmplifierOff)
            m_amplifierOff = false;
    });
    connect(&m_link, &DeviceLink::wireFreed, this, [this] {
        if (m_undoPending && m_state == State::Idle)
            QTimer::singleShot(0, this, [this] {
                if (m_undoPending && m_state == State::Idle)
                    undoStart();
            });
    });
}

void PkTest::clicked()
{
    if (m_page.Command5->text() == kDone)
        done();
    else
        start();
}

void PkTest::setPrompt(const QString &text)
{
    m_page.Text15->setText(text);
}

void PkTest::takeText(const QString &text)
{
    // The answer to a stop is a bare end mark: no reading at all, not 0.
    if (const auto reading = tune::pkReading(text))
        takeReading(*reading);
}

void PkTest::takeReading(double reading)
{
    if (m_calibration.take(reading)) {
        setPrompt(m_page.Text15->text() + kStar);
        return;
    }
    const double x = tune::pkLineX(reading, m_calibration.avg());
    const QPointF upper = m_page.Line1->from();
    m_page.Line1->setFrom(QPointF(x, upper.y()));
    emit lineMoved(x - tune::kLineCentreTwips);
}

PkTest::Ended PkTest::endedBy(WaitResult r) const
{
    if (r == WaitResult::Ending)
        return Ended::Ending;
    if (m_state == State::StopAsked || r == WaitResult::Cancelled)
        return Ended::Stopped;
    if (m_calibration.isCalibrated())
        return Ended::Calibrated;
    // A KZ that went away sends no readings either.
    if (r == WaitResult::Deadline || r == WaitResult::Lost)
        return Ended::Silent;
    return m_page.pkframe->isHidden() ? Ended::PageLeft : Ended::Calibrated;
}

bool PkTest::startGoesOn() const
{
    return m_state == State::Sending && !m_page.pkframe->isHidden();
}

WaitResult PkTest::pause(int holds)
{
    WaitResult r = WaitResult::Done;
    for (int i = 0; i < holds && r && startGoesOn(); ++i)
        r = m_link.hold();
    return r;
}

WaitResult PkTest::sendStart()
{
    // Done or a page change stop the lines where they stand; what went out
    // is undone when the Start ends.
    m_link.sendCommand(commands::kSpeakingFirst);
    WaitResult r = pause(1);
    if (r && startGoesOn()) {
        setPrompt(kHoldPrompt);
        r = pause(kPromptPauses);
    }
    if (r && startGoesOn()) {
        m_link.sendCommand(commands::kAmplifierOff);
        m_amplifierOff = true;
        r = pause(1);
    }
    if (r && startGoesOn()) {
        m_link.sendCommand(commands::kTouchMode);
        m_streaming = true;
        r = pause(1);
    }
    if (r && startGoesOn()) {
        setPrompt(kAdjustPrompt);
        r = pause(kPromptPauses);
    }
    return r;
}

bool PkTest::calibrationEnds() const
{
    return m_state == State::StopAsked || m_page.pkframe->isHidden()
        || m_calibration.isCalibrated();
}

PkTest::Ended PkTest::awaitCalibration()
{
    setPrompt(kMovePrompt);
    // The readings come through the receive loop, which needs no wire: Done,
    // a page change or Escape end this wait at once, and the KZ counts as
    // silent only after a whole wait without a new reading.
    WaitResult r = WaitResult::Done;
    while (r && !calibrationEnds()) {
        const qint16 taken = m_calibration.av();
        r = m_link.waitForAnswer(
            [this, taken] { return calibrationEnds() || m_calibration.av() != taken; },
            kCalibrationWaitMs);
    }
    return endedBy(r);
}

void PkTest::start()
{
    // A Start that is still running or ending takes no new one.
    if (m_state != State::Idle)
        return;
    WaitResult sent = WaitResult::Done;
    {
        DeviceLink::Sequence wire(m_link, QStringLiteral("the PK test"), [this] { start(); });
        if (!wire)
            return;
        m_state = State::Sending;
        m_page.Command5->setText(kDone);
        m_calibration.restart();
        m_formState.mode = kPkMode;
        sent = sendStart();
        if (startGoesOn())
            m_state = State::Calibrating;
    }
    endStart(sent && m_state == State::Calibrating ? awaitCalibration() : endedBy(sent));
}

void PkTest::endStart(Ended how)
{
    const auto idle = qScopeGuard([this] { m_state = State::Idle; });
    switch (how) {
    case Ended::Ending:
        return;
    case Ended::Calibrated:
        setPrompt(kDonePrompt);
        return;
    case Ended::Silent:
        setPrompt(kNoReadings);
        break;
    case Ended::PageLeft:
    case Ended::Stopped:
        setPrompt(kIdlePrompt);
        break;
    }
    // The KZ may be streaming readings already: stop it as Done would. The
    // page change that left the page has sent its lines by now; after it,
    // only what no line since has undone.
    m_state = State::Stopping;
    m_page.Command5->setText(kStart);
    m_stopPending = how != Ended::PageLeft;
    undoStart();
}

void PkTest::pageChanged()
{
    // Leaving the page after the calibration leaves the speaker off too.
    if (m_page.pkframe->isHidden() && m_state == State::Idle && m_amplifierOff)
        m_undoPending = true;
    if (m_undoPending && m_state == State::Idle)
        undoStart();
}

void PkTest::undoStart()
{
    // A later line of anyone's may have undone part of it already: the page
    // change's stops, Amp on/off.
    const bool stop = m_stopPending || m_streaming;
    if (!stop && !m_amplifierOff) {
        m_undoPending = m_stopPending = false;
        return;
    }
    DeviceLink::Sequence wire(m_link);
    if (!wire) {
        // Another sequence holds the wire: once it lets go (wireFreed).
        m_undoPending = true;
        return;
    }
    m_undoPending = m_stopPending = false;
    if (stop) {
        m_link.sendCommand(commands::kStop);
        if (!m_link.hold())
            return;
    }
    if (m_amplifierOff || stop) {
        m_link.sendCommand(commands::kAmplifierOn);
        std::ignore = m_link.hold(); // the last wait: nothing follows it
    }
}

void PkTest::done()
{
    // A running Start ends itself and sends the stop lines once it has let
    // go of the wire.
    switch (m_state) {
    case State::Idle: {
        DeviceLink::Sequence wire(m_link, QStringLiteral("the PK test"), [this] { done(); });
        if (!wire)
            return;
        m_page.Command5->setText(kStart);
        std::ignore = sendStop();
        return;
    }
    case State::Sending:
    case State::Calibrating:
        m_state = State::StopAsked;
        break;
    case State::StopAsked:
    case State::Stopping:
        break;
    }
    m_page.Command5->setText(kStart);
}

WaitResult PkTest::sendStop()
{
    m_link.sendCommand(commands::kStop);
    if (const WaitResult r = m_link.hold(); !r)
        return r;
    m_link.sendCommand(commands::kAmplifierOn);
    return m_link.hold();
}

} // namespace kz
