// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

// The arithmetic of the sensitivity values, the auto tune and the PK test,
// apart from the controls it ends up on.
namespace kz::tune {

enum class Level { Low, Mid, High };
enum class Row { Range, Offset, Repeat, Gain };

constexpr int kLevelCount = 3;
constexpr int kRowCount = 4;
constexpr int kSettingCount = kLevelCount * kRowCount;

// One of the twelve values; they are set, saved and restored level by
// level, each level RANGE, OFFSET, REPEAT, GAIN.
struct Setting {
    Level level;
    Row row;
    bool operator==(const Setting &) const = default;
};
constexpr Setting settingAt(int index)
{
    return {static_cast<Level>(index / kRowCount), static_cast<Row>(index % kRowCount)};
}
constexpr int indexOf(Setting s)
{
    return static_cast<int>(s.level) * kRowCount + static_cast<int>(s.row);
}

// What a row's scroll bar accepts.
struct ValueRange {
    int low;
    int high;
};
ValueRange rangeOf(Row row);
// The value as a bar of the row takes it; empty when the bar refuses it.
std::optional<int> acceptedValue(Row row, double value);
// The sample values Restore Defaults puts back.
int defaultValue(Setting s);

// ---- auto tune ----

constexpr int kPasses = 100;
constexpr int kReadingsPerPass = 3;
// The lowest level before the first pass that counts.
constexpr double kStartLowest = 1000;

// A reading as the information window shows it: the number before its
// closing end mark; 0 when there is none.
double readingOf(const QString &infoText);

enum class GaugeColour { Unchanged, Red, Yellow, Cyan };

// The levels seen over the passes.
class PassTally {
public:
    // Takes one pass level; the colour the gauge is left with by this pass.
    GaugeColour add(double level);
    double highest() const { return m_highest; }
    double lowest() const { return m_lowest; }
    double total() const { return m_total; }
    double average() const { return m_total / kPasses; }

private:
    double m_highest = 0;
    double m_lowest = kStartLowest;
    double m_total = 0;
};

// "Min = ... Max = ... Delta = ... Average =..." as the information window shows it.
QString summary(double lowest, double highest, double average);

struct TuneResult {
    // The highest level the values were computed from (reduced when far
    // above the average).
    double highest = 0;
    // Floored values in the order of `settingAt`; a bar refuses those
    // outside its range and keeps its value.
    std::array<double, kSettingCount> values {};
    // The window's gain once the run is over.
    qint16 gain = 0;
};

// The twelve values from the levels of a finished run. `gain` is the
// window's gain before the run; it stays when the highest level gives none.
TuneResult tuneSettings(double highest, double lowest, double average, qint16 gain);

// ---- PK test ----

constexpr int kCalibrationReadings = 10;
constexpr double kLineCentreTwips = 3840;

// The reading a text gives; none for a text without digits (the KZ's bare
// answer to a stop is not a reading).
std::optional<double> pkReading(const QString &text);

// The reading counter `av` and the running sum `avg`, later the reference
// level. Both are 0 until the first reading.
class PkCalibration {
public:
    qint16 av() const { return m_av; }
    qint16 avg() const { return m_avg; }
    bool isCalibrated() const { return m_av >= kCalibrationReadings; }
    void restart();
    // Adds a reading while calibrating; false once calibrated.
    bool take(double reading);

private:
    qint16 m_av = 0;
    qint16 m_avg = 0;
};

// Where the line's upper end stands for a reading: one twip per unit off the
// centre, right for readings above the reference.
double pkLineX(double reading, qint16 avg);

} // namespace kz::tune
