// SPDX-License-Identifier: GPL-3.0-or-later
// Writes src/words/phonetable_data.cpp, the phoneme table built into the
// program: ten codes for every word number, from the CMU Pronouncing
// Dictionary, with espeak-ng for the few words it lacks. Run it by hand when
// an input changes and commit what it writes; the build never runs it.
//
//   node tools/phonegen/generate.mjs
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

import { PAUSE_90MS, isControl, wordToCodes } from './allophones.mjs';
import { espeakMnemonics, espeakVersion, parseMnemonics } from './espeak.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, '..', '..');
const wordListFile = join(root, 'src', 'words', 'wordlist_data.cpp');
const outputFile = join(root, 'src', 'words', 'phonetable_data.cpp');

const ROWS = 2055;
const SLOTS = 10;
const EMPTY = 48;
const WORD_COUNT = 2051;
const DIGIT_NAMES = ['ZERO', 'ONE', 'TWO', 'THREE', 'FOUR', 'FIVE', 'SIX', 'SEVEN', 'EIGHT',
    'NINE'];

// The dictionary is fetched at each run, at the version package-lock.json pins.
execFileSync('npm', ['ci', '--no-audit', '--no-fund', '--silent'], { cwd: here, stdio: 'inherit' });
const { dictionary } = await import('cmu-pronouncing-dictionary');
const dictionaryVersion = JSON.parse(
    readFileSync(join(here, 'node_modules', 'cmu-pronouncing-dictionary', 'package.json'), 'utf8'))
    .version;

function readWordList() {
    const text = readFileSync(wordListFile, 'utf8');
    const start = text.indexOf('{', text.indexOf('kWordTexts['));
    const end = text.indexOf('};', start);
    const words = [...text.slice(start, end).matchAll(/"([^"\\]*)"/g)].map((m) => m[1]);
    if (words.length !== WORD_COUNT)
        throw new Error(`${wordListFile}: ${words.length} words, expected ${WORD_COUNT}`);
    return words;
}

