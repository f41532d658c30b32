// SPDX-License-Identifier: GPL-3.0-or-later
#include "speaker.h"

#include "simulatedkz.h"

#include <chrono>

namespace kz::sim {

Speaker::Speaker(SimulatedKz *kz, std::unique_ptr<AudioOutput> output, QObject *parent)
    : QObject(parent), m_kz(kz), m_output(std::move(output))
{
    connect(kz, &SimulatedKz::speaks, this, &Speaker::speak);
}

Speaker::~Speaker() = default;

void Speaker::speak(int number, bool reversed, qint64 arrivedNs)
{
    QString why;
    if (!SpeechRenderer::isAvailable(&why)) {
        noticeOnce(QStringLiteral("speech is off: %1").arg(why));
        return;
    }
    if (!m_kz->ampOn())
        return;
    const SimulatedKz::Voice voice = m_kz->voice();
    m_renderer.setVoice({voice.volume, voice.speed, voice.pitch});
    QString error;
    const std::optional<Audio> audio = m_renderer.render(m_kz->wordRow(number), reversed, &error);
    if (!audio) {
        noticeOnce(QStringLiteral("word %1 cannot be spoken: %2").arg(number).arg(error));
        return;
    }
    if (m_output->isReady(&why))
        m_output->play(*audio);
    else
        noticeOnce(QStringLiteral("speech stays silent: %1").arg(why));
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    emit spoken(number, *audio, now - arrivedNs);
}

void Speaker::noticeOnce(const QString &text)
{
    if (m_noticed.contains(text))
        return;
    m_noticed.append(text);
    emit notice(text);
}

} // namespace kz::sim
