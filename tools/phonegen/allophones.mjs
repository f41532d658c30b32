// SPDX-License-Identifier: GPL-3.0-or-later
// ARPAbet (as the CMU dictionary writes it) to the KZ synthesiser's allophone
// codes. Every sound choice the generator makes is in this file.
//
// A pronunciation arrives as a list of {ph, stress} (stress 0, 1 or 2 on
// vowels, null on consonants) and leaves as a list of {code, ...} items, one
// code each, with enough kept about each item for fitting to drop the right
// ones.

// Control codes. Only those that act on the next sound, and the pause, are used.
export const FAST = 7;
export const SLOW = 8;
export const STRESS = 14;
export const PAUSE_90MS = 6;
export const CONTROL_LIMIT = 32;

const VOWELS = new Set([
    'AA', 'AE', 'AH', 'AO', 'AW', 'AY', 'EH', 'ER', 'EY', 'IH', 'IY', 'OW', 'OY', 'UH', 'UW',
]);
export const isVowel = (ph) => VOWELS.has(ph);

// Sounds that join a stop before a vowel into one onset ("bring", "clock",
// "quick"): a stop before them is not final.
const GLIDES = new Set(['R', 'L', 'W', 'Y']);
const VOICELESS = new Set(['P', 'T', 'K', 'F', 'TH', 'S', 'SH', 'CH', 'HH']);

// The sounds' codes, with whether the sound begins and ends as a front vowel;
// consonant forms are picked from the vowel next to them.
const S = {
    IY: 128, IH: 129, EY: 130, EH: 131, AY: 132, AX: 133, UX: 134, OH: 135, AW: 136, OW: 137,
    UH: 138, UW: 139, MM: 140, NE: 141, NO: 142, NGE: 143, NGO: 144, LE: 145, LO: 146, WW: 147,
    RR: 148, IYRR: 149, EYRR: 150, AXRR: 151, AWRR: 152, OWRR: 153, EYIY: 154, OHIY: 155,
    OWIY: 156, OHIH: 157, IYEH: 158, EHLL: 159, IYUW: 160, AXUW: 161, IHWW: 162, AYWW: 163,
    OWWW: 164, JH: 165, VV: 166, ZZ: 167, ZH: 168, DH: 169, BE: 170, BO: 171, EB: 172, OB: 173,
    DE: 174, DO: 175, ED: 176, OD: 177, GE: 178, GO: 179, EG: 180, OG: 181, CH: 182, HE: 183,
    HO: 184, WH: 185, FF: 186, SE: 187, SO: 188, SH: 189, TH: 190, TT: 191, TU: 192, TS: 193,
    KE: 194, KO: 195, EK: 196, OK: 197, PE: 198, PO: 199,
};

// Front at the start / front at the end, for every vowel sound.
const FRONT_START = new Set([S.IY, S.IH, S.EY, S.EH, S.AY, S.IYRR, S.EYRR, S.EYIY, S.IYEH,
    S.EHLL, S.IYUW, S.IHWW]);
const FRONT_END = new Set([S.IY, S.IH, S.EY, S.EH, S.AY, S.IYRR, S.EYRR, S.EYIY, S.OHIY,
    S.OWIY, S.OHIH, S.IYEH]);

// Long vowels: a stressed one is lengthened with SLOW, as the given row of
// "MUSE" does.
const LONG = new Set([S.IY, S.EY, S.EYIY, S.OW, S.OWWW, S.UW, S.IYUW, S.IHWW]);

// R-coloured vowels: a vowel before an R that closes the syllable
// ("part", "corn", "hear", "hair") is one sound.
const R_COLOURED = {
    AA: S.AWRR,
    AO: S.OWRR, OW: S.OWRR, UH: S.OWRR, UW: S.OWRR,
    IH: S.IYRR, IY: S.IYRR,
    EH: S.EYRR, EY: S.EYRR, AE: S.EYRR,
    AH: S.AXRR, ER: S.AXRR,
};

