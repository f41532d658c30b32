// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/messageassembler.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <functional>
#include <map>

class QWidget;

namespace kz {

class DeviceLink;
struct FormParts;
struct HiddenBoxes;

// Everything the KZ sends comes in here, on every tick of Timer1: it is
// gathered until a message is complete, then handed to the handler of the
// page shown. Each page's behaviour registers its own handler.
class ReceiveRouter : public QObject {
    Q_OBJECT
public:
    // Where a handler stands in a tick. A page switch during a handler's
    // waits lets the handlers after it see the new page, so the order is
    // part of what the program does.
    enum class Step {
        ComReadings, // a reading of a group, or the group's word number
        WordListDump,
        KzReports,
        ComWord,
        SetupInfo,
        PkReading,
    };
    enum class Next { Continue, EndTick };
    // The handler may change the message for the handlers after it.
    using Handler = std::function<Next(QString &message)>;

    ReceiveRouter(const FormParts &form, const HiddenBoxes &hidden, DeviceLink &link,
                  QObject *parent = nullptr);

    // The handler runs for complete messages while `page` is shown.
    void route(Step step, QWidget *page, Handler handler);

    void tick();

    QString pending() const { return m_assembler.pending(); }
    // A tick is running, or the ticks are held off.
    bool isBusy() const { return m_inTick || m_held > 0; }
    // What a handler started goes on after it returned (a word being said):
    // until it is released, ticks read nothing and hand out nothing.
    void holdTicks() { ++m_held; }
    void releaseTicks() { m_held = std::max(0, m_held - 1); }

signals:
    // On every tick that finds text gathered, complete or not: what the raw
    // copies show. The upload takes any of it as a block's answer.
    void textHeld(const QString &text);
    // The KZ sent more text without an end mark than a message can hold;
    // the oldest was dropped. Once until a message completes again.
    void textWithoutEndMark();

private:
    void copyPending(bool newText);

    struct Route {
        QWidget *page;
        Handler handler;
    };

    const HiddenBoxes &m_hidden;
    DeviceLink &m_link;
    MessageAssembler m_assembler;
    std::map<Step, Route> m_routes;
    bool m_inTick = false;
    int m_held = 0;
    bool m_dropReported = false;
    // The raw copies were changed by someone else (the upload empties
    // Text18) and must be written again even without new text.
    bool m_copiesStale = false;
    bool m_copying = false;
};

} // namespace kz
