// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/pktest.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "tuning/tunemath.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QScopeGuard>

#include <utility>

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

PkTest::PkTest(const PkPage &page, DeviceLink &link, ReceiveRouter &router, QObject *parent)
    : QObject(parent), m_page(page), m_link(link)
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
    // The calibration ends when the KZ has been silent for a whole wait, or
    // went away, or the user leaves it.
    m_silence.setSingleShot(true);
    m_silence.setTimerType(Qt::PreciseTimer);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        if (m_state == State::Calibrating)
            endStart(Ended::Silent);
    });
    connect(&m_link, &DeviceLink::portLost, this, [this] {
        if (m_state == State::Calibrating)
            endStart(Ended::Silent);
    });
    connect(&m_link, &DeviceLink::leaveAsked, this, [this] {
        if (m_state == State::Calibrating)
            endStart(Ended::Stopped);
    });
}

void PkTest::clicked()
{
    if (m_doneOffered)
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
        if (m_state == State::Calibrating) {
            if (m_calibration.isCalibrated())
                endStart(Ended::Calibrated);
            else
                m_silence.start(Pacing::scaled(kCalibrationWaitMs));
        }
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
    if (m_page.pkframe->isHidden())
        return Ended::PageLeft;
    if (m_calibration.isCalibrated())
        return Ended::Calibrated;
    // A KZ that went away sends no readings either.
    if (r == WaitResult::Deadline || r == WaitResult::Lost)
        return Ended::Silent;
    return Ended::Calibrated;
}

bool PkTest::startGoesOn() const
{
    return m_state == State::Sending && !m_page.pkframe->isHidden();
}

CommandSequence PkTest::startLines()
{
    // Done or a page change stop the lines where they stand; what went out
    // is undone when the Start ends.
    const auto stopped = [this] { return !startGoesOn(); };
    const auto pauses = [&stopped](CommandSequence &s, int count) {
        for (int i = 0; i < count; ++i)
            s.stopIf(stopped).hold();
    };
    CommandSequence s(SequenceKind::EndsOnPageChange, QStringLiteral("the PK test"));
    s.then([this] {
        m_state = State::Sending;
        offerDone(true);
        m_calibration.restart();
        emit modeEntered(kPkMode);
    });
    s.send(commands::kSpeakingFirst);
    pauses(s, 1);
    s.stopIf(stopped).then([this] { setPrompt(kHoldPrompt); });
    pauses(s, kPromptPauses);
    // Noted after the line: its own echo in commandSent clears the note.
    s.stopIf(stopped).send(commands::kAmplifierOff).then([this] { m_amplifierOff = true; });
    pauses(s, 1);
    s.stopIf(stopped).send(commands::kTouchMode).then([this] { m_streaming = true; });
    pauses(s, 1);
    s.stopIf(stopped).then([this] { setPrompt(kAdjustPrompt); });
    pauses(s, kPromptPauses);
    s.stopIf(stopped).onEnd([this](WaitResult r) { sent(r); });
    return s;
}

void PkTest::start()
{
    // A Start that is still running or ending takes no new one.
    if (m_state != State::Idle)
        return;
    m_link.run(startLines());
}

void PkTest::sent(WaitResult r)
{
    if (!r || !startGoesOn()) {
        endStart(endedBy(r));
        return;
    }
    // The readings come through the receive loop, which needs no wire.
    m_state = State::Calibrating;
    setPrompt(kMovePrompt);
    // A KZ that streams at once may have given all ten during the prompts.
    if (m_calibration.isCalibrated())
        endStart(Ended::Calibrated);
    else
        m_silence.start(Pacing::scaled(kCalibrationWaitMs));
}

void PkTest::endStart(Ended how)
{
    m_silence.stop();
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
    offerDone(false);
    if (how == Ended::PageLeft) {
        // The page change's stops go out first; then only what they left.
        m_undoPending = true;
        return;
    }
    // The KZ may be streaming readings already: stop it as Done would.
    m_stopPending = true;
    undoStart();
}

void PkTest::pageChanged()
{
    if (m_page.pkframe->isHidden() && m_state == State::Calibrating)
        endStart(Ended::PageLeft);
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
    const bool stop = std::exchange(m_stopPending, false) || m_streaming;
    m_undoPending = false;
    if (!stop && !m_amplifierOff)
        return;
    CommandSequence undo(SequenceKind::Own, QStringLiteral("the PK test"));
    if (stop)
        undo.send(commands::kStop).hold();
    undo.send(commands::kAmplifierOn).hold();
    m_link.run(std::move(undo));
}

void PkTest::done()
{
    // A running Start ends itself and sends the stop lines once its lines
    // have stopped.
    switch (m_state) {
    case State::Idle: {
        CommandSequence stop(SequenceKind::Click, QStringLiteral("the PK test"));
        stop.then([this] { offerDone(false); })
            .send(commands::kStop)
            .hold()
            .send(commands::kAmplifierOn)
            .hold();
        m_link.run(std::move(stop));
        return;
    }
    case State::Sending:
        m_state = State::StopAsked;
        break;
    case State::Calibrating:
        endStart(Ended::Stopped);
        return;
    case State::StopAsked:
        break;
    }
    offerDone(false);
}

void PkTest::offerDone(bool offered)
{
    m_doneOffered = offered;
    m_page.Command5->setText(offered ? kDone : kStart);
}

} // namespace kz
