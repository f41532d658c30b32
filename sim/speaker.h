// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audiooutput.h"
#include "speechrenderer.h"

#include <QObject>

#include <memory>

namespace kz::sim {

class SimulatedKz;

// Makes a simulated KZ heard: every word it speaks is rendered from the row
// it holds and played on the output, in the voice last loaded into it and
// only while its amplifier is on.
class Speaker : public QObject {
    Q_OBJECT

public:
    Speaker(SimulatedKz *kz, std::unique_ptr<AudioOutput> output, QObject *parent = nullptr);
    ~Speaker() override;

signals:
    // A word handed to the output (or that would have been, with none);
    // delayNs runs from the request's arrival to that moment.
    void spoken(int number, const kz::sim::Audio &audio, qint64 delayNs);
    // Why nothing is heard, said once per reason.
    void notice(const QString &text);

private:
    void speak(int number, bool reversed, qint64 arrivedNs);
    void noticeOnce(const QString &text);

    SimulatedKz *m_kz;
    std::unique_ptr<AudioOutput> m_output;
    SpeechRenderer m_renderer;
    QStringList m_noticed;
};

} // namespace kz::sim
