// SPDX-License-Identifier: GPL-3.0-or-later
#include "speechrenderer.h"

#include "allophones.h"

#include <QLoggingCategory>
#include <QMutex>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#ifdef KZ_HAVE_ESPEAK
#include <espeak-ng/speak_lib.h>
#endif

Q_LOGGING_CATEGORY(lcSpeech, "kz.sim.speech", QtInfoMsg)

namespace kz::sim {

namespace {

constexpr std::array<int, 7> kPauseMs {0, 100, 200, 700, 30, 60, 90};
// A stressed sound is two semitones higher and a little louder, a relaxed
// one as much lower and softer. eSpeak's stress marks are left out: they
// move the word's accent and bend its pitch contour, and on a word of one
// syllable lower it, where the device raises the sound alone.
constexpr double kStressPitch = 1.122;
constexpr double kStressGain = 1.25;

int msToSamples(int ms, int sampleRate)
{
    return static_cast<int>(static_cast<qint64>(ms) * sampleRate / 1000);
}

std::vector<qint16> resampled(const qint16 *samples, int count, int target)
{
    std::vector<qint16> out(static_cast<std::size_t>(target));
    if (count == 0 || target == 0)
        return out;
    const double step = target > 1 ? double(count - 1) / (target - 1) : 0.0;
    for (int i = 0; i < target; ++i) {
        const double at = i * step;
        const int left = std::min(static_cast<int>(at), count - 1);
        const int right = std::min(left + 1, count - 1);
        const double part = at - left;
        out[i]
            = static_cast<qint16>(std::lround(samples[left] * (1 - part) + samples[right] * part));
    }
    return out;
}

// The pitch of speech moved by ratio, its length kept: stretched by the ratio
// with its pitch kept, then played back faster or slower to its length.
std::vector<qint16> shiftPitch(const std::vector<qint16> &samples, double ratio, int sampleRate)
{
    const std::vector<qint16> stretched
        = stretchSpeech(samples.data(), static_cast<int>(samples.size()), ratio, sampleRate);
    return resampled(stretched.data(), static_cast<int>(stretched.size()),
                     static_cast<int>(samples.size()));
}

} // namespace

std::vector<qint16> shapeSound(std::vector<qint16> samples, const SpeechStep &step, int sampleRate)
{
    if (step.stress != SpeechStep::Stress::Plain) {
        const bool stressed = step.stress == SpeechStep::Stress::Stressed;
        samples = shiftPitch(samples, stressed ? kStressPitch : 1 / kStressPitch, sampleRate);
        const double gain = stressed ? kStressGain : 1 / kStressGain;
        for (qint16 &sample : samples)
            sample = static_cast<qint16>(std::clamp(std::lround(sample * gain), -32768L, 32767L));
    }
    if (step.length != 1.0)
        samples = stretchSpeech(samples.data(), static_cast<int>(samples.size()), step.length,
                                sampleRate);
    return samples;
}

std::optional<int> pauseLengthMs(int code)
{
    if (code < 0 || code >= static_cast<int>(kPauseMs.size()))
        return std::nullopt;
    return kPauseMs[static_cast<std::size_t>(code)];
}

QList<SpeechStep> speechSteps(const QList<int> &codes, bool reversed)
{
    QList<SpeechStep> steps;
    SpeechStep pending;
    for (const int code : codes) {
        if (allophoneSound(code)) {
            pending.code = code;
            steps.append(pending);
            pending = SpeechStep {};
        } else if (const auto ms = pauseLengthMs(code)) {
            // Pause 0 lasts no time and leaves the word whole.
            if (*ms > 0)
                steps.append(SpeechStep {0, *ms});
        } else if (code == kFastCode) {
            pending.length = kFastLength;
        } else if (code == kSlowCode) {
            pending.length = kSlowLength;
        } else if (code == kStressCode) {
            pending.stress = SpeechStep::Stress::Stressed;
        } else if (code == kRelaxCode) {
            pending.stress = SpeechStep::Stress::Relaxed;
        }
    }
    if (reversed)
        std::reverse(steps.begin(), steps.end());
    return steps;
}

std::vector<qint16> stretchSpeech(const qint16 *samples, int count, double factor, int sampleRate)
{
    const int target = std::max(0, static_cast<int>(std::lround(count * factor)));
    const int window = std::max(4, sampleRate / 50);
    // Too short for overlapping pieces: a burst or a closure, whose pitch no
    // one hears, is simply resampled.
    if (count < 2 * window)
        return resampled(samples, count, target);

    const int hop = window / 2;
    const int tolerance = sampleRate / 200;
    const int lastStart = count - window;
    // Offset by half a sample so that no weight is zero and every output
    // sample can be divided by the weights that made it.
    std::vector<float> weight(static_cast<std::size_t>(window));
    for (int k = 0; k < window; ++k)
        weight[k] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (k + 0.5) / window));

    std::vector<float> sum(static_cast<std::size_t>(target), 0.0f);
    std::vector<float> norm(static_cast<std::size_t>(target), 0.0f);
    int previous = 0;
    for (int at = 0; at < target; at += hop) {
        int start = 0;
        if (at > 0) {
            // The frame that lines up best with what naturally follows the
            // previous one, near where the factor puts it.
            const int natural = std::min(previous + hop, lastStart);
            const int nominal
                = std::clamp(static_cast<int>(std::lround(at / factor)), 0, lastStart);
            double best = -1e300;
            for (int candidate = std::max(0, nominal - tolerance);
                 candidate <= std::min(lastStart, nominal + tolerance); ++candidate) {
                double score = 0;
                for (int k = 0; k < window; k += 2)
                    score += double(samples[natural + k]) * samples[candidate + k];
                if (score > best) {
                    best = score;
                    start = candidate;
                }
            }
        }
        for (int k = 0; k < window && at + k < target; ++k) {
            sum[at + k] += weight[k] * samples[start + k];
            norm[at + k] += weight[k];
        }
        previous = start;
    }
    std::vector<qint16> out(static_cast<std::size_t>(target));
    for (int i = 0; i < target; ++i) {
        const float value = norm[i] > 0 ? sum[i] / norm[i] : 0.0f;
        out[i] = static_cast<qint16>(std::clamp(std::lround(value), -32768L, 32767L));
    }
    return out;
}

