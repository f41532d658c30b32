// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the KZ: the search over ports 1 to 30, the manual open, and what
// reaches the device on the way.
#include "device/devicelink.h"
#include "harness.h"
#include "window/connection.h"
#include "kit/widgets.h"

#include <QFile>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kz;
using namespace kz::test;
using Probe = sim::SimulatedKz::ProbeAnswers;

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void foundOnPortOneAfterOneProbe();
    void foundByTheSecondProbe();
    void answerTokenMayStandAnywhereInTheText();
    void silentDeviceIsPassedOver();
    void noDeviceTriesAllThirtyPortsThenSaysSo();
    void manualOpenOfAMissingPortStaysUnconnected();
    void manualOpenConnectsWithoutAProbe();
    void portNumberBoxFollowsItsScrollBar();
    void secondClickDuringASearchIsIgnored();
    void closingTheWindowDuringASearchEndsItPromptly();
    void unpluggedDeviceClosesThePortOnceWithoutSpinning();
    void theKzComingBackIsFoundAgain();
    void aLostKzIsLookedForOnceASecond();
    void aPortHeldByAnotherProgramIsPassedOverAndNamed_data();
    void aPortHeldByAnotherProgramIsPassedOverAndNamed();
    void aLockFileOfADeadProgramIsPassedOver();
};

void TestConnection::foundOnPortOneAfterOneProbe()
{
    Harness h;
    auto *kz = h.addDevice(1);
    QVERIFY(h.connectWindow());
    const auto &c = h.controls();
    QCOMPARE(h.port()->opens, QList<int> {1});
    QCOMPARE(kz->receivedBytes(), QByteArray("@ 2 2\r"));
    QCOMPARE(c.connect.Text1->text(),
             QStringLiteral(" 1 SEARCHING  FOR ACTIVE KZ************* Controller on port # 1 "
                            "*****************"));
    QCOMPARE(c.connect.Text1->palette().color(QPalette::Base), QColor(0, 255, 255));
    QVERIFY(c.form.Timer1->isActive());
    QVERIFY(c.pictures.Frame2->isHidden());
    QVERIFY(c.connect.Frame1->isHidden());
    QVERIFY(!c.connect.Command1->isEnabled());
    QVERIFY(c.com.comframe->isVisible());
    QVERIFY(c.form.TabStrip1->isVisible());
    QVERIFY(h.port()->isOpen());
    // Fault: kz opens its port without taking its own lock.
    const int fd = ::open(kz->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), -1);
    ::close(fd);
}

void TestConnection::foundByTheSecondProbe()
{
    Harness h;
    auto *kz = h.addDevice(4);
    kz->setProbeAnswers(Probe::SecondOnly);
    QVERIFY(h.connectWindow());
    QCOMPARE(h.port()->opens, (QList<int> {1, 2, 3, 4}));
    QCOMPARE(kz->receivedBytes(), QByteArray("@ 2 2\r@ 1 1\r"));
    QVERIFY(h.controls().connect.Text1->text().endsWith(
        QStringLiteral("************* Controller on port # 4 *****************")));
}

void TestConnection::answerTokenMayStandAnywhereInTheText()
{
    Harness h;
    auto *kz = h.addDevice(2);
    kz->setProbeAnswers(Probe::None);
    // The device greets with text around the end mark instead of a bare "^".
    connect(kz, &sim::SimulatedKz::lineReceived, kz, [kz](const QString &line) {
        if (line == QLatin1String("@ 2 2"))
            kz->send("KZ ready^ prompt");
    });
    // Fault: any device that answers is taken for the KZ.
    auto *modem = h.addDevice(1);
    modem->setProbeAnswers(Probe::None);
    connect(modem, &sim::SimulatedKz::lineReceived, modem, [modem] { modem->send("OK\r\n"); });
    QVERIFY(h.connectWindow());
    QCOMPARE(h.port()->opens, (QList<int> {1, 2}));
}

void TestConnection::silentDeviceIsPassedOver()
{
    Harness h;
    auto *silent = h.addDevice(1);
    silent->setProbeAnswers(Probe::None);
    auto *kz = h.addDevice(3);
    QVERIFY(h.connectWindow());
    QCOMPARE(h.port()->opens, (QList<int> {1, 2, 3}));
    QCOMPARE(silent->receivedBytes(), QByteArray("@ 2 2\r@ 1 1\r"));
    QCOMPARE(kz->receivedBytes(), QByteArray("@ 2 2\r"));
}

