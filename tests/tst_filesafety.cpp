// SPDX-License-Identifier: GPL-3.0-or-later
// Files under stress: writes that stop part way (a file that may grow no
// further, a file system that fills up), names that are not text, and files
// given to kz-sim --replay that are no trace at all.
#include "device/filewrite.h"
#include "device/tracingport.h"
#include "device/wiretrace.h"
#include "questions/logfile.h"
#include "questions/questiondesk.h"
#include "support.h"
#include "window/form1.h"

#include <QGroupBox>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kz;
using namespace kz::test;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file that may grow to `bytes` and no further, as a device that fails
// after N bytes: the write that crosses the limit is cut short, the next one
// fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit m_before {};
    void (*m_signal)(int) = nullptr;
};

// A 64 KB file system of its own, which can be filled up; only root can
// mount one.
class SmallDisk {
public:
    SmallDisk()
    {
        if (::geteuid() != 0)
            m_why = QStringLiteral("mounting a small tmpfs needs root");
        else if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                         "size=64k")
                 != 0)
            m_why = QStringLiteral("tmpfs not mounted: ") + systemErrorText(errno);
    }
    ~SmallDisk()
    {
        if (m_why.isEmpty())
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    Q_DISABLE_COPY_MOVE(SmallDisk)

    QString unavailable() const { return m_why; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Takes every byte left.
    bool fill()
    {
        QFile filler(path(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) { }
        return true;
    }
    bool freeUp() { return QFile::remove(path(QStringLiteral("filler"))); }

private:
    QTemporaryDir m_dir;
    QString m_why;
};

// Lines of a trace that stopped, each whole: events of the one line sent,
// and notes.
bool onlyWholeLines(const QByteArray &trace, QString *why)
{
    if (!trace.endsWith('\n')) {
        *why = QStringLiteral("the trace does not end with a line feed");
        return false;
    }
    static const QRegularExpression line(QStringLiteral("^(\\d+ > @ 2 2\\\\r|# .*)$"));
    const QList<QByteArray> lines = trace.chopped(1).split('\n');
    for (const QByteArray &text : lines) {
        if (!line.match(QString::fromLatin1(text)).hasMatch()) {
            *why = QStringLiteral("a line cut or mixed: ") + QString::fromLatin1(text);
            return false;
        }
    }
    return true;
}

struct SimRun {
    int exitCode = -1;
    QByteArray err;
    QByteArray out;
};

SimRun runReplay(const QByteArray &file, const QStringList &more = {})
{
    SimRun run;
    QTemporaryDir ports;
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_PATH),
              QStringList {QStringLiteral("--replay"), QString::fromLocal8Bit(file),
                           QStringLiteral("--dir"), ports.path()}
                  + more);
    if (!sim.waitForFinished(20000)) {
        sim.kill();
        sim.waitForFinished();
        run.err = "kz-sim did not end";
        return run;
    }
    run.exitCode = sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
    run.err = sim.readAllStandardError();
    run.out = sim.readAllStandardOutput();
    return run;
}

} // namespace

class TestFileSafety : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void logEntryIsWholeOrAbsent_data();
    void logEntryIsWholeOrAbsent();
    void traceStopsAfterAWholeLine_data();
    void traceStopsAfterAWholeLine();
    void fullDiskKeepsEntriesWholeAndNamesTheCause();
    void logFailureIsShownOnThePageShown();
    void namesAreShownByteForByte_data();
    void namesAreShownByteForByte();
    void replayRefusesWhatIsNoTraceFile_data();
    void replayRefusesWhatIsNoTraceFile();
    void replayPlaysATraceCutByAFullDisk();

private:
    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<WindowHarness> m_harness;
};

void TestFileSafety::initTestCase()
{
    m_startFolder = QDir::currentPath();
}

void TestFileSafety::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_harness = std::make_unique<WindowHarness>(0.05);
    m_harness->createWindow();
}

void TestFileSafety::cleanup()
{
    m_harness.reset();
    QDir::setCurrent(m_startFolder);
    m_folder.reset();
}

void TestFileSafety::logEntryIsWholeOrAbsent_data()
{
    QTest::addColumn<int>("room");
    QTest::newRow("no room at all") << 0;
    QTest::newRow("cut in the middle") << 20;
    QTest::newRow("cut before the line end") << 47;
}