#ifdef KZ_HAVE_ESPEAK

namespace {

// What one synthesis call produced: the samples, and where each phoneme
// starts, from eSpeak's phoneme events.
struct Synthesised {
    struct Phoneme {
        QByteArray name;
        int ms = 0;
    };
    std::vector<qint16> samples;
    std::vector<Phoneme> phonemes;
};

struct Engine {
    QMutex mutex;
    bool tried = false;
    int sampleRate = 0;
    QString failure;
    Synthesised *target = nullptr;
};

Engine &engine()
{
    static Engine instance;
    return instance;
}

int collect(short *wav, int count, espeak_EVENT *events)
{
    Synthesised *target = engine().target;
    if (!target)
        return 0;
    if (wav && count > 0)
        target->samples.insert(target->samples.end(), wav, wav + count);
    for (; events && events->type != espeakEVENT_LIST_TERMINATED; ++events) {
        if (events->type == espeakEVENT_PHONEME)
            target->phonemes.push_back(
                {QByteArray(events->id.string,
                            qstrnlen(events->id.string, sizeof events->id.string)),
                 events->audio_position});
    }
    return 0;
}

// Called with the engine's mutex held.
bool start(Engine &e)
{
    if (e.tried)
        return e.sampleRate > 0;
    e.tried = true;
    // DONT_EXIT: without it a missing data folder ends the process.
    const int rate
        = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                            espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        e.failure = QStringLiteral("libespeak-ng cannot load its data (espeak-ng-data)");
        return false;
    }
    if (espeak_SetVoiceByName("en-us") != EE_OK) {
        e.failure = QStringLiteral("libespeak-ng has no voice en-us");
        return false;
    }
    espeak_SetSynthCallback(collect);
    e.sampleRate = rate;
    return true;
}

// The text eSpeak is given, and the phonemes of each sound in it.
struct SegmentText {
    QByteArray text;
    QList<QByteArrayList> phonemes;
};

