// SPDX-License-Identifier: GPL-3.0-or-later
#include "audiooutput.h"

#ifdef KZ_HAVE_QT_AUDIO
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cstring>
#endif

namespace kz::sim {

namespace {

#ifdef KZ_HAVE_QT_AUDIO

// Samples in the format the output takes: its rate and channels, 16-bit
// or float, whichever it prefers when it refuses the speech's own.
QByteArray converted(const Audio &audio, const QAudioFormat &format)
{
    const int rate = format.sampleRate();
    const int channels = format.channelCount();
    const auto &in = audio.samples;
    const qsizetype frames
        = in.empty() ? 0 : static_cast<qsizetype>(qint64(in.size()) * rate / audio.sampleRate);
    QByteArray out(frames * format.bytesPerFrame(), Qt::Uninitialized);
    char *to = out.data();
    for (qsizetype f = 0; f < frames; ++f) {
        const qint64 index = std::min<qint64>(qint64(f) * audio.sampleRate / rate,
                                              static_cast<qint64>(in.size()) - 1);
        const qint16 sample = in[static_cast<std::size_t>(index)];
        for (int c = 0; c < channels; ++c) {
            if (format.sampleFormat() == QAudioFormat::Float) {
                const float value = sample / 32768.0f;
                std::memcpy(to, &value, sizeof value);
                to += sizeof value;
            } else if (format.sampleFormat() == QAudioFormat::Int32) {
                const qint32 value = qint32(sample) << 16;
                std::memcpy(to, &value, sizeof value);
                to += sizeof value;
            } else if (format.sampleFormat() == QAudioFormat::UInt8) {
                *to++ = static_cast<char>((sample >> 8) + 128);
            } else {
                std::memcpy(to, &sample, sizeof sample);
                to += sizeof sample;
            }
        }
    }
    return out;
}

class QtAudioOutput : public AudioOutput {
public:
    QtAudioOutput() : m_device(QMediaDevices::defaultAudioOutput())
    {
        if (m_device.isNull())
            m_failure = QStringLiteral("no audio output found");
        m_feedTimer.setSingleShot(true);
        m_feedTimer.setInterval(10);
        QObject::connect(&m_feedTimer, &QTimer::timeout, [this] { feed(); });
    }

    bool isReady(QString *why) const override
    {
        if (!m_failure.isEmpty() && why)
            *why = m_failure;
        return m_failure.isEmpty();
    }

    void play(const Audio &audio) override
    {
        if (!m_failure.isEmpty() || audio.samples.empty())
            return;
        if (!m_sink && !open(audio.sampleRate))
            return;
        m_pending += converted(audio, m_format);
        feed();
    }

private:
    bool open(int sampleRate)
    {
        m_format.setSampleRate(sampleRate);
        m_format.setChannelCount(1);
        m_format.setSampleFormat(QAudioFormat::Int16);
        if (!m_device.isFormatSupported(m_format))
            m_format = m_device.preferredFormat();
        m_sink = std::make_unique<QAudioSink>(m_device, m_format);
        // Push mode: the sink plays what it is given and waits, idle, for
        // the next word.
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            m_failure = QStringLiteral("the audio output %1 cannot be opened")
                            .arg(m_device.description());
            m_sink.reset();
            return false;
        }
        return true;
    }

    void feed()
    {
        const qsizetype frame = m_format.bytesPerFrame();
        const qsizetype room = std::min<qsizetype>(m_sink->bytesFree(), m_pending.size());
        const qsizetype bytes = room - room % frame;
        if (bytes > 0) {
            const qint64 written = m_io->write(m_pending.constData(), bytes);
            if (written > 0)
                m_pending.remove(0, written);
        }
        if (!m_pending.isEmpty())
            m_feedTimer.start();
    }

    QAudioDevice m_device;
    QAudioFormat m_format;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_io = nullptr;
    QByteArray m_pending;
    QTimer m_feedTimer;
    QString m_failure;
};

#else

class NoAudioOutput : public AudioOutput {
public:
    bool isReady(QString *why) const override
    {
        if (why)
            *why = QStringLiteral("built without Qt Multimedia");
        return false;
    }
    void play(const Audio &) override { }
};

#endif

} // namespace

std::unique_ptr<AudioOutput> systemAudioOutput()
{
#ifdef KZ_HAVE_QT_AUDIO
    return std::make_unique<QtAudioOutput>();
#else
    return std::make_unique<NoAudioOutput>();
#endif
}

} // namespace kz::sim
