// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/commandsequence.h"

namespace kz {

// What may arrive while a sequence runs.
enum class Arrival {
    Click, // a button's sequence
    PageChange, // a tab's stops
    Own, // the program's own lines
    Escape, // the user leaves what runs
};

// What the arrival does to the running sequence.
enum class Verdict {
    RunAfter, // waits until the wire is free, behind what waits already
    Refuse, // sends nothing; the user is told what runs ("Busy: ... is running")
    EndRunning, // the running one ends at its next step, then the arrival runs
    EndWaitOnAnswer, // ends the running one only while it waits on an answer
};

struct PolicyRow {
    SequenceKind running;
    Arrival arriving;
    Verdict verdict;
};

// The whole rule, one row per pair. A click waits its turn only behind a
// sequence that is over in a moment; at most one click waits at a time, a
// further one is refused.
inline constexpr PolicyRow kSequencePolicy[] = {
    // running                       arriving              verdict
    {SequenceKind::Click,            Arrival::Click,       Verdict::Refuse},
    {SequenceKind::Click,            Arrival::PageChange,  Verdict::RunAfter},
    {SequenceKind::Click,            Arrival::Own,         Verdict::RunAfter},
    {SequenceKind::Click,            Arrival::Escape,      Verdict::EndWaitOnAnswer},

    {SequenceKind::PageChange,       Arrival::Click,       Verdict::RunAfter},
    {SequenceKind::PageChange,       Arrival::PageChange,  Verdict::RunAfter},
    {SequenceKind::PageChange,       Arrival::Own,         Verdict::RunAfter},
    {SequenceKind::PageChange,       Arrival::Escape,      Verdict::EndWaitOnAnswer},

    {SequenceKind::EndsOnPageChange, Arrival::Click,       Verdict::Refuse},
    {SequenceKind::EndsOnPageChange, Arrival::PageChange,  Verdict::EndRunning},
    {SequenceKind::EndsOnPageChange, Arrival::Own,         Verdict::RunAfter},
    {SequenceKind::EndsOnPageChange, Arrival::Escape,      Verdict::EndWaitOnAnswer},

    {SequenceKind::Announcement,     Arrival::Click,       Verdict::RunAfter},
    {SequenceKind::Announcement,     Arrival::PageChange,  Verdict::RunAfter},
    {SequenceKind::Announcement,     Arrival::Own,         Verdict::RunAfter},
    {SequenceKind::Announcement,     Arrival::Escape,      Verdict::EndWaitOnAnswer},

    {SequenceKind::Own,              Arrival::Click,       Verdict::RunAfter},
    {SequenceKind::Own,              Arrival::PageChange,  Verdict::RunAfter},
    {SequenceKind::Own,              Arrival::Own,         Verdict::RunAfter},
    {SequenceKind::Own,              Arrival::Escape,      Verdict::EndWaitOnAnswer},
};

// The verdict of the table for this pair.
Verdict verdictFor(SequenceKind running, Arrival arriving);

// What a sequence arriving with this kind counts as.
Arrival arrivalOf(SequenceKind kind);

} // namespace kz
