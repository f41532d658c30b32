// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "speechrenderer.h"

#include <QString>

namespace kz::sim {

// Writes the audio as a 16-bit mono PCM WAV file.
bool writeWav(const QString &path, const Audio &audio, QString *error = nullptr);

// The 44-byte header and samples of such a file, in memory.
QByteArray wavBytes(const Audio &audio);

} // namespace kz::sim