SegmentText segmentText(const QList<SpeechStep> &sounds)
{
    SegmentText result;
    result.text = "[[";
    for (qsizetype i = 0; i < sounds.size(); ++i) {
        const AllophoneSound *sound = allophoneSound(sounds[i].code);
        const bool vowelFollows
            = std::any_of(sounds.begin() + i + 1, sounds.end(),
                          [](const SpeechStep &s) { return allophoneSound(s.code)->vowel; });
        const QByteArray form = *sound->beforeNoVowel && !vowelFollows
            ? QByteArray(sound->beforeNoVowel)
            : QByteArray(sound->phonemes);
        // The bar keeps neighbours apart that would read as another phoneme
        // ("a" then "I" is not "aI").
        if (i > 0)
            result.text += '|';
        result.text += form;
        result.phonemes.append(form.split('|'));
    }
    result.text += "]]";
    return result;
}

// eSpeak's own marks between phonemes: pauses and syllable breaks.
bool isBreak(const QByteArray &name)
{
    return name.startsWith('_') || name == ";";
}

// Where each sound's samples begin and end, or empty when eSpeak's phonemes
// cannot be matched to the sounds one for one.
std::optional<std::vector<std::pair<int, int>>>
soundSpans(const Synthesised &out, const QList<QByteArrayList> &phonemes, int sampleRate)
{
    std::vector<std::pair<int, int>> spans;
    const auto &marks = out.phonemes;
    const int total = static_cast<int>(out.samples.size());
    auto sampleAt = [&](std::size_t m) {
        return m < marks.size() ? std::clamp(msToSamples(marks[m].ms, sampleRate), 0, total)
                                : total;
    };
    std::size_t m = 0;
    for (const QByteArrayList &names : phonemes) {
        int begin = -1;
        for (const QByteArray &name : names) {
            for (; m < marks.size(); ++m) {
                const QByteArray &heard = marks[m].name;
                // eSpeak links an r-coloured vowel to a vowel after it with
                // an R of its own: the end of the sound before.
                const bool linkingR
                    = begin < 0 && !spans.empty() && heard.startsWith('r') && !name.startsWith('r');
                if (linkingR)
                    spans.back().second = sampleAt(m + 1);
                else if (!isBreak(heard))
                    break;
            }
            if (m >= marks.size())
                return std::nullopt;
            if (begin < 0)
                begin = sampleAt(m);
            ++m;
        }
        spans.emplace_back(begin, std::max(begin, sampleAt(m)));
    }
    for (; m < marks.size(); ++m) {
        if (!isBreak(marks[m].name))
            return std::nullopt;
    }
    return spans;
}

