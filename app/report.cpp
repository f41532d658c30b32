// SPDX-License-Identifier: GPL-3.0-or-later
#include "report.h"

#include "window/aboutpage.h"
#include "window/browser/browserfactory.h"
#include "window/browser/browserview.h"
#include "window/form1.h"
#include "window/readings/readings.h"
#include "window/tabnavigator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMultiHash>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace kz {

namespace {

constexpr int kAboutDeadlineMs = 30000;
// Time for the page to be drawn and the helper processes to reach their
// working size once it has loaded.
constexpr int kAboutSettleMs = 2000;

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The number on a "Name:   1234 kB" or "Name:	1234" line.
long fieldNumber(const QByteArray &text, const QByteArray &name)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct TreeMemory {
    int processes = 0;
    long rssKb = 0;
    long pssKb = 0;
};

// This process and all its descendants. Resident sizes count shared pages
// once per process; proportional ones share them out, so their sum is what
// the whole costs.
TreeMemory processTreeMemory()
{
    QMultiHash<qint64, qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            children.insert(
                fieldNumber(readProcFile(QStringLiteral("/proc/%1/status").arg(pid)), "PPid"), pid);
    }
    TreeMemory total;
    QList<qint64> tree {QCoreApplication::applicationPid()};
    for (int i = 0; i < tree.size(); ++i) {
        const QString dir = QStringLiteral("/proc/%1/").arg(tree.at(i));
        ++total.processes;
        total.rssKb += qMax(0L, fieldNumber(readProcFile(dir + QStringLiteral("status")), "VmRSS"));
        total.pssKb
            += qMax(0L, fieldNumber(readProcFile(dir + QStringLiteral("smaps_rollup")), "Pss"));
        tree << children.values(tree.at(i));
    }
    return total;
}

void quitSoon()
{
    std::fflush(stdout);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace

double cpuMs()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
#else
    return -1;
#endif
}

long peakResidentKb()
{
    return fieldNumber(readProcFile(QStringLiteral("/proc/self/status")), "VmHWM");
}

bool libraryMapped(const QByteArray &namePrefix)
{
    const QList<QByteArray> lines = readProcFile(QStringLiteral("/proc/self/maps")).split('\n');
    return std::any_of(lines.begin(), lines.end(), [&namePrefix](const QByteArray &line) {
        return line.mid(line.lastIndexOf('/') + 1).startsWith(namePrefix);
    });
}

bool glDriverLoaded()
{
    // libGLX_mesa.so.0, libEGL_nvidia.so.0, swrast_dri.so, libgallium-*.so:
    // the vendor's libraries behind the dispatch in libGL, libGLX and libEGL.
    const QList<QByteArray> lines = readProcFile(QStringLiteral("/proc/self/maps")).split('\n');
    return std::any_of(lines.begin(), lines.end(), [](const QByteArray &line) {
        const QByteArray file = line.mid(line.lastIndexOf('/') + 1);
        return file.startsWith("libGLX_") || file.startsWith("libEGL_")
            || file.startsWith("libgallium") || file.contains("_dri.so");
    });
}

void reportFirstPaint(Form1 &window)
{
    struct Watcher : QObject {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !done) {
                done = true;
                // After the paint, so that its memory counts.
                QTimer::singleShot(0, [] {
                    std::printf(
                        "kz: first paint; peak resident %ld kB; CPU %.1f ms; GL driver %s\n",
                        peakResidentKb(), cpuMs(), glDriverLoaded() ? "loaded" : "not loaded");
                    // After the figures, which reading its metadata would
                    // change; an installed copy must find its own.
                    const QString plugin = findBrowserPlugin(browserPluginSearchPath());
                    std::printf("kz: browser plugin %s\n",
                                plugin.isEmpty() ? "not found" : qPrintable(plugin));
                    const QString readings = Readings::findPlugin();
                    std::printf("kz: readings plugin %s; plotting library %s\n",
                                readings.isEmpty() ? "not found" : qPrintable(readings),
                                libraryMapped("libQCustomPlot") ? "loaded" : "not loaded");
                    quitSoon();
                });
            }
            return false;
        }
        bool done = false;
    };
    window.installEventFilter(new Watcher);
}

void reportAboutPage(Form1 &window)
{
    QElapsedTimer clock;
    clock.start();
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, clock] {
        const BrowserView *browser = window.about().browser();
        const auto state = browser ? browser->loadState() : BrowserView::LoadState::Idle;
        const bool finished
            = state == BrowserView::LoadState::Loaded || state == BrowserView::LoadState::Failed;
        if (!finished && clock.elapsed() < kAboutDeadlineMs)
            return;
        poll->stop();
        std::printf("kz: About page %s %lld ms after the click (%s browser)\n",
                    finished ? "finished" : "still loading",
                    static_cast<long long>(clock.elapsed()),
                    browser && browser->isEmbedded() ? "embedded" : "external");
        std::fflush(stdout);
        QTimer::singleShot(kAboutSettleMs, &window, [] {
            const TreeMemory memory = processTreeMemory();
            std::printf("kz: About page shown; %d processes, resident %ld kB in all "
                        "(proportional %ld kB); this process %ld kB at peak; GL driver %s\n",
                        memory.processes, memory.rssKb, memory.pssKb, peakResidentKb(),
                        glDriverLoaded() ? "loaded" : "not loaded");
            quitSoon();
        });
    });
    // Once the window is up, as a user's click would come.
    QTimer::singleShot(0, &window, [&window, poll] {
        window.tabs().choose(QStringLiteral("About The KZ"));
        poll->start(50);
    });
}

} // namespace kz
