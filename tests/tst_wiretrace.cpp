// SPDX-License-Identifier: GPL-3.0-or-later
// The wire trace as the program writes it: every byte recorded once and read
// back the same, a bounded file, the menu on the pages, and files that are
// no trace refused with their line.
#include "device/pacing.h"
#include "device/tracingport.h"
#include "device/wiretrace.h"
#include "support.h"
#include "window/tracemenu.h"

#include <QAction>
#include <QGroupBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A port in memory behind the recorder, open on port 2.
struct TracedPort {
    QTemporaryDir dir;
    MemoryPort *memory = new MemoryPort;
    TracingPort port {memory};
    QString path = dir.filePath(QStringLiteral("trace.txt"));

    bool start(qint64 maxBytes = TraceWriter::kMaxBytes)
    {
        QString error;
        auto trace = TraceWriter::create(path, port.description(), &error, maxBytes);
        if (!trace)
            return false;
        port.startTrace(std::move(trace));
        return port.open(2);
    }
};

} // namespace

class TestWireTrace : public QObject {
    Q_OBJECT
private slots:
    void everyByteValueRoundTrips();
    void traceEndsAtItsLimitWithALastLine();
    void aTraceEndsWithTheProgram();
    void badInputIsRefusedWithItsLine_data();
    void badInputIsRefusedWithItsLine();
    void byteOrderMarkIsSkipped();
    void pageMenuRecordsAndStops();
    void unwritableTraceStopsTheProgramAtStart_data();
    void unwritableTraceStopsTheProgramAtStart();
};

void TestWireTrace::everyByteValueRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    TracedPort traced;
    QVERIFY(traced.start());
    traced.port.write(all);
    traced.memory->feed(all);
    QCOMPARE(traced.port.readAll(), all); // the reader gets what came, unchanged
    traced.port.stopTrace();

    const QByteArray text = readFile(traced.path);
    // The escapes as a reader of the file sees them.
    QVERIFY(text.contains(" > \\x00\\x01"));
    QVERIFY(text.contains("\\x08\\x09\\n\\x0B\\x0C\\r\\x0E"));
    QVERIFY(text.contains("\\x1F !\"#"));
    QVERIFY(text.contains("[\\\\]^"));
    QVERIFY(text.contains("}~\\x7F\\x80"));
    QVERIFY(text.contains("\\xFE\\xFF\n"));

    wiretrace::ParseError error;
    const std::optional<wiretrace::Trace> trace = wiretrace::parse(text, &error);
    QVERIFY2(trace, qPrintable(error.why));
    QCOMPARE(trace->port, 2);
    QCOMPARE(trace->events.size(), 2);
    QCOMPARE(trace->events.at(0).direction, wiretrace::Direction::Sent);
    QCOMPARE(trace->events.at(0).bytes, all);
    QCOMPARE(trace->events.at(1).direction, wiretrace::Direction::Received);
    QCOMPARE(trace->events.at(1).bytes, all);
    QCOMPARE(trace->events.at(1).port, 2);
}

void TestWireTrace::traceEndsAtItsLimitWithALastLine()
{
    constexpr qint64 kLimit = 2000;
    TracedPort traced;
    QVERIFY(traced.start(kLimit));
    QSignalSpy ended(&traced.port, &TracingPort::traceEnded);
    for (int i = 0; i < 200; ++i)
        traced.port.write("> 11 1\r");
    QCOMPARE(ended.count(), 1);
    QVERIFY(!traced.port.isTracing());
    // The port goes on working; only the recording stopped.
    QCOMPARE(traced.memory->lines().size(), 200);

    const QByteArray text = readFile(traced.path);
    QVERIFY(text.size() <= kLimit);
    QVERIFY(text.size() > kLimit - 150);
    const QByteArray last = text.trimmed().split('\n').last();
    QVERIFY2(last.contains("reached its limit of 0.002 MB"), last.constData());
    QVERIFY(ended.at(0).at(0).toString().contains(QStringLiteral("limit")));
}

// Fault: a trace of a clean run ends like one cut by a crash.
void TestWireTrace::aTraceEndsWithTheProgram()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    {
        TracingPort port(new MemoryPort);
        port.startTrace(TraceWriter::create(path, port.description(), nullptr));
    }
    QVERIFY(readFile(path).trimmed().endsWith("the program ended"));
}