void TestFileSafety::logEntryIsWholeOrAbsent()
{
    QFETCH(int, room);
    const QByteArray earlier = "USER: earlier\r\n";
    const QString entry = QStringLiteral("KZ  : %1\r\n").arg(QString(40, u'w'));
    QCOMPARE(entry.size(), 48);
    LogFile &log = m_harness->window()->log();
    QVERIFY(log.writeEntry(QString::fromLatin1(earlier)));
    {
        FileSizeLimit limit(earlier.size() + room);
        QVERIFY(!log.writeEntry(entry));
        QVERIFY2(log.lastError().endsWith(systemErrorText(EFBIG)), qPrintable(log.lastError()));
        QCOMPARE(fileBytes(LogFile::fileName()), earlier);
    }
    // Room again: the next entry starts its own line, and the refused one
    // does not come back.
    QVERIFY(log.writeEntry(QStringLiteral("KZ  : next\r\n")));
    log.close();
    QCOMPARE(fileBytes(LogFile::fileName()), earlier + "KZ  : next\r\n");
}

void TestFileSafety::traceStopsAfterAWholeLine_data()
{
    QTest::addColumn<int>("room");
    QTest::newRow("room for a few lines") << 100;
    QTest::newRow("room for many lines") << 4000;
}

void TestFileSafety::traceStopsAfterAWholeLine()
{
    QFETCH(int, room);
    const QString path = m_folder->filePath(QStringLiteral("trace.txt"));
    QString error;
    auto trace = TraceWriter::create(path, wiretrace::kNoPort, &error);
    QVERIFY2(trace, qPrintable(error));
    const qint64 header = QFileInfo(path).size();
    {
        FileSizeLimit limit(header + room);
        for (int i = 0; i < 1000 && trace->isRunning(); ++i)
            trace->event(wiretrace::Direction::Sent, "@ 2 2\r");
    }
    QVERIFY(!trace->isRunning());
    QVERIFY2(trace->endedBecause().endsWith(systemErrorText(EFBIG)),
             qPrintable(trace->endedBecause()));
    const QByteArray written = fileBytes(path);
    QVERIFY(written.size() <= header + room);
    QVERIFY(written.count('\n') > 1);
    QVERIFY2(onlyWholeLines(written.mid(header), &error), qPrintable(error));
}

void TestFileSafety::fullDiskKeepsEntriesWholeAndNamesTheCause()
{
    SmallDisk disk;
    if (!disk.unavailable().isEmpty())
        QSKIP(qPrintable(disk.unavailable()));
    const QString noSpace = systemErrorText(ENOSPC);

    LogFile &log = m_harness->window()->log();
    std::unique_ptr<TraceWriter> trace;
    // Off the small disk before it goes, whatever happens here.
    auto leave = qScopeGuard([&] {
        log.close();
        trace.reset();
        QDir::setCurrent(m_folder->path());
    });
    QVERIFY(QDir::setCurrent(disk.path(QString())));
    const QByteArray question = "USER: is it full\r\n";
    QVERIFY(log.writeEntry(QString::fromLatin1(question)));
    const QString path = disk.path(QStringLiteral("trace.txt"));
    QString error;
    trace = TraceWriter::create(path, wiretrace::kNoPort, &error);
    QVERIFY2(trace, qPrintable(error));
    trace->event(wiretrace::Direction::Sent, "@ 2 2\r");
    QVERIFY(disk.fill());

    // Longer than the room left in the log's last block.
    QVERIFY(!log.writeEntry(QStringLiteral("KZ  :%1\r\n").arg(QString(6000, u'a'))));
    QVERIFY2(log.lastError().endsWith(noSpace), qPrintable(log.lastError()));
    QCOMPARE(fileBytes(LogFile::fileName()), question);

    for (int i = 0; i < 2000 && trace->isRunning(); ++i)
        trace->event(wiretrace::Direction::Sent, "@ 2 2\r");
    QVERIFY(!trace->isRunning());
    QVERIFY2(trace->endedBecause().endsWith(noSpace), qPrintable(trace->endedBecause()));
    const QByteArray written = fileBytes(path);
    // The last line says why, and the trace is still one.
    QVERIFY2(written.endsWith(noSpace.toUtf8() + '\n'), written.right(200).constData());
    wiretrace::ParseError parseError;
    QVERIFY2(wiretrace::parse(written, &parseError), qPrintable(parseError.why));

    QVERIFY(disk.freeUp());
    const QByteArray answer = "KZ  : yes\r\n";
    QVERIFY(log.writeEntry(QString::fromLatin1(answer)));
    log.close();
    QCOMPARE(fileBytes(LogFile::fileName()), question + answer);
}

