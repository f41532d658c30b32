// SPDX-License-Identifier: GPL-3.0-or-later
// The program ends on the signals a desktop session or a service manager
// sends as it ends on a closed window: port closed, lock file gone, exit 0.
#include "device/portlock.h"
#include "device/portlocator.h"
#include "device/systemserialport.h"
#include "simulatedkz.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

class TestProgramEnd : public QObject {
    Q_OBJECT
private slots:
    void endSignalClosesLikeTheWindow_data();
    void endSignalClosesLikeTheWindow();
    void killedProgramLeavesThePortFree();
    void exclusiveModeCountsOnlyWithALiveHolder();
};

namespace {

// Starts kz on the ports of `folder`, searching at once.
bool startKz(QProcess &kz, const QString &folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KZ_NO_WEBENGINE"), QStringLiteral("1"));
    env.insert(QStringLiteral("KZ_PORT_DIR"), folder);
    kz.setProcessEnvironment(env);
    kz.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    kz.start(QStringLiteral(KZ_APP_PATH), {QStringLiteral("--connect")});
    return kz.waitForStarted();
}

} // namespace

void TestProgramEnd::endSignalClosesLikeTheWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestProgramEnd::endSignalClosesLikeTheWindow()
{
    QFETCH(int, signal);
    QProcess kz;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KZ_NO_WEBENGINE"), QStringLiteral("1"));
    kz.setProcessEnvironment(env);
    kz.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    kz.start(QStringLiteral(KZ_APP_PATH),
             {QStringLiteral("--simulate"), QStringLiteral("--simulate-port"), QStringLiteral("1"),
              QStringLiteral("--connect")});
    QVERIFY(kz.waitForStarted());
    QByteArray out;
    QDeadlineTimer deadline(20000);
    while (!out.contains("kz: connected on port 1") && !deadline.hasExpired()
           && kz.state() == QProcess::Running) {
        kz.waitForReadyRead(200);
        out += kz.readAllStandardOutput();
    }
    QVERIFY2(out.contains("kz: connected on port 1"), out.constData());

    // Qt names the lock after the device, with its slashes made underscores.
    const QRegularExpression device(QStringLiteral("\\(/dev/(\\S+)\\)"));
    const QString deviceName = device.match(QString::fromLatin1(out)).captured(1);
    QVERIFY(!deviceName.isEmpty());
    const QString lock
        = QStringLiteral("/run/lock/LCK..") + QString(deviceName).replace(u'/', u'_');
    if (!QFile::exists(lock)) {
        kz.kill();
        kz.waitForFinished();
        QSKIP("no serial lock file in /run/lock on this system");
    }

    // The lock names its owner on its first line; once the program has
    // ended, another process may have taken the same device name.
    const QByteArray owner = QByteArray::number(kz.processId());
    auto ownedByKz = [&] {
        QFile file(lock);
        return file.open(QIODevice::ReadOnly) && file.readLine().trimmed() == owner;
    };
    QVERIFY(ownedByKz());
    QCOMPARE(::kill(pid_t(kz.processId()), signal), 0);
    QVERIFY(kz.waitForFinished(10000));
    QCOMPARE(kz.exitStatus(), QProcess::NormalExit);
    QCOMPARE(kz.exitCode(), 0);
    QVERIFY2(!ownedByKz(), qPrintable(lock));
}

void TestProgramEnd::killedProgramLeavesThePortFree()
{
    // The terminal's exclusive mode a killed kz leaves on the port can be
    // switched off by root alone.
    if (::geteuid() != 0)
        QSKIP("only root can clear the exclusive mode a killed program leaves");
    QTemporaryDir ports;
    kz::sim::SimulatedKz device;
    QVERIFY(device.start() && device.linkAs(ports.path(), 1));
    int probes = 0;
    connect(&device, &kz::sim::SimulatedKz::lineReceived, this, [&](const QString &line) {
        if (line.startsWith(QLatin1String("@ 2 2")))
            ++probes;
    });
    auto pump = [&](QProcess &kz) {
        // The simulated KZ answers from this event loop.
        QDeadlineTimer deadline(20000);
        QByteArray out;
        while (!out.contains("kz: connected on port 1") && !deadline.hasExpired()
               && kz.state() == QProcess::Running) {
            QTest::qWait(20);
            out += kz.readAllStandardOutput();
        }
        return out;
    };

    QProcess first;
    QVERIFY(startKz(first, ports.path()));
    QByteArray out = pump(first);
    QVERIFY2(out.contains("kz: connected on port 1"), out.constData());
    QCOMPARE(::kill(pid_t(first.processId()), SIGKILL), 0);
    QVERIFY(first.waitForFinished(10000));

    const int probesBefore = probes;
    QProcess second;
    QVERIFY(startKz(second, ports.path()));
    out = pump(second);
    QVERIFY2(out.contains("kz: connected on port 1"), out.constData());
    QVERIFY(probes > probesBefore);
    second.terminate();
    QVERIFY(second.waitForFinished(10000));
}

void TestProgramEnd::exclusiveModeCountsOnlyWithALiveHolder()
{
    if (::geteuid() != 0)
        QSKIP("only root opens a port in exclusive mode to look at it");
    // This process holds the terminal's other side, as a simulator does.
    // Not passed on to the holder below, which would then be the other side.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0);
    auto closeMaster = qScopeGuard([&] { ::close(master); });
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString slave = QString::fromLatin1(::ptsname(master));

    // Another process with the port open, which put it in exclusive mode.
    QProcess holder;
    holder.setStandardInputFile(slave);
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(holder.waitForStarted());
    const int fd = ::open(slave.toLatin1().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    QCOMPARE(::ioctl(fd, TIOCEXCL), 0);
    ::close(fd);
    kz::PortHolder found = kz::findPortHolder(slave);
    QVERIFY(found.held);
    QCOMPARE(found.pid, holder.processId());
    QVERIFY(!found.staleExclusiveCleared);

    // It ends without giving the port back: the mode stays, nobody holds it,
    // and the port opens with a word about it.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QTemporaryDir ports;
    QVERIFY(QFile::link(slave, ports.filePath(QStringLiteral("COM1"))));
    kz::SystemSerialPort port(kz::PortLocator::forFolder(ports.path()));
    QSignalSpy notices(&port, &kz::SerialPort::notice);
    QVERIFY2(port.open(1), qPrintable(port.errorText()));
    QCOMPARE(notices.count(), 1);
    QVERIFY(notices.at(0).at(0).toString().contains(QStringLiteral("cleared")));
}

QTEST_GUILESS_MAIN(TestProgramEnd)
#include "tst_programend.moc"