// A vowel on its own. `next` is the phoneme after it (undefined at the end).
function plainVowel(ph, stress, next) {
    switch (ph) {
    // Short vowels: one sound each; AH is the full vowel of "luck" when
    // stressed and a schwa when not.
    case 'IH': return S.IH;
    case 'EH': return S.EH;
    case 'AE': return S.AY;
    case 'AA': return S.OH;
    case 'AO': return S.AW;
    case 'UH': return S.UH;
    case 'AH': return stress > 0 ? S.UX : S.AX;
    case 'ER': return S.AXRR;
    // Long vowels: EY glides to IY when it carries the stress ("gate");
    // OW and UW glide off at the end of a word ("go", "two").
    case 'IY': return S.IY;
    case 'EY': return stress > 0 ? S.EYIY : S.EY;
    case 'OW': return next === undefined || isVowel(next) ? S.OWWW : S.OW;
    case 'UW': return next === undefined ? S.IHWW : S.UW;
    // Diphthongs: AY is clipped before a voiceless consonant ("fight" against
    // "five", "sky"); AW takes the "our" form before R and L.
    case 'AY': return VOICELESS.has(next) ? S.OHIY : S.OHIH;
    case 'OY': return S.OWIY;
    case 'AW': return next === 'R' || next === 'ER' || next === 'L' ? S.AYWW : S.AXUW;
    }
    throw new Error(`no sound for vowel ${ph}`);
}

// First pass: vowels, with the sounds merged into them, become finished
// units; consonants stay as phonemes for the second pass.
function vowelUnits(phones) {
    const units = [];
    const at = (i) => phones[i]?.ph;
    for (let i = 0; i < phones.length; ++i) {
        const { ph, stress } = phones[i];
        const next = at(i + 1);
        const closes = (j) => j >= phones.length || !isVowel(at(j));
        if (ph === 'Y') {
            // Y and the vowel after it are one gliding sound ("cute", "yes",
            // "million"); before other vowels it is a short IY.
            const v = phones[i + 1];
            if (v && (v.ph === 'UW' || v.ph === 'UH') && !(at(i + 2) === 'R' && closes(i + 3))) {
                units.push(vowel(S.IYUW, v.stress));
                i += 1;
            } else if (v && ['EH', 'AH', 'AE'].includes(v.ph)
                       && !(at(i + 2) === 'R' && closes(i + 3))) {
                units.push(vowel(S.IYEH, v.stress));
                i += 1;
            } else {
                units.push({ code: S.IY, glide: true });
            }
            continue;
        }
        if (!isVowel(ph)) {
            units.push({ ph });
            continue;
        }
        if (next === 'R' && closes(i + 2) && R_COLOURED[ph] !== undefined) {
            units.push(vowel(R_COLOURED[ph], stress));
            i += 1;
            continue;
        }
        // A final L after EH or a schwa is the syllable of "spell", "angle".
        if (next === 'L' && i + 2 === phones.length && (ph === 'EH' || (ph === 'AH' && !stress))) {
            units.push(vowel(S.EHLL, stress));
            i += 1;
            continue;
        }
        units.push(vowel(plainVowel(ph, stress, next), stress));
    }
    return units;
}

function vowel(code, stress) {
    return { code, vowel: true, stress: stress ?? 0 };
}

