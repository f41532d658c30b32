// SPDX-License-Identifier: GPL-3.0-or-later
#include "allophones.h"

#include <array>

namespace kz::sim {

namespace {

// Codes 128 to 199 in order. eSpeak's American voice has no front and back
// forms of a consonant, nor final forms of a stop: it shapes a consonant by
// its neighbours itself, so each pair of forms shares one phoneme.
constexpr std::array<AllophoneSound, kLastSound - kFirstSound + 1> kSounds {{
    // Plain vowels. OH ("hot") is the American open "A:", AW ("fall") the
    // rounded "O:"; OW ("comb") is held without the glide that OWWW has.
    {"IY", "i:", "", true},
    {"IH", "I", "", true},
    {"EY", "e", "", true},
    {"EH", "E", "", true},
    {"AY", "a", "", true},
    {"AX", "@", "", true},
    {"UX", "V", "", true},
    {"OH", "A:", "", true},
    {"AW", "O:", "", true},
    {"OW", "o:", "", true},
    {"UH", "U", "", true},
    {"UW", "u:", "", true},
    // Nasals: MM, then NE and NO, NGE and NGO.
    {"MM", "m", "", false},
    {"NE", "n", "", false},
    {"NO", "n", "", false},
    {"NGE", "N", "", false},
    {"NGO", "N", "", false},
    // Resonants. An R before a consonant or at the end ("under" as
    // UX NE DE RR RR) would be silent in eSpeak; the r-coloured schwa
    // sounds it.
    {"LE", "l", "", false},
    {"LO", "l", "", false},
    {"WW", "w", "", false},
    {"RR", "r", "3", false},
    // R-coloured vowels: "clear", "hair", "bird", "part", "corn".
    {"IYRR", "i@", "", true},
    {"EYRR", "e@", "", true},
    {"AXRR", "3:", "", true},
    {"AWRR", "A@", "", true},
    {"OWRR", "o@", "", true},
    // Diphthongs. OHIY ("fight") and OHIH ("five") differ only in length,
    // which eSpeak gives its "aI" from the consonant after it; AXUW
    // ("brown") and AYWW ("our") share "aU" for the same reason. IHWW
    // ("two") is eSpeak's plain "u:", which glides on its own in that voice.
    {"EYIY", "eI", "", true},
    {"OHIY", "aI", "", true},
    {"OWIY", "OI", "", true},
    {"OHIH", "aI", "", true},
    {"IYEH", "j|E", "", true},
    {"EHLL", "E|l", "", true},
    {"IYUW", "j|u:", "", true},
    {"AXUW", "aU", "", true},
    {"IHWW", "u:", "", true},
    {"AYWW", "aU", "", true},
    {"OWWW", "oU", "", true},
    // Voiced affricate and fricatives: "jet", "vest", "zoo", "azure",
    // "that".
    {"JH", "dZ", "", false},
    {"VV", "v", "", false},
    {"ZZ", "z", "", false},
    {"ZH", "Z", "", false},
    {"DH", "D", "", false},
    // Voiced stops, four forms each: BE BO EB OB, DE DO ED OD, GE GO EG OG.
    {"BE", "b", "", false},
    {"BO", "b", "", false},
    {"EB", "b", "", false},
    {"OB", "b", "", false},
    {"DE", "d", "", false},
    {"DO", "d", "", false},
    {"ED", "d", "", false},
    {"OD", "d", "", false},
    {"GE", "g", "", false},
    {"GO", "g", "", false},
    {"EG", "g", "", false},
    {"OG", "g", "", false},
    // Voiceless affricate and fricatives; eSpeak has no voiceless W, so WH
    // is an H gliding into W ("white").
    {"CH", "tS", "", false},
    {"HE", "h", "", false},
    {"HO", "h", "", false},
    {"WH", "h|w", "", false},
    {"FF", "f", "", false},
    {"SE", "s", "", false},
    {"SO", "s", "", false},
    {"SH", "S", "", false},
    {"TH", "T", "", false},
    // Voiceless stops: TT, TU and the cluster TS ("parts"); KE KO EK OK;
    // PE PO.
    {"TT", "t", "", false},
    {"TU", "t", "", false},
    {"TS", "t|s", "", false},
    {"KE", "k", "", false},
    {"KO", "k", "", false},
    {"EK", "k", "", false},
    {"OK", "k", "", false},
    {"PE", "p", "", false},
    {"PO", "p", "", false},
}};
static_assert(kSounds.back().name != nullptr, "a sound is missing from the table");

} // namespace

const AllophoneSound *allophoneSound(int code)
{
    if (code < kFirstSound || code > kLastSound)
        return nullptr;
    return &kSounds[static_cast<std::size_t>(code - kFirstSound)];
}

} // namespace kz::sim
