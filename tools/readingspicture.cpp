// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the readings window as `kz --simulate --readings` shows it after a
// session with the simulated KZ: a question on the COM page, Touch Mode on
// the KZ page, an auto tune on the SET UP page and a PK test. Time runs four
// times faster than in use; the plot shows the design times all the same.
//
//   kz-readings-picture FILE [WINDOW SCREEN]
//
// writes the picture (PNG) to FILE as "Export PNG..." writes it; with WINDOW
// and SCREEN, also the readings window as it shows, its plot with the focus,
// and the whole screen with the main window beside it (on a display, such
// as xvfb-run's).
#include "device/pacing.h"
#include "device/portlocator.h"
#include "device/systemserialport.h"
#include "kit/pages.h"
#include "kit/widgets.h"
#include "questions/questiondesk.h"
#include "simulatedkz.h"
#include "window/connection.h"
#include "window/form1.h"
#include "window/readings/readings.h"
#include "window/readings/readingsview.h"
#include "window/tabnavigator.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void runFor(int designMs)
{
    QEventLoop loop;
    QTimer::singleShot(kz::Pacing::scaled(designMs), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: kz-readings-picture FILE [WINDOW SCREEN]\n");
        return 2;
    }
    kz::Pacing::setTimeScale(0.25);
    QTemporaryDir folder;
    kz::sim::SimulatedKz device;
    device.setWanderingReadings();
    QString error;
    if (!device.start(&error) || !device.linkAs(folder.path(), 1, &error)) {
        std::fprintf(stderr, "kz-readings-picture: %s\n", qPrintable(error));
        return 1;
    }
    kz::Form1 window(new kz::SystemSerialPort(kz::PortLocator::forFolder(folder.path())));
    window.show();
    window.connection().search();
    while (window.connection().isSearching())
        runFor(100);
    if (!window.connection().isConnected() || !window.readings().show()) {
        std::fprintf(stderr, "kz-readings-picture: no simulated KZ, or no readings window\n");
        return 1;
    }
    const kz::Form1Controls &c = window.controls();

    bool answered = false;
    QObject::connect(&window.questions(), &kz::QuestionDesk::answered, [&] { answered = true; });
    c.com.Text3->setText(QStringLiteral("Will it rain tomorrow"));
    c.com.Command2->click();
    while (!answered)
        runFor(100);
    runFor(2000);

    window.tabs().choose(QStringLiteral("KZ"));
    c.kzPage.Command7->click(); // Touch Mode
    runFor(10000);

    window.tabs().choose(QStringLiteral("SET UP"));
    c.setup.Command14->click(); // the whole auto tune
    runFor(2000);

    window.tabs().choose(QStringLiteral("PK"));
    c.pk.Command5->click(); // returns once calibrated
    runFor(10000);
    c.pk.Command5->click(); // Done

    kz::ReadingsView *view = window.readings().view();
    view->showAll();
    view->redraw();
    if (!view->exportPng(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "kz-readings-picture: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %lld points\n", argv[1],
                static_cast<long long>(window.readings().log().size()));
    if (argc == 4) {
        view->activateWindow();
        runFor(1000);
        const QWidget *focus = QApplication::focusWidget();
        std::printf("focus: %s\n", focus ? qPrintable(focus->objectName()) : "none");
        const bool saved = view->grab().save(QString::fromLocal8Bit(argv[2]))
            && view->screen()->grabWindow(0).save(QString::fromLocal8Bit(argv[3]));
        std::printf("%s, %s: %s; main window at %d,%d %dx%d, readings window at %d,%d %dx%d\n",
                    argv[2], argv[3], saved ? "saved" : "not saved", window.x(), window.y(),
                    window.width(), window.height(), view->x(), view->y(), view->width(),
                    view->height());
        if (!saved)
            return 1;
    }
    return 0;
}