void TestWireTrace::badInputIsRefusedWithItsLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("why");
    const QByteArray header = "# kz 1.41 wire trace, 2026-01-31T14:02:11Z, port 3\n";
    QTest::newRow("empty") << QByteArray() << 1 << "empty";
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << 1
                            << "not text: byte 0x89 at column 1";
    QTest::newRow("no header") << QByteArray("0 > @ 2 2\\r\n") << 1 << "not a wire trace";
    QTest::newRow("truncated") << header + "10 > @ 2 2\\r\n20 < ^" << 3 << "truncated";
    QTest::newRow("no direction") << header + "10 > @ 2 2\\r\n20 @ 1 1\\r\n" << 3 << "no direction";
    QTest::newRow("no time") << header + "> @ 2 2\\r\n" << 2 << "milliseconds";
    QTest::newRow("cut escape") << header + "10 > @ 2 2\\x0\n"
                                << 2 << "\"\\x\" at column 11 needs two hex digits";
    QTest::newRow("lone backslash") << header + "10 < C:\\kz\n" << 2 << "lone backslash";
    QTest::newRow("time goes back") << header + "10 > @ 2 2\\r\n5 < ^\n" << 3 << "goes back";
    QTest::newRow("raw tab") << header + "10 > @\t2 2\\r\n" << 2 << "byte 0x09 at column 7";
    QTest::newRow("nothing sent") << header + "10 < ^\n" << 2 << "no line the program sent";
    QTest::newRow("milliseconds too long")
        << header + "12345678901234567890123 > @ 2 2\r\n" << 2
        << "the milliseconds 1234567890123456... (23 digits) do not fit";
    QTest::newRow("note time too long")
        << header + "# 12345678901234567890123 port 3 closed\n" << 2 << "(23 digits) do not fit";
    QTest::newRow("header port 99") << QByteArray("# kz 1.41 wire trace, 2026-01-31T14:02:11Z, "
                                                  "port 99 (/dev/ttyUSB0)\n")
                                    << 1 << "port 99: kz opens ports 1 to 30 only";
    QTest::newRow("opened port 0") << header + "# 5 port 0 opened\n" << 2 << "port 0: kz opens";
    QTest::newRow("port too long") << header + "# 5 port 99999999999 opened\n"
                                   << 2 << "port 99999999999: kz opens";
}

void TestWireTrace::byteOrderMarkIsSkipped()
{
    wiretrace::ParseError error;
    const auto trace = wiretrace::parse("\xEF\xBB\xBF# kz 1.41 wire trace, 2026-01-31T14:02:11Z, "
                                        "port 3\n10 > @ 2 2\\r\n",
                                        &error);
    QVERIFY2(trace, qPrintable(error.why));
    QCOMPARE(trace->port, 3);
    QCOMPARE(trace->events.size(), 1);
}

void TestWireTrace::badInputIsRefusedWithItsLine()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, why);
    wiretrace::ParseError error;
    QVERIFY(!wiretrace::parse(file, &error));
    QCOMPARE(error.line, line);
    QVERIFY2(error.why.contains(why), qPrintable(error.why));
}

void TestWireTrace::pageMenuRecordsAndStops()
{
    WindowHarness harness; // scales time
    QTemporaryDir dir;
    auto *memory = new MemoryPort;
    memory->setScript([](const QString &line) {
        return line == QLatin1String("@ 2 2") ? QByteArray("^") : QByteArray();
    });
    auto *port = new TracingPort(memory);
    Form1 window(port);
    window.show();
    auto *menu = new TraceMenu(window, *port);
    QString chosen = dir.filePath(QStringLiteral("no/such/folder/trace.txt"));
    menu->setFileChooser([&](QWidget *) { return chosen; });
    QAction *record = menu->recordAction();
    QVERIFY(window.controls().com.comframe->actions().contains(record));
    QVERIFY(!menu->stopAction()->isEnabled());

    // A file that cannot be written: said so, nothing checked.
    MessageBoxCloser closer;
    record->trigger();
    QVERIFY(closer.seen);
    QVERIFY2(closer.text.contains(QStringLiteral("no/such/folder")), qPrintable(closer.text));
    QVERIFY(!record->isChecked());
    QVERIFY(!port->isTracing());

    chosen = dir.filePath(QStringLiteral("trace.txt"));
    record->trigger();
    QVERIFY(record->isChecked());
    QVERIFY(menu->stopAction()->isEnabled());
    QVERIFY(clickConnect(window));
    menu->stopAction()->trigger();
    QVERIFY(!record->isChecked());
    QVERIFY(!menu->stopAction()->isEnabled());

    const QList<QByteArray> lines = readFile(chosen).split('\n');
    QVERIFY(lines.first().endsWith(", no port open"));
    QVERIFY(lines.at(1).endsWith(" receive tick " + QByteArray::number(Pacing::scaled(200))
                                 + " ms"));
    QVERIFY(lines.at(2).endsWith(" port 1 opened"));
    QVERIFY(lines.at(3).endsWith(" > @ 2 2\\r"));
    QVERIFY(lines.at(4).endsWith(" < ^"));
    QVERIFY(lines.at(lines.size() - 2).endsWith(" recording stopped"));
}

void TestWireTrace::unwritableTraceStopsTheProgramAtStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing folder") << "/nonexistent-kz-folder/trace.txt"
                                    << "No such file";
    QTest::newRow("a folder") << QDir::tempPath() << "it is a folder";
    // A device could block the program or take the trace nowhere; a failed
    // write to a regular file is tried on a full disk in tst_filesafety.
    QTest::newRow("a device") << "/dev/full" << "it is not a regular file";
}

void TestWireTrace::unwritableTraceStopsTheProgramAtStart()
{
    QFETCH(QString, path);
    QFETCH(QString, why);
    QProcess kz;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kz.setProcessEnvironment(env);
    // With --connect a program that started anyway would print it.
    kz.start(QStringLiteral(KZ_APP_PATH),
             {QStringLiteral("--simulate"), QStringLiteral("--connect"), QStringLiteral("--trace"),
              path});
    QVERIFY(kz.waitForFinished(20000));
    QCOMPARE(kz.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(kz.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("cannot write the trace ") + path), qPrintable(err));
    QVERIFY2(err.contains(why), qPrintable(err));
    QVERIFY(kz.readAllStandardOutput().isEmpty());
}

QTEST_MAIN(TestWireTrace)
#include "tst_wiretrace.moc"
