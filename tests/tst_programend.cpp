// SPDX-License-Identifier: GPL-3.0-or-later
// The program ends on the signals a desktop session or a service manager
// sends as it ends on a closed window: port closed, lock file gone, exit 0.
#include "simulatedkz.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

class TestProgramEnd : public QObject {
    Q_OBJECT
private slots:
    void endSignalClosesLikeTheWindow_data();
    void endSignalClosesLikeTheWindow();
};

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

QTEST_GUILESS_MAIN(TestProgramEnd)
#include "tst_programend.moc"
