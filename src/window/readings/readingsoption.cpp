// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/readings/readingsoption.h"

#include "window/readings/readings.h"

#include <QCommandLineParser>
#include <QTimer>

namespace kz {

namespace {
const QString kName = QStringLiteral("readings");
} // namespace

QCommandLineOption readingsOption()
{
    return QCommandLineOption(kName,
                              QStringLiteral("Open the readings window, a plot of what "
                                             "the KZ measures, at start (later: Ctrl+R, "
                                             "or \"Show readings\" on a page's context "
                                             "menu)."));
}

void showReadingsIfAsked(const QCommandLineParser &parser, Readings &readings)
{
    if (parser.isSet(kName))
        showReadingsAtStart(readings);
}

void showReadingsAtStart(Readings &readings)
{
    // Once the main window is up, so that the readings window opens beside
    // it rather than before it.
    QTimer::singleShot(0, &readings, [&readings] { readings.show(); });
}

} // namespace kz
