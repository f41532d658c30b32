// SPDX-License-Identifier: GPL-3.0-or-later
// Pronunciations of words the dictionary lacks, from espeak-ng's phoneme
// mnemonics (`espeak-ng -q -x`), turned into the dictionary's ARPAbet so the
// one sound mapping serves both.
import { execFileSync } from 'node:child_process';

// espeak-ng mnemonic to ARPAbet; vowels take the stress espeak marks before
// their syllable. Longest mnemonics are tried first.
const MNEMONICS = {
    // Vowels with the R that follows them in the American voice.
    'aI@': ['AY', 'ER'], 'aI3': ['AY', 'ER'], 'aU@': ['AW', 'ER'],
    'A@': ['AA', 'R'], 'e@': ['EH', 'R'], 'i@3': ['IY', 'ER'], 'i@': ['IH', 'R'],
    'o@': ['AO', 'R'], 'O@': ['AO', 'R'], 'U@': ['UH', 'R'],
    // Diphthongs.
    'aI': ['AY'], 'aU': ['AW'], 'eI': ['EY'], 'oU': ['OW'], 'OI': ['OY'],
    // Long vowels and R-coloured schwa.
    'A:': ['AA'], 'i:': ['IY'], 'u:': ['UW'], 'O:': ['AO'], '3:': ['ER'], '3': ['ER'],
    // Short and reduced vowels; variants marked 2, # or a digit are weaker
    // forms of the same vowel.
    '@L': ['AH', 'L'], '@2': ['AH'], '@5': ['AH'], '@': ['AH'], 'a#': ['AH'], 'aa': ['AE'],
    'a': ['AE'], 'E2': ['EH'], 'E#': ['EH'], 'E': ['EH'], 'e': ['EH'], 'I2': ['IH'],
    'I#': ['IH'], 'I': ['IH'], 'i': ['IY'], '02': ['AA'], '0': ['AA'], 'V': ['AH'],
    'U': ['UH'], 'u': ['UW'],
    // Consonants.
    'tS': ['CH'], 'dZ': ['JH'], 't#': ['T'], 'n-': ['N'], 'l-': ['L'], 'r-': ['R'],
    'N': ['NG'], 'T': ['TH'], 'D': ['DH'], 'S': ['SH'], 'Z': ['ZH'], 'j': ['Y'], 'h': ['HH'],
    'r': ['R'], 'w': ['W'], 'l': ['L'], 'm': ['M'], 'n': ['N'], 'p': ['P'], 'b': ['B'],
    't': ['T'], 'd': ['D'], 'k': ['K'], 'g': ['G'], 'f': ['F'], 'v': ['V'], 's': ['S'],
    'z': ['Z'], '?': ['T'], 'x': ['K'],
};
const BY_LENGTH = Object.keys(MNEMONICS).sort((a, b) => b.length - a.length);
// Marks that carry no sound of their own: syllable and word breaks, length,
// palatalisation.
const SILENT = new Set(['_', '-', ';', ':', '|', '=', '!', ' ']);
const VOWELS = new Set(['AA', 'AE', 'AH', 'AO', 'AW', 'AY', 'EH', 'ER', 'EY', 'IH', 'IY', 'OW',
    'OY', 'UH', 'UW']);

export function espeakVersion() {
    const text = execFileSync('espeak-ng', ['--version'], { encoding: 'utf8' });
    return text.match(/espeak ng text-to-speech: (\S+)/i)?.[1] ?? 'unknown';
}

export function espeakMnemonics(word) {
    return execFileSync('espeak-ng', ['-v', 'en-us', '-q', '-x', word], { encoding: 'utf8' }).trim();
}

export function parseMnemonics(text) {
    const phones = [];
    let pending = 0;
    for (let i = 0; i < text.length;) {
        const ch = text[i];
        if (ch === "'" || ch === ',') {
            pending = ch === "'" ? 1 : 2;
            ++i;
            continue;
        }
        const m = BY_LENGTH.find((k) => text.startsWith(k, i));
        if (m === undefined) {
            if (SILENT.has(ch)) {
                ++i;
                continue;
            }
            throw new Error(`espeak-ng mnemonic not mapped at "${text.slice(i)}" in "${text}"`);
        }
        for (const ph of MNEMONICS[m]) {
            // espeak writes the linking R of "U@r" and "3:r" again after the
            // R its vowel already holds.
            const last = phones[phones.length - 1]?.ph;
            if (ph === 'R' && (last === 'R' || last === 'ER'))
                continue;
            if (VOWELS.has(ph)) {
                phones.push({ ph, stress: pending });
                pending = 0;
            } else {
                phones.push({ ph, stress: null });
            }
        }
        i += m.length;
    }
    return phones;
}
