// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the program's start-up: an empty Qt Widgets window of a
// given size and nothing else. Prints one line when it first paints, in the
// same form as `kz --startup-report`, and quits.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_painted)
            return;
        m_painted = true;
        QTimer::singleShot(0, [] {
            rusage usage {};
            getrusage(RUSAGE_SELF, &usage);
            auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
            std::printf("bare window: first paint; peak resident %ld kB; CPU %.1f ms\n",
                        peakResidentKb(), ms(usage.ru_utime) + ms(usage.ru_stime));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // WIDTH HEIGHT in pixels; the benchmark passes the program's.
    const QStringList args = QCoreApplication::arguments();
    Window window;
    window.setFixedSize(args.value(1, QStringLiteral("580")).toInt(),
                        args.value(2, QStringLiteral("515")).toInt());
    window.show();
    return app.exec();
}