// Lines of "key value..." with # comments.
function readTable(name) {
    return readFileSync(join(here, name), 'utf8')
        .split('\n')
        .map((line) => line.replace(/#.*/, '').trim())
        .filter((line) => line !== '')
        .map((line) => line.split(/\s+/));
}

function readFixedRows(words) {
    const fixed = new Map();
    for (const [row, word, ...codes] of readTable('fixed-rows.txt')) {
        const n = Number(row);
        if (words[n] !== word)
            throw new Error(`fixed row ${n} is "${word}" but word ${n} is "${words[n]}"`);
        if (codes.length > SLOTS)
            throw new Error(`fixed row ${n} has ${codes.length} codes`);
        fixed.set(n, codes.map(Number));
    }
    return fixed;
}

const aliases = new Map(readTable('aliases.txt').map(([word, target]) => [word, target]));

function dictionaryPhones(word) {
    const entry = dictionary[word.toLowerCase()];
    if (entry === undefined)
        return undefined;
    return entry.split(' ').map((p) => {
        const m = p.match(/^([A-Z]+)([012])?$/);
        return { ph: m[1], stress: m[2] === undefined ? null : Number(m[2]) };
    });
}

// One word's pronunciation and where it came from.
function pronounce(word) {
    if (/^[0-9]$/.test(word))
        return { phones: dictionaryPhones(DIGIT_NAMES[Number(word)]), source: 'digit' };
    if (aliases.has(word)) {
        const phones = dictionaryPhones(aliases.get(word));
        if (phones === undefined)
            throw new Error(`alias ${word} -> ${aliases.get(word)}: not in the dictionary`);
        return { phones, source: 'alias' };
    }
    const phones = dictionaryPhones(word);
    if (phones !== undefined)
        return { phones, source: 'dictionary' };
    const mnemonics = espeakMnemonics(word);
    return { phones: parseMnemonics(mnemonics), source: 'espeak-ng', mnemonics };
}

function codesOfWord(word) {
    const { phones, source, mnemonics } = pronounce(word);
    const items = wordToCodes(phones, {
        spelledWh: word.startsWith('WH'),
        letterName: /^[A-Z]$/.test(word),
    });
    return { items, source, mnemonics };
}

// A text's codes: two-word entries are their words with a short pause between.
function codesOfText(text) {
    const parts = text.split(' ').map(codesOfWord);
    if (parts.length === 1)
        return parts[0];
    const items = parts.flatMap((p, i) =>
        i === 0 ? p.items : [{ code: PAUSE_90MS, control: true, pause: true }, ...p.items]);
    return { items, source: 'two words', parts };
}

// Fits a word into ten slots, giving up the least first: controls that only
// shape a sound, then pauses, then the second of a doubled sound, then an
// unstressed short vowel; the end is cut only when nothing else is left.
const REDUCIBLE = new Set([133, 129, 134]); // AX, IH, UX
function fit(items, fitted) {
    const dropLast = (pred, stage) => {
        for (let i = items.length - 1; i >= 0; --i) {
            if (pred(items[i], i)) {
                items.splice(i, 1);
                fitted[stage] = (fitted[stage] ?? 0) + 1;
                return true;
            }
        }
        return false;
    };
    const stages = [
        ['control', (u) => u.control && !u.pause],
        ['pause', (u) => u.pause],
        ['doubled sound', (u, i) => i > 0 && items[i - 1].code === u.code],
        ['unstressed vowel', (u, i) => u.vowel && u.stress === 0 && REDUCIBLE.has(u.code)
             && i > 0 && !items[i - 1].vowel && items[i + 1] && !items[i + 1].vowel],
    ];
    for (const [stage, pred] of stages)
        while (items.length > SLOTS && dropLast(pred, stage)) { }
    if (items.length > SLOTS) {
        fitted['cut'] = (fitted['cut'] ?? 0) + 1;
        items.length = SLOTS;
    }
    return items.map((u) => u.code);
}

function checkRow(n, codes) {
    if (codes.length > SLOTS)
        throw new Error(`row ${n}: ${codes.length} codes`);
    for (const c of codes)
        if (c === EMPTY || !(isControl(c) || (c >= 128 && c <= 199)))
            throw new Error(`row ${n}: code ${c}`);
}

const words = readWordList();
const fixed = readFixedRows(words);
const rows = [];
const sources = {};
const fitted = {};
const espeakWords = [];
for (let n = 0; n < ROWS; ++n) {
    const text = n < WORD_COUNT ? words[n] : '';
    let codes;
    if (fixed.has(n)) {
        codes = fixed.get(n);
        sources['fixed'] = (sources['fixed'] ?? 0) + 1;
    } else if (text === '') {
        codes = [];
    } else {
        const r = codesOfText(text);
        codes = fit(r.items, fitted);
        checkRow(n, codes);
        for (const p of r.parts ?? [r])
            if (p.source === 'espeak-ng')
                espeakWords.push(`${n} ${text}: ${p.mnemonics}`);
        sources[r.source] = (sources[r.source] ?? 0) + 1;
    }
    rows.push({ text, codes });
}

// Equal texts are one pronunciation under two numbers.
const byText = new Map();
rows.forEach(({ text, codes }, n) => {
    if (text === '')
        return;
    const seen = byText.get(text);
    if (seen !== undefined && rows[seen].codes.join() !== codes.join())
        throw new Error(`rows ${seen} and ${n} ("${text}") differ`);
    byText.set(text, n);
});

const pad = (c) => String(c).padStart(3, ' ');
const lines = rows.map(({ text, codes }, n) => {
    const slots = [...codes, ...Array(SLOTS - codes.length).fill(EMPTY)];
    return `    ${slots.map(pad).join(', ')}, // ${n}${text ? ' ' + text : ''}`;
});
const generator = relative(root, fileURLToPath(import.meta.url));
const output = `// SPDX-License-Identifier: GPL-3.0-or-later
// Generated by ${generator} from the CMU Pronouncing Dictionary
// (npm package cmu-pronouncing-dictionary ${dictionaryVersion}, ISC licence) and espeak-ng ${espeakVersion()}
// for words the dictionary lacks. Do not edit by hand: change the generator or
// its inputs and run it again (tools/README.md).
#include "words/phonetable.h"

namespace kz {

namespace {

// Row n, elements 10n to 10n + 9, holds the codes of word n from slot 0; 48
// fills the slots after the last code. Elements past row 2054 stay 0.
// clang-format off
const qint16 phones[kPhoneElements] = {
${lines.join('\n')}
};
// clang-format on

} // namespace

const qint16 *phoneTable()
{
    return phones;
}

} // namespace kz
`;
writeFileSync(outputFile, output);

const histogram = Array(SLOTS + 1).fill(0);
rows.forEach(({ codes }) => ++histogram[codes.length]);
const filled = rows.filter(({ codes }) => codes.length > 0);
const total = filled.reduce((s, { codes }) => s + codes.length, 0);
console.log(`wrote ${relative(root, outputFile)}: ${ROWS} rows`);
console.log('rows by source:', JSON.stringify(sources));
console.log('words from espeak-ng:\n  ' + espeakWords.join('\n  '));
console.log('fitted into ten slots by dropping:', JSON.stringify(fitted));
console.log('codes per row:', histogram.map((c, i) => `${i}:${c}`).join(' '));
console.log(`mean codes per non-empty row: ${(total / filled.length).toFixed(3)}`
            + ` (per row over all ${ROWS}: ${(total / ROWS).toFixed(3)})`);
