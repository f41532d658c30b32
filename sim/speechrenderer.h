// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace kz::sim {

// Mono 16-bit speech.
struct Audio {
    int sampleRate = 0;
    std::vector<qint16> samples;
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0; }
};

// One step of a row as the synthesiser takes it: a sound, with what the
// control codes before it asked for, or a pause.
struct SpeechStep {
    enum class Stress { Plain, Stressed, Relaxed };
    int code = 0; // 128 to 199; 0 for a pause
    int pauseMs = 0;
    double length = 1.0;
    Stress stress = Stress::Plain;
    bool isPause() const { return code == 0; }
    bool operator==(const SpeechStep &) const = default;
};

// Control codes of a row that act on the next sound.
constexpr int kFastCode = 7;
constexpr int kSlowCode = 8;
constexpr int kStressCode = 14;
constexpr int kRelaxCode = 15;
constexpr double kFastLength = 0.5;
constexpr double kSlowLength = 1.5;

// Length of a pause code (0 to 6); empty for any other value.
std::optional<int> pauseLengthMs(int code);

// The steps of a row. Codes that are neither a sound nor a control the row
// may hold (the empty slot 48 among them) are passed over, as values the
// synthesiser ignores. Reversed, the sounds and pauses come in the opposite
// order, each sound keeping the controls that stood before it.
QList<SpeechStep> speechSteps(const QList<int> &codes, bool reversed = false);

// Speaks rows of allophone codes through libespeak-ng. eSpeak NG keeps one
// synthesiser per process, so every renderer shares it, one render at a time.
class SpeechRenderer {
public:
    // The voice values of the KZ, as a voice line carries them; the defaults
    // are the device's own and sound as eSpeak's default voice does.
    struct Voice {
        int volume = 120;
        int speed = 114;
        int pitch = 89;
    };

    // False when the program was built without libespeak-ng or its data
    // cannot be loaded; why says which.
    static bool isAvailable(QString *why = nullptr);

    void setVoice(const Voice &voice) { m_voice = voice; }
    Voice voice() const { return m_voice; }

    // Empty, with the reason in error, when eSpeak fails. A row without a
    // sound or pause renders to no samples.
    std::optional<Audio> render(const QList<int> &codes, bool reversed = false,
                                QString *error = nullptr) const;

private:
    Voice m_voice;
};

// Changes the length of speech by factor while keeping its pitch: pieces of
// it are overlapped where their waves line up best.
std::vector<qint16> stretchSpeech(const qint16 *samples, int count, double factor, int sampleRate);

// One sound's samples as its step asks: higher and louder when stressed,
// lower and softer when relaxed, then stretched to its length.
std::vector<qint16> shapeSound(std::vector<qint16> samples, const SpeechStep &step, int sampleRate);

} // namespace kz::sim
