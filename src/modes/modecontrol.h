// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QPushButton;

namespace kz {

class DeviceLink;
class ReceiveRouter;
struct KzPage;

// The KZ page: the five mode buttons, each stopping the KZ and starting its
// mode, and the display of the words the KZ reports, newest on top.
class ModeControl : public QObject {
    Q_OBJECT
public:
    ModeControl(const KzPage &page, DeviceLink &link, ReceiveRouter &router,
                QObject *parent = nullptr);

    // The last mode started (20 while the PK test runs).
    qint16 mode() const { return m_mode; }
    // A mode another page started (the PK test's).
    void noteMode(qint16 mode) { m_mode = mode; }

signals:
    // The mode's command went out; `caption` is its button's.
    void modeStarted(qint16 mode, const QString &caption);
    // A reading the KZ streams on the KZ page (Touch Mode), not a word report.
    void readingStreamed(double reading);

private:
    // What a mode button sends and the `mode` it leaves behind.
    struct ModeStart {
        QString firstCommand;
        QString modeCommand;
        qint16 mode;
        QString caption; // the button's, for the mark in the readings
    };

    void start(const ModeStart &start);
    // The word display is for the modes in which the KZ speaks words.
    void modeOff();
    void takeReport(QString &message);

    const KzPage &m_page;
    DeviceLink &m_link;
    qint16 m_mode = 0;
};

} // namespace kz
