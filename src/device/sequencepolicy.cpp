// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/sequencepolicy.h"

namespace kz {

namespace {
// Every pair has its row: a new kind without its rows fails to build.
constexpr bool complete()
{
    for (SequenceKind running : {SequenceKind::Click, SequenceKind::PageChange,
                                 SequenceKind::EndsOnPageChange, SequenceKind::Announcement,
                                 SequenceKind::Own}) {
        for (Arrival arriving :
             {Arrival::Click, Arrival::PageChange, Arrival::Own, Arrival::Escape}) {
            int rows = 0;
            for (const PolicyRow &row : kSequencePolicy)
                rows += row.running == running && row.arriving == arriving;
            if (rows != 1)
                return false;
        }
    }
    return true;
}
static_assert(complete(), "the sequence policy needs exactly one row per pair");
} // namespace

Verdict verdictFor(SequenceKind running, Arrival arriving)
{
    for (const PolicyRow &row : kSequencePolicy) {
        if (row.running == running && row.arriving == arriving)
            return row.verdict;
    }
    return Verdict::Refuse;
}

Arrival arrivalOf(SequenceKind kind)
{
    switch (kind) {
    case SequenceKind::PageChange:
        return Arrival::PageChange;
    case SequenceKind::Own:
    // A word said from the receive loop is no click: it is never refused,
    // since the loop reads nothing more until it has been said.
    case SequenceKind::Announcement:
        return Arrival::Own;
    case SequenceKind::Click:
    case SequenceKind::EndsOnPageChange:
        break;
    }
    return Arrival::Click;
}

} // namespace kz
