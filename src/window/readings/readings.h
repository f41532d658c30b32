// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/readinglog.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAction;
class QWidget;

namespace kz {

class ReadingHistory;
class ReadingSource;
class ReadingsView;

// A readings window for `history` from the plugin, loaded on the first
// call; null when the plugin cannot be loaded, with the reason in *error.
ReadingsView *createReadingsView(const ReadingHistory &history, QWidget *parent, QString *error);

// The readings of the run and the window that plots them. The log takes
// what the behaviours report from the start; the window, and the plotting
// library with it, is loaded from the "kzreadings" plugin only when the user
// first asks for it (Ctrl+R, "Show readings" on a page, `--readings`). The
// window that owns it puts the action on its pages.
class Readings : public QObject {
    Q_OBJECT
public:
    static const QString kActionText;

    // The readings window opens beside `window`.
    Readings(const ReadingSource &source, QWidget *window);
    ~Readings() override;

    ReadingLog &log() { return m_log; }
    QAction *action() const { return m_action; }

    // Shows and raises the window, loading it the first time. False when
    // it cannot be loaded, which a message box then explains.
    bool show();
    // Null until the window was first shown.
    ReadingsView *view() const;

    // The plugin file the window would be loaded from, found by its
    // metadata alone; empty when there is none.
    static QString findPlugin();
    static QString loadedPluginPath();

private:
    void feed(const ReadingSource &source);
    void explainMissing(const QString &error);

    QWidget *m_window;
    ReadingLog m_log;
    QAction *m_action;
    // A window of the main one's, deleted before the log it reads.
    QPointer<ReadingsView> m_view;
};

} // namespace kz
