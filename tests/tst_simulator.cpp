// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulatedkz.h"
#include "support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sys/resource.h>

using kz::sim::SimulatedKz;

namespace {

constexpr int kTimeoutMs = 5000;
// Its answer is known in every probe mode, so once it has arrived every
// earlier answer has too, and the absence of one can be checked without
// waiting for time to pass.
constexpr char kMarker[] = "> 27 10 10\r";
constexpr char kMarkerAnswer[] = "KZ FIRMWARE 2.10^";

// The program's side: a serial port on the simulator's slave that collects
// everything answered.
struct Bench {
    SimulatedKz kz;
    QSerialPort port;
    QByteArray answers;

    bool open(const QString &path = {})
    {
        if (!kz.isRunning() && !kz.start())
            return false;
        port.setPortName(path.isEmpty() ? kz.slavePath() : path);
        port.setBaudRate(19200);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { answers += port.readAll(); });
        return port.open(QIODevice::ReadWrite);
    }

    void write(const QByteArray &text)
    {
        port.write(text);
        port.flush();
    }
};

double processCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void probes_data()
    {
        QTest::addColumn<SimulatedKz::ProbeAnswers>("mode");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("both") << SimulatedKz::ProbeAnswers::Both << QByteArray("^!");
        QTest::newRow("second only") << SimulatedKz::ProbeAnswers::SecondOnly << QByteArray("!");
        QTest::newRow("none") << SimulatedKz::ProbeAnswers::None << QByteArray();
    }

    void probes()
    {
        QFETCH(SimulatedKz::ProbeAnswers, mode);
        QFETCH(QByteArray, expected);
        Bench bench;
        QVERIFY(bench.open());
        bench.kz.setProbeAnswers(mode);
        bench.write(QByteArray("@ 2 2\r@ 1 1\r") + kMarker);
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith(kMarkerAnswer), kTimeoutMs);
        QCOMPARE(bench.answers, expected + kMarkerAnswer);
        // Probes are no words said.
        QVERIFY(bench.kz.wordsSaid().isEmpty());
    }

    void linesSplitAcrossChunks()
    {
        Bench bench;
        QVERIFY(bench.open());
        QSignalSpy lines(&bench.kz, &SimulatedKz::lineReceived);
        bench.write("@ 2");
        QTRY_COMPARE_WITH_TIMEOUT(bench.kz.receivedBytes(), QByteArray("@ 2"), kTimeoutMs);
        QVERIFY(bench.kz.receivedLines().isEmpty());
        bench.kz.setReadings({57});
        bench.write(" 2\r\n> 11 1\r");
        QTRY_COMPARE_WITH_TIMEOUT(lines.count(), 2, kTimeoutMs);
        QCOMPARE(bench.kz.receivedLines(), QStringList({"@ 2 2", "> 11 1"}));
        QCOMPARE(lines.at(0).at(0).toString(), QString("@ 2 2"));
        QCOMPARE(bench.kz.receivedBytes(), QByteArray("@ 2 2\r\n> 11 1\r"));
        QTRY_COMPARE_WITH_TIMEOUT(bench.answers, QByteArray("^57^"), kTimeoutMs);

        bench.kz.clearReceived();
        QVERIFY(bench.kz.receivedBytes().isEmpty());
        QVERIFY(bench.kz.receivedLines().isEmpty());
    }

    void readings()
    {
        Bench bench;
        QVERIFY(bench.open());
        bench.kz.setReadings({10, 20, 30});
        bench.write(QByteArray("> 11 1\r> 11 2\r> 11 3\r> 11 1\r> 11 4\r") + kMarker);
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith(kMarkerAnswer), kTimeoutMs);
        QCOMPARE(bench.answers, QByteArray("10^20^30^10^") + kMarkerAnswer);
        QCOMPARE(bench.kz.readingsSent(), 4);

        // A seed gives the same readings each time it is set, all in range.
        auto seededReadings = [&bench](quint32 seed, bool wandering = false) {
            if (wandering)
                bench.kz.setWanderingReadings(seed);
            else
                bench.kz.setReadingSeed(seed);
            bench.answers.clear();
            bench.write(QByteArray("> 11 1\r").repeated(20) + kMarker);
            if (!QTest::qWaitFor([&] { return bench.answers.endsWith(kMarkerAnswer); }, kTimeoutMs))
                return QList<int>();
            QList<int> values;
            const QList<QByteArray> parts
                = bench.answers.chopped(sizeof kMarkerAnswer - 1).split('^');
            for (const QByteArray &part : parts.first(parts.size() - 1))
                values.append(part.toInt());
            return values;
        };
        const QList<int> first = seededReadings(42);
        QCOMPARE(first.size(), 20);
        QCOMPARE(seededReadings(42), first);
        QVERIFY(std::all_of(first.begin(), first.end(), [](int v) { return v >= 0 && v <= 200; }));
        QVERIFY(std::any_of(first.begin(), first.end(), [&](int v) { return v != first.front(); }));

        // Wandering readings drift: each near the last, and not all alike.
        const QList<int> walk = seededReadings(42, true);
        QCOMPARE(walk.size(), 20);
        QCOMPARE(seededReadings(42, true), walk);
        for (qsizetype i = 1; i < walk.size(); ++i)
            QVERIFY2(std::abs(walk.at(i) - walk.at(i - 1)) <= 16, qPrintable(QString::number(i)));
        QVERIFY(std::any_of(walk.begin(), walk.end(), [&](int v) { return v != walk.front(); }));
    }

    void dumpOfWordsSaid()
    {
        Bench bench;
        QVERIFY(bench.open());
        // A lone "> 2 1" is no dump request.
        bench.write(QByteArray("> 2 1\r> 14 1\r* 800\r> 2 1\r") + kMarker);
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith(kMarkerAnswer), kTimeoutMs);
        QCOMPARE(bench.answers, QByteArray("No words^") + kMarkerAnswer);

        bench.answers.clear();
        bench.write("@ 100 0\r@  7  0 \r@ 2051 0\r> 14 1\r* 800\r> 2 1\r");
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith('^'), kTimeoutMs);
        QCOMPARE(bench.kz.wordsSaid(), QList<int>({100, 7}));
        QCOMPARE(bench.answers, QByteArray("Word 1 PROM d 100\r\nWord 2 PROM d 7^"));

        bench.answers.clear();
        bench.kz.setDumpWords({5});
        bench.write("> 14 1\r* 800\r> 2 1\r");
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith('^'), kTimeoutMs);
        QCOMPARE(bench.answers, QByteArray("Word 1 PROM d 5^"));
    }

    void uploadBlock()
    {
        Bench bench;
        QVERIFY(bench.open());
        // Sensitivity values share the "*" lines with an upload but never
        // complete or fill its block.
        QByteArray text = "> 4 2\r@ 1000\r";
        for (int k = 0; k < 31; ++k)
            text += "* " + QByteArray::number(k * 3) + '\r';
        bench.write(text + "> 40 2\r* 1\r* 2\r* 3\r* 4\r" + kMarker);
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith(kMarkerAnswer), kTimeoutMs);
        QCOMPARE(bench.answers, QByteArray(kMarkerAnswer));
        QCOMPARE(bench.kz.store().size(), 31);
        QCOMPARE(bench.kz.store().value(1060), 90);

        // A fresh block, written the way the program writes it, is answered
        // after its 32nd value.
        bench.answers.clear();
        text = ">  4 2\r@  1000\r";
        for (int k = 0; k < 32; ++k)
            text += "*  " + QByteArray::number(-k) + '\r';
        bench.write(text + kMarker);
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.endsWith(kMarkerAnswer), kTimeoutMs);
        QCOMPARE(bench.answers, QByteArray("^") + kMarkerAnswer);
        const QMap<int, int> store = bench.kz.store();
        QCOMPARE(store.size(), 32);
        QCOMPARE(store.firstKey(), 1000);
        QCOMPARE(store.lastKey(), 1062);
        QCOMPARE(store.value(1000 + 2 * 17), -17);
    }

    void idleAfterPortCloses()
    {
        Bench bench;
        QVERIFY(bench.open());
        bench.write("@ 2 2\r");
        QTRY_COMPARE_WITH_TIMEOUT(bench.answers, QByteArray("^"), kTimeoutMs);
        bench.port.close();
        // Idle for 300 ms of event-loop time: a spin on the closed port would
        // take all of a core the machine gives it.
        const double before = processCpuMs();
        QElapsedTimer clock;
        clock.start();
        kz::test::TickClock idle;
        QVERIFY(QTest::qWaitFor([&] { return idle.designMs() >= 300; }, kTimeoutMs));
        QCOMPARE_LT(processCpuMs() - before, 0.25 * double(clock.elapsed()));
        // Still answering when the program comes back.
        bench.answers.clear();
        QVERIFY(bench.port.open(QIODevice::ReadWrite));
        bench.write("@ 2 2\r");
        QTRY_COMPARE_WITH_TIMEOUT(bench.answers, QByteArray("^"), kTimeoutMs);
    }

    void comPortLink()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath("ports/kz");
        const QString link = folder + "/COM3";
        QVERIFY(QDir().mkpath(folder));
        // A link left by a simulator that died points nowhere.
        QVERIFY(QFile::link(dir.filePath("gone"), link));
        {
            Bench bench;
            QVERIFY(bench.kz.start());
            QString error;
            QVERIFY2(bench.kz.linkAs(folder, 3, &error), qPrintable(error));
            QCOMPARE(QFileInfo(link).symLinkTarget(), bench.kz.slavePath());
            QVERIFY(bench.open(link));
            bench.write("@ 1 1\r");
            QTRY_COMPARE_WITH_TIMEOUT(bench.answers, QByteArray("!"), kTimeoutMs);
            // Folders are made as needed.
            QVERIFY2(bench.kz.linkAs(dir.filePath("new/deeper"), 5, &error), qPrintable(error));
            QVERIFY(QFileInfo(dir.filePath("new/deeper/COM5")).isSymLink());

            QFile plain(folder + "/COM4");
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.close();
            QVERIFY(!bench.kz.linkAs(folder, 4, &error));
            QVERIFY(!error.isEmpty());
        }
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo(dir.filePath("new/deeper/COM5")).isSymLink());
        QVERIFY(QFileInfo::exists(folder + "/COM4"));
    }

    void delayedAnswerAfterModeReport()
    {
        Bench bench;
        QVERIFY(bench.open());
        bench.kz.setFirmwareVersion("KZ FIRMWARE 3.01");
        bench.kz.setReplyDelayMs(100);
        bench.write("> 27 10 10\r");
        QTRY_COMPARE_WITH_TIMEOUT(bench.kz.receivedLines().size(), 1, kTimeoutMs);
        // The report is unsolicited and overtakes the delayed answer.
        bench.kz.sendModeReport(1234);
        QTRY_COMPARE_WITH_TIMEOUT(bench.answers, QByteArray("AA = 1234^KZ FIRMWARE 3.01^"),
                                  kTimeoutMs);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