void TestFileSafety::logFailureIsShownOnThePageShown()
{
    QTemporaryDir locked;
    enterUnwritableFolder(locked);
    Form1 &window = *m_harness->window();
    const auto &c = m_harness->controls();
    c.com.comframe->hide();
    c.log.Frame10->show();
    window.questions().ask(QuestionDesk::AskedBy::Button);
    auto *box = window.findChild<QMessageBox *>(QStringLiteral("writeFailure"));
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("Log not written: ") + window.log().lastError());
    QDir::setCurrent(m_folder->path());
}

void TestFileSafety::namesAreShownByteForByte_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9.txt") << QStringLiteral("caf\u00e9.txt");
    QTest::newRow("Latin-1 byte") << QByteArray("tr\xff.txt") << QStringLiteral("tr\\xFF.txt");
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << QStringLiteral("a\\xC0\\xAF");
    QTest::newRow("cut sequence") << QByteArray("a\xe2\x82") << QStringLiteral("a\\xE2\\x82");
    QTest::newRow("line feed") << QByteArray("a\nb") << QStringLiteral("a\\x0Ab");
    QTest::newRow("backslash") << QByteArray("a\\xFF") << QStringLiteral("a\\\\xFF");
}

void TestFileSafety::namesAreShownByteForByte()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    QCOMPARE(readableFileName(name), shown);
    // The file made is the one named.
    const QByteArray path = QFile::encodeName(m_folder->path()) + '/' + name;
    QString error;
    auto trace = TraceWriter::create(path, wiretrace::kNoPort, &error);
    QVERIFY2(trace, qPrintable(error));
    QVERIFY(trace->path().endsWith(shown));
    trace.reset();
    // Qt could not remove it by a name it cannot decode.
    QCOMPARE(::unlink(path.constData()), 0);
}

void TestFileSafety::replayRefusesWhatIsNoTraceFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("why");
    QTest::newRow("endless device") << QByteArray("/dev/zero") << QStringLiteral("a device");
    QTest::newRow("pipe") << QByteArray("fifo") << QStringLiteral("a pipe");
    QTest::newRow("socket") << QByteArray("socket") << QStringLiteral("a socket");
    QTest::newRow("folder") << QByteArray(".") << QStringLiteral("a folder");
    QTest::newRow("empty name") << QByteArray() << QStringLiteral("needs the name");
}

void TestFileSafety::replayRefusesWhatIsNoTraceFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, why);
    // No one writes to the pipe: opening it to read would wait for ever.
    QCOMPARE(::mkfifo("fifo", 0600), 0);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(server >= 0);
    auto closeServer = qScopeGuard([&] { ::close(server); });
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "socket");
    QCOMPARE(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const SimRun run = runReplay(file);
    QVERIFY2(run.exitCode == 2, run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("kz-sim: ") && run.err.contains(why.toUtf8()),
             run.err.constData());
}

void TestFileSafety::replayPlaysATraceCutByAFullDisk()
{
    const QByteArray trace = "# kz 1.41 wire trace, 2026-01-31T14:02:11+01:00, no port open\n"
                             "# 5 port 1 opened\n"
                             "10 > @ 2 2\\r\n"
                             "20 < ^\n"
                             "30 > @ 1";
    QFile file(QStringLiteral("cut.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(trace) == trace.size());
    file.close();
    // Nothing connects: the replay plays until it is told to end.
    QTemporaryDir ports;
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_PATH), {QStringLiteral("--replay"), QStringLiteral("cut.txt"),
                                            QStringLiteral("--dir"), ports.path()});
    QByteArray out;
    QVERIFY(waitUntil(
        [&] {
            out += sim.readAllStandardOutput();
            return out.contains("replaying") || sim.state() == QProcess::NotRunning;
        },
        20000));
    QVERIFY2(out.contains("cut.txt: line 5 is cut off"), out.constData());
    QVERIFY2(out.contains("replaying cut.txt, 1 lines the program sent"), out.constData());
    QCOMPARE(::kill(pid_t(sim.processId()), SIGTERM), 0);
    QVERIFY(sim.waitForFinished(20000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
}

QTEST_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
