// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringView>

#include <optional>

namespace kz {

// One point of the readings plot: something the KZ measured, or an event
// that explains the readings around it, with the time it was taken.
struct Reading {
    enum class Source : quint8 {
        ComReading, // a reading of a group on the COM page
        ComWord, // the group's word number; `word` names the word when it was said
        TouchReading, // streamed on the KZ page (Touch Mode)
        PkReading,
        PkLine, // the line's offset from the centre, in twips
        TunePass, // auto tune: a pass's level
        TuneLow, // auto tune's results: the RANGE of each level
        TuneMid,
        TuneHigh,
        Question, // marks; `word` holds their text
        Answer,
        ModeStarted,
        UploadStarted,
        UploadEnded,
    };
    static constexpr int kSourceCount = 14;

    double seconds = 0; // since the connection, in design time
    double value = 0;
    Source source = Source::ComReading;
    QString word;

    static bool isMark(Source source) { return source >= Source::Question; }

    // The names the CSV file uses.
    static QString sourceName(Source source)
    {
        static const char *const names[kSourceCount] = {
            "COM reading",    "COM word number", "Touch Mode reading", "PK reading",     "PK line",
            "Auto tune pass", "Auto tune Low",   "Auto tune Mid",      "Auto tune High", "Question",
            "Answer",         "Mode started",    "Upload started",     "Upload ended"};
        return QString::fromLatin1(names[static_cast<int>(source)]);
    }
    static std::optional<Source> sourceNamed(QStringView name)
    {
        for (int i = 0; i < kSourceCount; ++i) {
            if (name == sourceName(static_cast<Source>(i)))
                return static_cast<Source>(i);
        }
        return std::nullopt;
    }
};

// What the readings window reads: every point taken since the start has a
// serial number, and the newest kMaxPoints of them are kept.
//
// The window lives in a plugin that links none of the program's code, so
// this interface is header-only and has no meta-object; the program's
// ReadingLog implements it.
class ReadingHistory {
public:
    static constexpr qsizetype kMaxPoints = 1'000'000;

    virtual ~ReadingHistory() = default;

    // At most this many points are kept (kMaxPoints unless a test says).
    virtual qsizetype maxPoints() const = 0;
    // Serial of the oldest point kept; as many were dropped before it.
    virtual quint64 first() const = 0;
    // One past the newest point's serial.
    virtual quint64 end() const = 0;
    // A kept point: first() <= serial < end().
    virtual Reading at(quint64 serial) const = 0;
    // Every kept point, one line each: seconds, source, value, word.
    virtual bool writeCsv(QIODevice &out) const = 0;
};

} // namespace kz