void TestConnection::noDeviceTriesAllThirtyPortsThenSaysSo()
{
    Harness h(0.02);
    h.createWindow();
    const auto &c = h.controls();
    QList<int> opensWhenBoxShown;
    bool panelShownWithBox = false;
    MessageBoxCloser closer([&] {
        opensWhenBoxShown = h.port()->opens;
        panelShownWithBox = c.connect.Frame11->isVisible();
    });
    QTest::mouseClick(c.connect.Command1, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return !h.window()->connection().isSearching(); }));
    QVERIFY(closer.seen);
    QCOMPARE(closer.text, QStringLiteral("try selecting the port #"));
    QList<int> all;
    for (int p = 1; p <= 30; ++p)
        all << p;
    QCOMPARE(opensWhenBoxShown, all);
    QVERIFY(panelShownWithBox);
    QCOMPARE(c.connect.Text1->text(), QStringLiteral("******** No Controller Found *************"));
    QCOMPARE(c.connect.Text1->palette().color(QPalette::Base), QColor(255, 255, 0));
    QVERIFY(c.connect.Command1->isEnabled());
    QVERIFY(c.connect.Frame1->isVisible());
    QVERIFY(c.form.TabStrip1->isHidden());
    QVERIFY(!c.form.Timer1->isActive());
}

void TestConnection::manualOpenOfAMissingPortStaysUnconnected()
{
    Harness h;
    h.createWindow();
    const auto &c = h.controls();
    c.connect.Frame11->show();
    c.connect.Text1->setText(QStringLiteral("earlier"));
    c.connect.Text17->setText(QStringLiteral("7"));
    QTest::mouseClick(c.connect.Command23, Qt::LeftButton);
    QCOMPARE(h.port()->opens, QList<int> {7});
    QCOMPARE(c.connect.Text1->text(),
             QStringLiteral("earlier************* No Controller on port # *****************"));
    QVERIFY(!h.window()->connection().isConnected());
    QVERIFY(c.connect.Frame1->isVisible());
    QVERIFY(c.form.TabStrip1->isHidden());
    QVERIFY(c.connect.Command1->isEnabled());
}

void TestConnection::manualOpenConnectsWithoutAProbe()
{
    Harness h;
    auto *kz = h.addDevice(5);
    kz->setProbeAnswers(Probe::None);
    h.createWindow();
    const auto &c = h.controls();
    c.connect.Text17->setText(QStringLiteral(" 5"));
    QTest::mouseClick(c.connect.Command23, Qt::LeftButton);
    QVERIFY(h.window()->connection().isConnected());
    QCOMPARE(c.connect.Text1->text(),
             QStringLiteral("************* Controller on port # *****************"));
    QVERIFY(c.form.Timer1->isActive());
    QVERIFY(c.form.TabStrip1->isVisible());
    QVERIFY(c.connect.Frame1->isHidden());
    // Two receive-loop ticks later still nothing has been sent.
    QSignalSpy ticks(c.form.Timer1, &QTimer::timeout);
    QVERIFY(waitUntil([&] { return ticks.count() >= 2; }));
    QVERIFY(kz->receivedBytes().isEmpty());
}

void TestConnection::portNumberBoxFollowsItsScrollBar()
{
    Harness h;
    h.createWindow();
    const auto &c = h.controls();
    QCOMPARE(c.connect.Text17->text(), QStringLiteral("3"));
    QCOMPARE(c.connect.VScroll5->value(), 3);
    c.connect.VScroll5->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(c.connect.Text17->text(), QStringLiteral(" 4"));
    QVERIFY(!c.connect.VScroll5->setValueChecked(31));
    QVERIFY(!c.connect.VScroll5->setValueChecked(0));
    QCOMPARE(c.connect.Text17->text(), QStringLiteral(" 4"));
    QVERIFY(c.connect.VScroll5->setValueChecked(30));
    QCOMPARE(c.connect.Text17->text(), QStringLiteral(" 30"));
    // The box still names the port: a manual open uses 30.
    QTest::mouseClick(c.connect.Command23, Qt::LeftButton);
    QCOMPARE(h.port()->opens, QList<int> {30});
}

