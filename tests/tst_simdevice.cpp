// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulatedkz.h"

#include "device/pacing.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using kz::sim::SimulatedKz;
using Mode = SimulatedKz::Mode;

namespace {

constexpr int kTimeoutMs = 5000;
constexpr double kTimeScale = 0.05;
constexpr int kReportDesignMs = 400;
// Ten of the longest scaled interval: time enough for output that must not come.
constexpr int kQuietMs = 10 * kReportDesignMs * kTimeScale;
constexpr char kMarkerAnswer[] = "KZ FIRMWARE 2.10^";

// The program's side of the line.
struct Bench {
    SimulatedKz kz;
    QSerialPort port;
    QByteArray answers;

    bool open()
    {
        port.setPortName(kz.start() ? kz.slavePath() : QString());
        QObject::connect(&port, &QSerialPort::readyRead, [this] { answers += port.readAll(); });
        return port.open(QIODevice::ReadWrite);
    }
    void write(const QByteArray &lines) { port.write(lines + '\r'); }
    // Everything before the firmware answer has then been handled.
    bool settle(const QByteArray &lines)
    {
        write(lines + "\r> 27 10 10");
        return QTest::qWaitFor([this] { return answers.endsWith(kMarkerAnswer); }, kTimeoutMs);
    }
};

QString state(const SimulatedKz &kz)
{
    QStringList said;
    for (const SimulatedKz::SpokenWord &word : kz.spokenWords())
        said << QString::number(word.number) + (word.reversed ? "r" : "");
    auto voice = [](const SimulatedKz::Voice &v) {
        return QString("%1 %2 %3 %4 %5")
            .arg(v.flag)
            .arg(v.volume)
            .arg(v.speed)
            .arg(v.pitch)
            .arg(v.bend);
    };
    return QString("said %1; voice %2; stored %3; amp %4")
        .arg(said.join(' '), voice(kz.voice()), voice(kz.storedVoice()), kz.ampOn() ? "on" : "off");
}

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kz::Pacing::setTimeScale(kTimeScale); }
    void cleanupTestCase() { kz::Pacing::setTimeScale(1.0); }

    void modesRunUntilStopped_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QByteArray>("output");
        const QByteArray reports = "AA = 5^AA = 1234^AA = 5^";
        QTest::newRow("dictionary")
            << QByteArray("> 47 1 1\r> 18 2") << Mode::Dictionary << reports;
        QTest::newRow("phonetic") << QByteArray("> 47 0 1\r> 15 2") << Mode::Phonetic << reports;
        QTest::newRow("reverse phonetic")
            << QByteArray("> 16 2") << Mode::ReversePhonetic << reports;
        QTest::newRow("touch") << QByteArray("> 12 1\r> 17 2") << Mode::Touch
                               << QByteArray("7^8^7^");
        QTest::newRow("a mode ends touch")
            << QByteArray("> 17 2\r> 18 2") << Mode::Dictionary << reports;
        QTest::newRow("voice change")
            << QByteArray("> 20 1 1") << Mode::VoiceChange << QByteArray();
    }

    void modesRunUntilStopped()
    {
        QFETCH(QByteArray, lines);
        QFETCH(Mode, mode);
        QFETCH(QByteArray, output);
        Bench bench;
        QVERIFY(bench.open());
        bench.kz.setReadings({7, 8});
        bench.kz.setReportWords({5, 1234});
        bench.kz.setReportInterval(kReportDesignMs);
        QSignalSpy sent(&bench.kz, &SimulatedKz::sent);

        bench.write(lines);
        QTRY_COMPARE_WITH_TIMEOUT(bench.kz.mode(), mode, kTimeoutMs);
        if (output.isEmpty())
            QVERIFY(!QTest::qWaitFor([&] { return sent.count() > 0; }, kQuietMs));
        QTRY_VERIFY_WITH_TIMEOUT(bench.answers.size() >= output.size(), kTimeoutMs);
        QCOMPARE(bench.answers.left(output.size()), output);
        // Reported words are said; readings are not.
        const QList<int> said = bench.kz.wordsSaid();
        QCOMPARE(said.mid(0, 3), output.startsWith("AA") ? QList<int>({5, 1234, 5}) : QList<int>());

        bench.write("@ 2 2");
        QTRY_COMPARE_WITH_TIMEOUT(bench.kz.mode(), Mode::None, kTimeoutMs);
        QCOMPARE(sent.last().at(0).toByteArray(), QByteArray("^"));
        const qsizetype afterStop = sent.count();
        QVERIFY(!QTest::qWaitFor([&] { return sent.count() > afterStop; }, kQuietMs));
    }

    void linesChangeState_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<QString>("state");
        const QString start = "said ; voice 0 120 114 89 6; stored 0 120 114 89 6; amp on";
        QTest::newRow("steady readings")
            << QByteArray("> 11 1\r> 11 2\r> 11 3") << QByteArray("100^100^100^") << start;
        QTest::newRow("say word, window") << QByteArray("> 26  10  10  5\r@  5 1") << QByteArray()
                                          << QString(start).replace("said ", "said 5r");
        QTest::newRow("say word, receive loop")
            << QByteArray("> 26  10  10 \r@ 199 0 ") << QByteArray()
            << QString(start).replace("said ", "said 199");
        QTest::newRow("the last word, 2050") // fault: the store's last word unsaid
            << QByteArray("> 26  10  10 \r@ 2050 0 ") << QByteArray()
            << QString(start).replace("said ", "said 2050");
        QTest::newRow("word 1 reversed is no probe")
            << QByteArray("> 26  10  10  1\r@  1 1") << QByteArray()
            << QString(start).replace("said ", "said 1r");
        QTest::newRow("voice loaded, a poll between")
            << QByteArray("> 24 22\r@  1 100 90 80 5\r> 11 1\r@  1 100 90 80 5")
            << QByteArray("100^") << "said ; voice 1 100 90 80 5; stored 0 120 114 89 6; amp on";
        QTest::newRow("voice stored")
            << QByteArray("> 24 22\r@  1 9 8 7 6\r> 23 10 10") << QByteArray()
            << "said ; voice 1 9 8 7 6; stored 1 9 8 7 6; amp on";
        QTest::newRow("amp off") << QByteArray("> 12 1") << QByteArray()
                                 << QString(start).replace("amp on", "amp off");
        QTest::newRow("amp on again") << QByteArray("> 12 1\r> 12 0") << QByteArray() << start;
    }

    void linesChangeState()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, answers);
        QFETCH(QString, state);
        Bench bench;
        QVERIFY(bench.open());
        QVERIFY(bench.settle(lines));
        QCOMPARE(bench.answers, answers + kMarkerAnswer);
        QCOMPARE(::state(bench.kz), state);
    }

    void readingsStayScriptable()
    {
        Bench bench;
        QVERIFY(bench.open());
        bench.kz.setReadings({1, 2});
        bench.kz.setReadings({});
        QVERIFY(bench.settle("> 11 1\r> 11 1"));
        QCOMPARE(bench.answers, QByteArray("100^100^") + kMarkerAnswer);
        bench.answers.clear();
        bench.kz.setSteadyReading(42);
        QVERIFY(bench.settle("> 11 3\r> 11 3"));
        QCOMPARE(bench.answers, QByteArray("42^42^") + kMarkerAnswer);
    }

    void storeRowsOfABlock()
    {
        Bench bench;
        QVERIFY(bench.open());
        // Elements 32 to 63: the end of row 3 to the start of row 6.
        QByteArray block = ">  4 2\r@  " + QByteArray::number(SimulatedKz::kWordStoreAddress + 64);
        for (int i = 32; i < 64; ++i)
            block += "\r*  " + QByteArray::number(i);
        QVERIFY(bench.settle(block + "\r> 4 2\r@ 1000\r* 5"));
        QCOMPARE(bench.answers, QByteArray("^") + kMarkerAnswer);
        const QMap<int, QList<int>> rows = bench.kz.storeRows();
        QCOMPARE(rows.keys(), QList<int>({3, 4, 5, 6}));
        QCOMPARE(rows[3], QList<int>({0, 0, 32, 33, 34, 35, 36, 37, 38, 39}));
        QCOMPARE(rows[6], QList<int>({60, 61, 62, 63}));
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
