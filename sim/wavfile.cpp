// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavfile.h"

#include <QSaveFile>
#include <QtEndian>

namespace kz::sim {

namespace {

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

} // namespace

QByteArray wavBytes(const Audio &audio)
{
    const quint32 dataBytes = static_cast<quint32>(audio.samples.size() * sizeof(qint16));
    QByteArray out;
    out.reserve(44 + static_cast<qsizetype>(dataBytes));
    out.append("RIFF");
    put32(out, 36 + dataBytes);
    out.append("WAVEfmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, static_cast<quint32>(audio.sampleRate));
    put32(out, static_cast<quint32>(audio.sampleRate) * 2);
    put16(out, 2);
    put16(out, 16);
    out.append("data");
    put32(out, dataBytes);
    for (const qint16 sample : audio.samples)
        put16(out, static_cast<quint16>(sample));
    return out;
}

bool writeWav(const QString &path, const Audio &audio, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wavBytes(audio)) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace kz::sim
