// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <QtPlugin>

namespace kz {

class ReadingHistory;

// The readings window: a plot of everything in a ReadingHistory against
// time, beside the main window. It lives in a plugin, loaded the first time
// it is shown, which links none of the program's code: so, like the
// browser's view, this class is header-only and has no meta-object.
class ReadingsView : public QWidget {
public:
    using QWidget::QWidget;

    // Following, the newest minute stays in view as points come; paused, the
    // view stays where the user put it.
    virtual void setFollowing(bool on) = 0;
    virtual bool isFollowing() const = 0;
    // Seconds since the connection at the left and right edge of the view.
    virtual QPair<double, double> visibleSeconds() const = 0;
    // Pauses and shows the whole run.
    virtual void showAll() = 0;
    // Takes in what the history gained and draws at once.
    virtual void redraw() = 0;

    // Every point of the history as CSV; the current view as a picture. On
    // failure, *error says why.
    virtual bool exportCsv(const QString &path, QString *error) = 0;
    virtual bool exportPng(const QString &path, QString *error) = 0;
    virtual bool exportSvg(const QString &path, QString *error) = 0;
};

// What the plugin library provides. The history outlives the view.
class ReadingsPlugin {
public:
    virtual ~ReadingsPlugin() = default;
    virtual ReadingsView *createView(const ReadingHistory &history, QWidget *parent) = 0;
};

} // namespace kz

#define KZ_READINGS_PLUGIN_IID "org.kz.ReadingsPlugin/1.0"
Q_DECLARE_INTERFACE(kz::ReadingsPlugin, KZ_READINGS_PLUGIN_IID)
