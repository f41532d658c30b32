// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/tunemath.h"

#include "device/format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kz::tune {

namespace {

constexpr std::array<int, kSettingCount> kDefaults = {
    225, 20, 30,  3, // Low
    300, 60, 75,  2, // Mid
    500, 90, 100, 1, // High
};

// Levels of 5 or less are taken for an idle KZ, not for a lowest level.
constexpr double kIdleLevel = 5;
constexpr double kGainScale = 1024;
constexpr double kMaxOffset = 255;
// A highest level above twice the average is taken for a spike and reduced.
constexpr double kSpikeFactor = 2;
constexpr double kSpikeReduction = 0.7;

// Far outside the display, yet a size the painter can still draw.
constexpr double kFarTwips = 1e6;

double capOffset(double offset)
{
    return offset > kMaxOffset ? kMaxOffset : offset;
}

qint16 saturated(double value)
{
    constexpr double lo = std::numeric_limits<qint16>::min();
    constexpr double hi = std::numeric_limits<qint16>::max();
    return static_cast<qint16>(std::nearbyint(std::clamp(value, lo, hi)));
}

} // namespace

ValueRange rangeOf(Row row)
{
    switch (row) {
    case Row::Range:
        return {20, 1024};
    case Row::Offset:
        return {1, 255};
    case Row::Repeat:
        return {5, 255};
    case Row::Gain:
        break;
    }
    return {1, 10};
}

std::optional<int> acceptedValue(Row row, double value)
{
    const ValueRange range = rangeOf(row);
    if (!std::isfinite(value) || value < range.low || value > range.high)
        return std::nullopt;
    return static_cast<int>(std::nearbyint(value));
}

int defaultValue(Setting s)
{
    return kDefaults[static_cast<std::size_t>(indexOf(s))];
}

double readingOf(const QString &infoText)
{
    return numericValue(infoText.left(infoText.size() - 1));
}

GaugeColour PassTally::add(double level)
{
    // Tested in this order, each with what the one before left.
    GaugeColour colour = GaugeColour::Unchanged;
    if (level > m_highest) {
        m_highest = level;
        colour = GaugeColour::Red;
    }
    if (level > kIdleLevel && level < m_lowest) {
        m_lowest = level;
        colour = GaugeColour::Yellow;
    }
    if (level < m_highest && level > m_lowest)
        colour = GaugeColour::Cyan;
    m_total += level;
    return colour;
}

QString summary(double lowest, double highest, double average)
{
    return QStringLiteral("Min = ") + signedField(lowest) + QStringLiteral(" Max = ")
        + signedField(highest) + QStringLiteral(" Delta = ") + signedField(highest - lowest)
        + QStringLiteral(" Average =") + signedField(average);
}

TuneResult tuneSettings(double highest, double lowest, double average, qint16 gain)
{
    TuneResult r;
    auto set = [&r](Level level, Row row, double value) {
        r.values[static_cast<std::size_t>(indexOf({level, row}))] = value;
    };

    if (highest != 0) {
        if (const auto g = toInt16(std::floor(kGainScale / highest)))
            gain = *g;
    }
    if (highest > kSpikeFactor * average)
        highest = kSpikeReduction * highest;
    r.highest = highest;
    const double spread = highest - lowest;

    set(Level::Low, Row::Range, std::floor(0.8 * highest));
    set(Level::Low, Row::Offset, capOffset(std::floor(spread / 3)));
    set(Level::Low, Row::Repeat, 20);
    gain = std::clamp<qint16>(gain, 1, 6);
    // The Low GAIN box stops at 4; the gain itself goes on into the Mid and
    // High values as computed, whatever the Low GAIN bar showed before.
    set(Level::Low, Row::Gain, std::min<qint16>(gain, 4));

    set(Level::Mid, Row::Range, std::floor(highest));
    set(Level::Mid, Row::Offset, capOffset(std::floor(spread / 2)));
    set(Level::Mid, Row::Repeat, 75);
    gain = std::max<qint16>(gain, 2);
    set(Level::Mid, Row::Gain, std::floor(gain / 2.0));

    set(Level::High, Row::Range, std::floor(highest + 40));
    set(Level::High, Row::Offset, capOffset(std::floor(spread)));
    gain = std::max<qint16>(gain, 3);
    set(Level::High, Row::Repeat, 100);
    set(Level::High, Row::Gain, std::floor(gain / 3.0));

    r.gain = gain;
    return r;
}

std::optional<double> pkReading(const QString &text)
{
    if (digitsOnly(text).isEmpty())
        return std::nullopt;
    return numericValue(text);
}

void PkCalibration::restart()
{
    m_av = 0;
    m_avg = 0;
}

bool PkCalibration::take(double reading)
{
    if (isCalibrated())
        return false;
    // Typed text can carry any number: the sum stops at the 16-bit limits.
    m_avg = saturated(m_avg + reading);
    ++m_av;
    if (isCalibrated())
        m_avg = saturated(m_avg / double(kCalibrationReadings));
    return true;
}

double pkLineX(double reading, qint16 avg)
{
    const double x = std::clamp(kLineCentreTwips + (reading - avg), -kFarTwips, kFarTwips);
    return static_cast<float>(x);
}

} // namespace kz::tune