void TestConnection::secondClickDuringASearchIsIgnored()
{
    Harness h;
    h.addDevice(3);
    h.createWindow();
    const auto &c = h.controls();
    // Clicks that arrive while the search waits on port 1.
    QTimer::singleShot(10, [&] {
        c.connect.Command1->click();
        c.connect.Command23->click();
    });
    QTest::mouseClick(c.connect.Command1, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return h.window()->connection().isConnected(); }));
    QCOMPARE(h.port()->opens, (QList<int> {1, 2, 3}));
}

void TestConnection::closingTheWindowDuringASearchEndsItPromptly()
{
    Harness h(1.0); // real time: the full search would take nine seconds
    h.createWindow();
    const auto &c = h.controls();
    TickClock sinceClose;
    QTimer::singleShot(200, h.window(), [&] {
        sinceClose.restart();
        h.window()->close();
    });
    QTest::mouseClick(c.connect.Command1, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return !h.window()->connection().isSearching(); }));
    // Not one of the search's 0.3-second steps more.
    QVERIFY2(sinceClose.designMs() < 300, qPrintable(QString::number(sinceClose.designMs())));
    QVERIFY(h.port()->opens.size() <= 2);
    // Fault: a step of the search left to run after the close.
    const qsizetype opens = h.port()->opens.size();
    QVERIFY(waitUntil([&] { return sinceClose.designMs() >= 700; }));
    QCOMPARE(h.port()->opens.size(), opens);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestConnection::unpluggedDeviceClosesThePortOnceWithoutSpinning()
{
    Harness h;
    h.addDevice(1);
    QVERIFY(h.connectWindow());
    QSignalSpy lost(h.port(), &SerialPort::lost);
    h.removeDevices();
    QVERIFY(waitUntil([&] { return !h.port()->isOpen(); }));
    // Idle while the port is looked for again, three attempts long.
    const qsizetype opens = h.port()->opens.size();
    const std::clock_t before = std::clock();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waitUntil([&] { return h.port()->opens.size() >= opens + 3; }));
    // A share of one core: a spin would take all the machine gives it.
    const double cpuMs = 1000.0 * double(std::clock() - before) / CLOCKS_PER_SEC;
    QVERIFY2(cpuMs < 0.25 * double(clock.elapsed()),
             qPrintable(QStringLiteral("CPU %1 ms in %2 ms").arg(cpuMs).arg(clock.elapsed())));
    QCOMPARE(lost.count(), 1);
    QVERIFY(h.controls().com.Text2->text().startsWith(
        QStringLiteral("Lost the KZ on port # 1: the device was unplugged.")));
    // Sends after the loss are dropped quietly.
    h.window()->link().sendCommand(QStringLiteral("@ 2 2"));
    QVERIFY(h.window()->isVisible());
}

// Unplugged during a question and plugged back in: the question ends at
// once, the port is tried no more than once a (scaled) second, and once the
// KZ answers again the pages reach it without a restart.
void TestConnection::theKzComingBackIsFoundAgain()
{
    Harness h(0.1);
    h.addDevice(1);
    QVERIFY(h.connectWindow());
    const auto &c = h.controls();
    QTest::mouseClick(c.com.Command2, Qt::LeftButton);
    QVERIFY(!c.com.Command2->isEnabled());

    const qsizetype opensBefore = h.port()->opens.size();
    QElapsedTimer away;
    away.start();
    h.removeDevices();
    QVERIFY(waitUntil([&] { return c.com.Command2->isEnabled(); }, 2000));
    QVERIFY(c.com.Text2->text().contains(QStringLiteral("Lost the KZ on port # 1")));
    QVERIFY(waitUntil([&] { return h.port()->opens.size() >= opensBefore + 2; }));

    sim::SimulatedKz *kz = h.addDevice(1);
    QVERIFY(waitUntil([&] { return h.port()->isOpen(); }));
    const qint64 awayMs = away.elapsed();
    const qsizetype attempts = h.port()->opens.size() - opensBefore;
    QVERIFY2(attempts <= awayMs / Pacing::scaled(1000) + 2,
             qPrintable(QStringLiteral("%1 opens in %2 ms").arg(attempts).arg(awayMs)));
    QVERIFY(waitUntil([&] {
        return c.com.Text2->text().startsWith(QStringLiteral("The KZ is back on port # 1."));
    }));
    QCOMPARE(c.com.Text2->text().count(QStringLiteral("is back")), 1);

    kz->clearReceived();
    c.form.TabStrip1->setCurrentIndex(1); // "KZ"
    QVERIFY(waitUntil([&] { return kz->receivedLines().contains(QStringLiteral("@ 47 1 1")); }));
}