// Says the sounds as one word, with pauseBeforeMs[i] of silence cut in
// before sound i: a pause keeps the word's flow on both sides, as it does
// on the device. Appends the samples to audio.
std::optional<QString> sayWord(Engine &e, const QList<SpeechStep> &sounds,
                               const QList<int> &pauseBeforeMs, Audio &audio)
{
    const SegmentText segment = segmentText(sounds);
    Synthesised out;
    e.target = &out;
    const espeak_ERROR status
        = espeak_Synth(segment.text.constData(), segment.text.size() + 1, 0, POS_CHARACTER, 0,
                       espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
    e.target = nullptr;
    if (status != EE_OK)
        return QStringLiteral("espeak_Synth failed (%1) on %2")
            .arg(status)
            .arg(QString::fromLatin1(segment.text));

    auto plain = [](const SpeechStep &s) {
        return s.length == 1.0 && s.stress == SpeechStep::Stress::Plain;
    };
    const bool paused = std::any_of(pauseBeforeMs.begin() + 1, pauseBeforeMs.end(),
                                    [](int ms) { return ms > 0; });
    const bool shaped = !std::all_of(sounds.begin(), sounds.end(), plain);
    const auto spans
        = paused || shaped ? soundSpans(out, segment.phonemes, e.sampleRate) : std::nullopt;
    auto heard = [&out] {
        QByteArrayList names;
        for (const auto &phoneme : out.phonemes)
            names << phoneme.name;
        return names.join(' ');
    };
    if (paused && !spans) {
        // Where the sounds lie is unknown: say the parts between the pauses
        // as words of their own instead.
        qCDebug(lcSpeech) << "pauses put between words: eSpeak's phonemes" << heard()
                          << "do not match" << segment.text;
        qsizetype from = 0;
        for (qsizetype i = 1; i <= sounds.size(); ++i) {
            if (i < sounds.size() && pauseBeforeMs[i] == 0)
                continue;
            const qsizetype count = i - from;
            if (const auto failure
                = sayWord(e, sounds.mid(from, count), QList<int>(count, 0), audio))
                return failure;
            if (i < sounds.size())
                audio.samples.resize(audio.samples.size()
                                     + std::size_t(msToSamples(pauseBeforeMs[i], e.sampleRate)));
            from = i;
        }
        return std::nullopt;
    }
    if (shaped && !spans)
        qCDebug(lcSpeech) << "sounds left as they are: eSpeak's phonemes" << heard()
                          << "do not match" << segment.text;
    if (spans) {
        // From the end, so that the spans still to do keep their place.
        for (qsizetype i = sounds.size() - 1; i >= 0; --i) {
            const auto [begin, end] = (*spans)[static_cast<std::size_t>(i)];
            if (end > begin && !plain(sounds[i])) {
                const auto first = out.samples.begin() + begin;
                const auto last = out.samples.begin() + end;
                const std::vector<qint16> piece
                    = shapeSound(std::vector<qint16>(first, last), sounds[i], e.sampleRate);
                out.samples.erase(first, last);
                out.samples.insert(out.samples.begin() + begin, piece.begin(), piece.end());
            }
            if (i > 0 && pauseBeforeMs[i] > 0)
                out.samples.insert(out.samples.begin() + begin,
                                   std::size_t(msToSamples(pauseBeforeMs[i], e.sampleRate)), 0);
        }
    }
    audio.samples.insert(audio.samples.end(), out.samples.begin(), out.samples.end());
    return std::nullopt;
}

void applyVoice(const SpeechRenderer::Voice &voice)
{
    // The device's default voice is eSpeak's default: 175 words a minute,
    // pitch 50, volume 100.
    espeak_SetParameter(
        espeakRATE,
        std::clamp(175 * voice.speed / 114, int(espeakRATE_MINIMUM), int(espeakRATE_MAXIMUM)), 0);
    espeak_SetParameter(espeakPITCH, std::clamp(50 * voice.pitch / 89, 0, 100), 0);
    espeak_SetParameter(espeakVOLUME, std::clamp(100 * voice.volume / 120, 0, 200), 0);
}

} // namespace

bool SpeechRenderer::isAvailable(QString *why)
{
    Engine &e = engine();
    QMutexLocker lock(&e.mutex);
    const bool ok = start(e);
    if (!ok && why)
        *why = e.failure;
    return ok;
}

std::optional<Audio> SpeechRenderer::render(const QList<int> &codes, bool reversed,
                                            QString *error) const
{
    const QList<SpeechStep> steps = speechSteps(codes, reversed);
    Engine &e = engine();
    QMutexLocker lock(&e.mutex);
    if (!start(e)) {
        if (error)
            *error = e.failure;
        return std::nullopt;
    }
    applyVoice(m_voice);

    // The pauses gathered before each sound; those before the first and
    // after the last are silence at either end.
    QList<SpeechStep> sounds;
    QList<int> pauseBeforeMs;
    int pending = 0;
    for (const SpeechStep &step : steps) {
        if (step.isPause()) {
            pending += step.pauseMs;
            continue;
        }
        sounds.append(step);
        pauseBeforeMs.append(pending);
        pending = 0;
    }

    Audio audio;
    audio.sampleRate = e.sampleRate;
    auto silence = [&](int ms) {
        audio.samples.resize(audio.samples.size() + std::size_t(msToSamples(ms, e.sampleRate)));
    };
    if (!sounds.isEmpty()) {
        silence(pauseBeforeMs.front());
        if (const auto failure = sayWord(e, sounds, pauseBeforeMs, audio)) {
            if (error)
                *error = *failure;
            return std::nullopt;
        }
    }
    silence(pending);
    return audio;
}

#else // no libespeak-ng

bool SpeechRenderer::isAvailable(QString *why)
{
    if (why)
        *why = QStringLiteral(
            "built without libespeak-ng (install libespeak-ng-dev and build again)");
    return false;
}

std::optional<Audio> SpeechRenderer::render(const QList<int> &, bool, QString *error) const
{
    isAvailable(error);
    return std::nullopt;
}

#endif

} // namespace kz::sim