// Second pass: each consonant takes its front or back form from the vowel it
// leans on, and stops take their final form where they close a syllable.
function resolveConsonants(units, { spelledWh }) {
    const out = [];
    const isOnsetBefore = (j) => {
        const u = units[j];
        return u !== undefined && (u.vowel || u.glide || GLIDES.has(u.ph));
    };
    const frontOf = (j, onset) => {
        const forward = () => {
            for (let k = j + 1; k < units.length; ++k)
                if (units[k].vowel) return FRONT_START.has(units[k].code);
            return undefined;
        };
        const backward = () => {
            for (let k = j - 1; k >= 0; --k)
                if (units[k].vowel) return FRONT_END.has(units[k].code);
            return undefined;
        };
        const f = onset ? forward() ?? backward() : backward() ?? forward();
        return f ?? true;
    };
    const nextVowelStressed = (j) => {
        for (let k = j + 1; k < units.length; ++k)
            if (units[k].vowel) return units[k].stress > 0;
        return false;
    };
    for (let j = 0; j < units.length; ++j) {
        const u = units[j];
        if (u.ph === undefined) {
            out.push(u);
            continue;
        }
        const onset = isOnsetBefore(j + 1);
        const front = frontOf(j, onset);
        // Lips rounding for a following W take the back form ("quick").
        const pick = (f, b) => (front && units[j + 1]?.ph !== 'W' ? f : b);
        const stop = (of, ob, cf, cb) => (onset ? pick(of, ob) : pick(cf, cb));
        let code;
        switch (u.ph) {
        // Stops: front or back by the vowel, final forms closing a syllable.
        // P has no final form; T is aspirated at the start of a word or of a
        // stressed syllable, and joins a final S ("parts").
        case 'P': code = pick(S.PE, S.PO); break;
        case 'B': code = stop(S.BE, S.BO, S.EB, S.OB); break;
        case 'D': code = stop(S.DE, S.DO, S.ED, S.OD); break;
        case 'G': code = stop(S.GE, S.GO, S.EG, S.OG); break;
        case 'K': code = stop(S.KE, S.KO, S.EK, S.OK); break;
        case 'T':
            if (!onset && units[j + 1]?.ph === 'S' && j + 2 === units.length) {
                code = S.TS;
                j += 1;
            } else if (onset && (j === 0 || nextVowelStressed(j) || units[j + 1]?.ph === 'R')) {
                code = S.TU;
            } else {
                code = S.TT;
            }
            break;
        // Nasals and L: front or back by the vowel they lean on.
        case 'M': code = S.MM; break;
        case 'N': code = pick(S.NE, S.NO); break;
        case 'NG': code = pick(S.NGE, S.NGO); break;
        case 'L': code = pick(S.LE, S.LO); break;
        // R and W; a W spelt WH is voiceless ("white", "where"), and a W
        // after K is quick, as in the given row of "QUICKLY".
        case 'R': code = S.RR; break;
        case 'W':
            if (j === 0 && spelledWh) {
                code = S.WH;
            } else {
                if (units[j - 1]?.ph === 'K') out.push({ code: FAST, control: true });
                code = S.WW;
            }
            break;
        // Fricatives and affricates; S is the back form before a back vowel
        // or a W ("so", "sweat"), H follows its vowel.
        case 'S': code = units[j + 1]?.ph === 'W' ? S.SO : pick(S.SE, S.SO); break;
        case 'HH':
            if (spelledWh && units[j + 1]?.ph === 'W') {
                code = S.WH;
                j += 1;
            } else {
                code = pick(S.HE, S.HO);
            }
            break;
        case 'F': code = S.FF; break;
        case 'V': code = S.VV; break;
        case 'TH': code = S.TH; break;
        case 'DH': code = S.DH; break;
        case 'Z': code = S.ZZ; break;
        case 'ZH': code = S.ZH; break;
        case 'SH': code = S.SH; break;
        case 'CH': code = S.CH; break;
        case 'JH': code = S.JH; break;
        default: throw new Error(`no sound for consonant ${u.ph}`);
        }
        out.push({ code });
    }
    return out;
}

// The codes of one word. `letterName` marks a single letter, whose last long
// vowel is doubled instead of slowed (as the given row of "D" does).
export function wordToCodes(phones, { spelledWh = false, letterName = false } = {}) {
    const items = resolveConsonants(vowelUnits(phones), { spelledWh });
    const vowels = items.filter((u) => u.vowel);
    const primary = items.find((u) => u.vowel && u.stress === 1);
    const result = [];
    for (const u of items) {
        if (u === primary && !letterName && LONG.has(u.code)) {
            result.push({ code: SLOW, control: true });
        } else if (u === primary && !letterName && vowels.length >= 3) {
            // In long words the stressed syllable is the one to hear.
            result.push({ code: STRESS, control: true });
        }
        result.push(u);
    }
    const last = result[result.length - 1];
    if (letterName && last.vowel && LONG.has(last.code))
        result.push({ ...last, doubled: true });
    return result;
}

export const isControl = (code) => code < CONTROL_LIMIT;