void TestConnection::aLostKzIsLookedForOnceASecond()
{
    Harness h(0.1);
    h.addDevice(1);
    QVERIFY(h.connectWindow());
    const qsizetype opensBefore = h.port()->opens.size();
    h.removeDevices();
    QVERIFY(waitUntil([&] { return h.port()->opens.size() >= opensBefore + 5; }, 10000));
    // Attempts a tick apart: the shortest gap says how often the timer
    // fires, whatever a loaded machine adds to some of them.
    const QList<qint64> times = h.port()->openTimes.mid(opensBefore);
    qint64 shortest = std::numeric_limits<qint64>::max();
    for (qsizetype i = 1; i < times.size(); ++i)
        shortest = std::min(shortest, times[i] - times[i - 1]);
    const double second = Pacing::scaled(1000);
    QVERIFY2(shortest >= 0.9 * second && shortest < 2 * second,
             qPrintable(QStringLiteral("attempts %1 ms apart at the shortest, a second is %2 ms")
                            .arg(shortest)
                            .arg(second)));
}

void TestConnection::aPortHeldByAnotherProgramIsPassedOverAndNamed_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("named");
    QTest::newRow("advisory lock") << "flock" << "Port # 2 is in use by another program";
    QTest::newRow("exclusive mode") << "exclusive" << "Port # 2 is in use by another program";
    // Process 1 lives for as long as the machine does.
    QTest::newRow("lock file") << "lockfile"
                               << "Port # 2 is in use by another program (process 1)";
}

void TestConnection::aPortHeldByAnotherProgramIsPassedOverAndNamed()
{
    QFETCH(QString, holder);
    QFETCH(QString, named);
    Harness h(0.02);
    sim::SimulatedKz *kz = h.addDevice(2);
    const QByteArray device = kz->slavePath().toLocal8Bit();
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QProcess other;
    auto endOther = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    QString lockFile;
    if (holder == QLatin1String("flock")) {
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    } else if (holder == QLatin1String("exclusive")) {
        // Exclusive mode counts while another live process has the port open.
        QCOMPARE(::ioctl(fd, TIOCEXCL), 0);
        other.setStandardInputFile(kz->slavePath());
        other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(other.waitForStarted());
        named += QStringLiteral(" (process %1)").arg(other.processId());
    } else {
        lockFile = QStringLiteral("/run/lock/LCK..")
            + kz->slavePath().mid(5).replace(u'/', u'_');
        QFile file(lockFile);
        if (!file.open(QIODevice::WriteOnly))
            QSKIP("lock files cannot be written here");
        file.write("1\nother\n");
    }
    h.createWindow();
    const auto &c = h.controls();
    MessageBoxCloser closer;
    QTest::mouseClick(c.connect.Command1, Qt::LeftButton);
    const bool ended = waitUntil([&] { return !h.window()->connection().isSearching(); });
    ::close(fd);
    if (!lockFile.isEmpty())
        QFile::remove(lockFile);
    QVERIFY(ended);
    QVERIFY(closer.seen);
    QVERIFY2(c.connect.Text1->toolTip().split(u'\n').contains(named),
             qPrintable(c.connect.Text1->toolTip()));
    QVERIFY(!c.connect.Text1->toolTip().contains(QStringLiteral("dialout")));
    // The other program's lines stay its own.
    QCOMPARE(kz->receivedBytes(), QByteArray());
}

// Fault: a lock file left by a program that died keeps the port refused.
void TestConnection::aLockFileOfADeadProgramIsPassedOver()
{
    Harness h(0.02);
    sim::SimulatedKz *kz = h.addDevice(1);
    QFile lock(QStringLiteral("/run/lock/LCK..") + kz->slavePath().mid(5).replace(u'/', u'_'));
    if (!lock.open(QIODevice::WriteOnly))
        QSKIP("lock files cannot be written here");
    lock.write("999999999\n"); // above the largest process id
    lock.close();
    MessageBoxCloser closer; // a refused port ends the search with a message box
    const bool connected = h.connectWindow();
    if (!connected)
        lock.remove(); // else the program took it over and removes it
    QVERIFY(connected);
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
