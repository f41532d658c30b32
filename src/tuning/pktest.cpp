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
    : QObject(parent), m_page(page), m_state(state), m_link(link)
{
    router.route(ReceiveRouter::Step::PkReading, m_page.pkframe, [this](QString &message) {
        const QString digits = digitsOnly(message).left(kReadingDigits);
        m_delivering = true;
        m_page.pktext->setText(digits);
        m_delivering = false;
        // The answer to a stop is a bare end mark: no reading at all, not 0.
        // Repeated digits leave the box as it was and count all the same.
        if (const auto reading = tune::pkReading(digits))
            takeReading(*reading);
        return ReceiveRouter::Next::Continue;
    });
    connect(m_page.pktext, &TextBox::changed, this, [this] {
        if (m_delivering)
            return;
        if (const auto reading = tune::pkReading(m_page.pktext->text()))
            takeReading(*reading);
    });
    connect(m_page.Command5, &QPushButton::clicked, this, &PkTest::clicked);
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

void PkTest::takeReading(double reading)
{
    tune::PkCalibration calibration {m_state.av, m_state.avg};
    if (calibration.take(reading)) {
        setPrompt(m_page.Text15->text() + kStar);
        return;
    }
    const QPointF upper = m_page.Line1->from();
    m_page.Line1->setFrom(QPointF(tune::pkLineX(reading, m_state.avg), upper.y()));
}

PkTest::Ended PkTest::endedBy(WaitResult r) const
{
    if (r == WaitResult::Ending)
        return Ended::Ending;
    if (m_stopAsked || r == WaitResult::Cancelled)
        return Ended::Stopped;
    if (tune::PkCalibration {m_state.av, m_state.avg}.isCalibrated())
        return Ended::Calibrated;
    // A KZ that went away sends no readings either.
    if (r == WaitResult::Deadline || r == WaitResult::Lost)
        return Ended::Silent;
    return m_page.pkframe->isHidden() ? Ended::PageLeft : Ended::Calibrated;
}

WaitResult PkTest::sendStart()
{
    m_link.sendCommand(commands::kSpeakingFirst);
    WaitResult r = m_link.hold();
    if (r) {
        setPrompt(kHoldPrompt);
        r = m_link.holds(kPromptPauses);
    }
    if (r) {
        m_link.sendCommand(commands::kAmplifierOff);
        r = m_link.hold();
    }
    if (r) {
        m_link.sendCommand(commands::kTouchMode);
        r = m_link.hold();
    }
    if (r) {
        setPrompt(kAdjustPrompt);
        r = m_link.holds(kPromptPauses);
    }
    return r;
}

PkTest::Ended PkTest::awaitCalibration()
{
    setPrompt(kMovePrompt);
    // The readings come through the receive loop, which needs no wire: Done,
    // a page change or a silent KZ end this wait, each at once.
    const WaitResult r = m_link.waitFor(
        [this] {
            return m_stopAsked || m_page.pkframe->isHidden()
                || tune::PkCalibration {m_state.av, m_state.avg}.isCalibrated();
        },
        kCalibrationWaitMs);
    return endedBy(r);
}

void PkTest::start()
{
    // A Start that is still ending takes no new one.
    if (m_starting)
        return;
    WaitResult sent = WaitResult::Done;
    {
        DeviceLink::Sequence wire(m_link);
        if (!wire)
            return;
        m_starting = true;
        m_stopAsked = false;
        m_page.Command5->setText(kDone);
        tune::PkCalibration {m_state.av, m_state.avg}.restart();
        m_state.mode = kPkMode;
        m_sending = true;
        sent = sendStart();
        m_sending = false;
    }
    const auto ended = qScopeGuard([this] { m_starting = false; });
    const Ended how = sent ? awaitCalibration() : endedBy(sent);

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
        // The tab change has stopped the KZ already; a stop of ours would
        // land after what the new page sent.
        setPrompt(kIdlePrompt);
        m_page.Command5->setText(kStart);
        return;
    case Ended::Stopped:
        setPrompt(kIdlePrompt);
        break;
    }
    // The KZ may be streaming readings already: stop it as Done would.
    m_page.Command5->setText(kStart);
    DeviceLink::Sequence wire(m_link);
    if (wire)
        (void)sendStop();
}

void PkTest::done()
{
    if (m_starting) {
        // The running Start ends itself and sends the stop lines once it has
        // let go of the wire.
        m_page.Command5->setText(kStart);
        m_stopAsked = true;
        if (m_sending)
            m_link.cancelSequence();
        return;
    }
    DeviceLink::Sequence wire(m_link);
    if (!wire)
        return;
    m_page.Command5->setText(kStart);
    (void)sendStop();
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
