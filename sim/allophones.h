// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kz::sim {

// How eSpeak NG's American English voice says one sound of the KZ's
// synthesiser: its phoneme mnemonics, "|" between two of them.
struct AllophoneSound {
    const char *name;
    const char *phonemes;
    // eSpeak drops an R that no vowel follows; this form is said there
    // instead (empty when the sound has none).
    const char *beforeNoVowel;
    bool vowel;
};

constexpr int kFirstSound = 128;
constexpr int kLastSound = 199;

// The sound of a code; nullptr for the control codes and anything else that
// is not a sound.
const AllophoneSound *allophoneSound(int code);

} // namespace kz::sim
