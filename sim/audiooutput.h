// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "speechrenderer.h"

#include <QString>

#include <memory>

namespace kz::sim {

// Where the simulated KZ's speech goes.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // False when there is nowhere to play; why says so in a few words.
    virtual bool isReady(QString *why = nullptr) const = 0;
    // Queued behind what is still playing, as the device queues its words.
    virtual void play(const Audio &audio) = 0;
};

// The system's default audio output through Qt Multimedia; never ready when
// the program was built without it or the system has no output.
std::unique_ptr<AudioOutput> systemAudioOutput();

} // namespace kz::sim
