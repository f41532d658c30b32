// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/devicelink.h"
#include "device/pacing.h"
#include "window/form1.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace kz::test {

// What goes to the KZ as the device would pace it: each line, and "P" for
// each tick of the 250 ms pause timer in between.
class WireRecorder : public QObject {
    Q_OBJECT
public:
    static inline const QString kPause = QStringLiteral("P");

    WireRecorder(DeviceLink &link, const FormParts &form)
    {
        connect(&link, &DeviceLink::commandSent, this,
                [this](const QString &line) { events << line; });
        connect(form.Timer3, &QTimer::timeout, this, [this] { events << kPause; });
    }
    explicit WireRecorder(Form1 *window) : WireRecorder(window->link(), window->controls().form) { }
    // The lines alone.
    QStringList lines() const
    {
        QStringList out = events;
        out.removeAll(kPause);
        return out;
    }

    QStringList events;
};

// The pauses, then the line.
inline QStringList paused(int pauses, const QString &line = {})
{
    QStringList out(pauses, WireRecorder::kPause);
    if (!line.isNull())
        out << line;
    return out;
}

enum class Selected { Low, Mid, High };

// Save Settings with the texts of the Low, Mid and High boxes, each RANGE,
// OFFSET, REPEAT, GAIN, and the level selected.
inline QStringList saveSettingsWire(const QStringList &low, const QStringList &mid,
                                    const QStringList &high, Selected selected)
{
    const QString p = WireRecorder::kPause;
    auto block = [&](const QStringList &texts) {
        QStringList out {QStringLiteral("> 40 2"), p};
        for (const QString &t : texts)
            out << QStringLiteral("* ") + t << p;
        return out;
    };
    QStringList wire;
    wire << block(low) << p << QStringLiteral("> 46 1 1") << p << p;
    wire << block(mid) << p << QStringLiteral("> 46 2 1") << p << p;
    wire << block(high) << p << QStringLiteral("> 46 3 1") << p << p << p << p;
    if (selected == Selected::Low) {
        wire << block(low) << p;
    } else {
        wire << block(selected == Selected::Mid ? mid : high);
        wire.removeLast(); // no pause after the fourth value
    }
    wire << p << p << QStringLiteral("> 43 1") << p;
    return wire;
}

} // namespace kz::test
