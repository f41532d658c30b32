// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/autotune.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "tuning/sensitivity.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace kz {

using namespace tune;

const QString AutoTune::kNoReading = QStringLiteral("Auto tune stopped: no reading from the KZ");
const QString AutoTune::kCancelled = QStringLiteral("Auto tune stopped: cancelled");
const QString AutoTune::kPageLeft = QStringLiteral("Auto tune stopped: the SET UP page was left");

namespace {
const QString kReadingRequests[kReadingsPerPass]
    = {commands::kReading1, commands::kReading2, commands::kReading3};
const QString kPassLead = QStringLiteral("Pass # ");
const QString kComplete = QStringLiteral("complete ");
// The needle's free end moves 4 twips per unit of level.
constexpr double kNeedleScale = 4;

QColor gaugeColour(GaugeColour colour)
{
    switch (colour) {
    case GaugeColour::Red:
        return QColor(255, 0, 0);
    case GaugeColour::Yellow:
        return QColor(255, 255, 0);
    case GaugeColour::Cyan:
    case GaugeColour::Unchanged:
        break;
    }
    return QColor(0, 255, 255);
}
} // namespace

AutoTune::AutoTune(const SetupPage &page, DeviceLink &link, Sensitivity &sensitivity,
                   QObject *parent)
    : QObject(parent), m_page(page), m_link(link), m_sensitivity(sensitivity)
{
    connect(page.Command14, &QPushButton::clicked, this, &AutoTune::run);
    connect(&link, &DeviceLink::leaveAsked, this, [this] { m_leaveAsked = true; });
}

void AutoTune::addReading(CommandSequence &s, int n)
{
    // Escape between two waits ends the run before it asks the KZ again: an
    // answer to a request nobody waits for would cover the stopped text.
    s.stopIf([this] { return m_leaveAsked; });
    s.then([this] { m_page.Text9->setText(QString()); });
    s.send(kReadingRequests[n]);
    // Once the page is left no answer can come: the run ends at once.
    s.waitForAnswer(
        [this] { return pageLeft() || m_page.Text9->text().contains(commands::kEndMark); },
        kReadingWaitMs);
    s.stopIf([this] { return pageLeft(); });
    s.then([this] { m_level += readingOf(m_page.Text9->text()); });
}

void AutoTune::showPass(int pass, double level, GaugeColour colour)
{
    const QPointF freeEnd = m_page.Line3->from();
    m_page.Line3->setFrom(QPointF(static_cast<float>(kNeedleScale * level), freeEnd.y()));
    if (colour != GaugeColour::Unchanged)
        setBackground(m_page.Picture3, gaugeColour(colour));
}

void AutoTune::showStopped(const QString &why)
{
    m_page.Text9->setText(why);
}

bool AutoTune::pageLeft() const
{
    return m_page.Controlframe->isHidden();
}

void AutoTune::stopped(WaitResult r)
{
    if (r == WaitResult::Ending)
        return;
    if (pageLeft()) {
        showStopped(kPageLeft);
        return;
    }
    const bool silent = r == WaitResult::Deadline || r == WaitResult::Lost;
    showStopped(silent ? kNoReading : kCancelled);
}

void AutoTune::addPass(CommandSequence &s, int pass)
{
    s.then([this] { m_level = 0; });
    for (int n = 0; n < kReadingsPerPass; ++n)
        addReading(s, n);
    s.then([this, pass] {
        emit passMeasured(pass, m_level);
        showPass(pass, m_level, m_tally.add(m_level));
        m_page.Label9->setText(kPassLead + signedField(pass));
    });
}

void AutoTune::run()
{
    // A second click during a run, or a click during another sequence, is
    // refused; leaving the page ends the run.
    CommandSequence s(SequenceKind::EndsOnPageChange, QStringLiteral("auto tune"));
    s.then([this] {
        m_tally = PassTally();
        m_leaveAsked = false;
    });
    for (int pass = 1; pass <= kPasses; ++pass)
        addPass(s, pass);
    s.onEnd([this](WaitResult r) {
        // Nothing is set and nothing saved from a run cut short.
        if (r)
            finish(m_tally);
        else
            stopped(r);
    });
    m_link.run(std::move(s));
}

void AutoTune::finish(const PassTally &tally)
{
    const double average = tally.average();
    m_page.Label9->setText(kComplete);
    m_page.Text9->setText(QString());
    m_page.Text9->setText(summary(tally.lowest(), tally.highest(), average));

    const TuneResult result
        = tuneSettings(tally.highest(), tally.lowest(), average, m_sensitivity.gain());
    const auto range = [&result](Level level) {
        return result.values[std::size_t(indexOf({level, Row::Range}))];
    };
    emit tuned(range(Level::Low), range(Level::Mid), range(Level::High));
    m_sensitivity.applyTune(result);

    // The save runs to its end once begun: a page change waits for it, so
    // that the KZ is never left with only some of the sets.
    CommandSequence save(SequenceKind::Click, QStringLiteral("auto tune"));
    m_sensitivity.addSettings(save);
    const double lowest = tally.lowest();
    save.onEnd([this, lowest, highest = result.highest, average](WaitResult r) {
        if (!r)
            return;
        m_page.Text9->setText(QString());
        m_page.Text9->setText(summary(lowest, highest, average));
    });
    m_link.runNext(std::move(save));
}

} // namespace kz
