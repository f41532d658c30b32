// SPDX-License-Identifier: GPL-3.0-or-later
// The readings plot: what each page's path hands the log, the log's bound
// and its CSV, and the window that shows it.
#include "kit/readinglog.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "questions/questiondesk.h"
#include "support.h"
#include "window/readings/placement.h"
#include "window/readings/readings.h"
#include "window/readings/readingsoption.h"
#include "window/readings/readingsview.h"
#include "device/devicelink.h"
#include "window/tabnavigator.h"
#include "words/wordlist.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QXmlStreamReader>

using namespace kz;
using namespace kz::test;

namespace {

constexpr double kScale = 0.05;

// A reader of our own for what the export writes: RFC 4180 fields, quoted
// where they hold a comma, a quote or a line end.
QList<QStringList> parseCsv(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"')
                field += text.at(++i);
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << std::exchange(field, {});
        } else if (c == u'\n') {
            row << std::exchange(field, {});
            rows << std::exchange(row, {});
        } else {
            field += c;
        }
    }
    return rows;
}

// A point without its time, as the table below names it.
QString describe(const Reading &point)
{
    return QStringLiteral("%1|%2|%3")
        .arg(Reading::sourceName(point.source), QString::number(point.value), point.word);
}

} // namespace

class TestReadings : public QObject {
    Q_OBJECT
private slots:
    void eachPathLandsWithItsSourceAndTime_data();
    void eachPathLandsWithItsSourceAndTime();
    void timesCountFromTheFirstConnection();
    void theBoundDropsTheOldest();
    void csvRoundTrips();
    void windowOpensByShortcutAndOptionAndExports();
    void windowFollowsPausesZoomsAndNotesDrops();
    void followingShowsAWholeSpanFromTheStart();
    void eachSeriesHidesWhatItShows_data();
    void eachSeriesHidesWhatItShows();
    void opensBesideTheMainWindow_data();
    void opensBesideTheMainWindow();
    void exportWritesTheFormatChosenUnderItsName_data();
    void exportWritesTheFormatChosenUnderItsName();
    void picturesCarryTheLegendAndTheTimeRange();
    void wholeNumbersHaveWholeTicksAndTheStatusGivesTimesShown();
    void plotKeysPanZoomAndStepThroughMarks();
};

void TestReadings::eachPathLandsWithItsSourceAndTime_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("COM: a group's readings, then its word")
        << "COM"
        << "feed" << QStringList {"7^", "10^", "20^", "30^", "99^"}
        << QStringList {"COM reading|10|", "COM reading|20|", "COM reading|30|",
                        "COM word number|240|" + wordText(240)};
    QTest::newRow("COM: a number out of range names no word")
        << "COM"
        << "feed" << QStringList {"0^", "750^", "0^", "0^", "x^"}
        << QStringList {"COM reading|750|", "COM reading|0|", "COM reading|0|",
                        "COM word number|3000|"};
    QTest::newRow("KZ: Touch Mode readings, not word reports")
        << "KZ"
        << "feed" << QStringList {"57^", "AA = 12^", "300^", "^"}
        << QStringList {"Touch Mode reading|57|", "Touch Mode reading|300|"};
    QStringList pkMessages(10, QStringLiteral("100^"));
    QStringList pkExpected(10, QStringLiteral("PK reading|100|"));
    pkMessages << "130^"
               << "90^";
    pkExpected << "PK reading|130|"
               << "PK line|30|"
               << "PK reading|90|"
               << "PK line|-10|";
    QTest::newRow("PK: readings, and the line once calibrated")
        << "PK"
        << "feed" << pkMessages << pkExpected;
    QStringList tuneExpected(100, QStringLiteral("Auto tune pass|300|"));
    tuneExpected << "Auto tune Low|240|"
                 << "Auto tune Mid|300|"
                 << "Auto tune High|340|";
    QTest::newRow("SET UP: auto tune's passes and results")
        << "SET UP"
        << "tune" << QStringList() << tuneExpected;
    QTest::newRow("COM: a question and its answer")
        << "COM"
        << "ask" << QStringList() << QStringList {"Question|6|Is it, \"so\"?", "Answer|0|"};
    QTest::newRow("KZ: a mode started")
        << "KZ"
        << "mode" << QStringList() << QStringList {"Mode started|4|Touch Mode"};
    QTest::newRow("Word List: an upload's start and end")
        << "Word List"
        << "upload" << QStringList()
        << QStringList {"Upload started|0|", "Upload ended|0|no answer"};
}

void TestReadings::eachPathLandsWithItsSourceAndTime()
{
    QFETCH(QString, page);
    QFETCH(QString, action);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, expected);

    // One clock started before the connection, one after: a point's time
    // since the connection lies between what they show.
    QElapsedTimer beforeConnection;
    beforeConnection.start();
    WindowHarness h(kScale);
    QVERIFY(h.connectWindow());
    QElapsedTimer afterConnection;
    afterConnection.start();
    Form1 &window = *h.window();
    ReceiveRouter &router = window.receiver();
    auto settled = [&] { return !h.port()->hasUnread() && !router.isBusy(); };
    if (page != QLatin1String("COM")) {
        QVERIFY(window.tabs().choose(page));
        QVERIFY(waitUntil([&] {
            return settled() && router.pending().isEmpty() && !window.link().isSequenceRunning();
        }));
    }
    const ReadingLog &log = window.readings().log();
    const quint64 first = log.end();
    const double earliestMs = afterConnection.elapsed();

    const Form1Controls &c = window.controls();
    if (action == QLatin1String("feed")) {
        for (const QString &message : messages) {
            h.port()->feed(message.toLatin1());
            QVERIFY(waitUntil(settled, 10000));
        }
    } else if (action == QLatin1String("tune")) {
        h.port()->setScript([](const QString &line) {
            return line.startsWith(QLatin1String("> 11 ")) ? QByteArray("100^") : QByteArray();
        });
        QTest::mouseClick(c.setup.Command14, Qt::LeftButton);
        // The click returns at once; the run goes on from the event loop.
        QVERIFY(waitUntil([&] { return !window.link().isSequenceRunning(); }, 60000));
    } else if (action == QLatin1String("ask")) {
        QSignalSpy answered(&window.questions(), &QuestionDesk::answered);
        c.com.Option2->setChecked(true);
        c.com.Text3->setText(QStringLiteral("Is it, \"so\"?"));
        QTest::mouseClick(c.com.Command2, Qt::LeftButton);
        QVERIFY(answered.wait(10000));
    } else if (action == QLatin1String("mode")) {
        QTest::mouseClick(c.kzPage.Command7, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return !window.link().isSequenceRunning(); }));
    } else if (action == QLatin1String("upload")) {
        QTest::mouseClick(c.words.Command24, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return !window.link().isSequenceRunning(); }, 60000));
    }
    const double latestMs = beforeConnection.elapsed();

    QStringList taken;
    double previous = 0;
    for (quint64 serial = first; serial < log.end(); ++serial) {
        const Reading point = log.at(serial);
        taken << describe(point);
        const double ms = point.seconds * 1000 * kScale;
        QVERIFY2(ms >= earliestMs - 1 && ms <= latestMs + 1,
                 qPrintable(QStringLiteral("%1 at %2 ms, fed from %3 to %4 ms")
                                .arg(describe(point))
                                .arg(ms)
                                .arg(earliestMs)
                                .arg(latestMs)));
        QVERIFY(point.seconds >= previous);
        previous = point.seconds;
    }
    QCOMPARE(taken, expected);
}

// Stamps count from the first connection in design time; a reconnection
// must not start them again, or the run's times would go back.
void TestReadings::timesCountFromTheFirstConnection()
{
    double nowMs = 500;
    ReadingLog log(10, [&nowMs] { return nowMs; });
    log.add(Reading::Source::ComReading, 1);
    log.startClock();
    nowMs = 3000;
    log.add(Reading::Source::ComReading, 2);
    log.startClock();
    nowMs = 4250;
    log.add(Reading::Source::ComReading, 3);
    QCOMPARE(log.at(0).seconds, 0.0);
    QCOMPARE(log.at(1).seconds, 2.5);
    QCOMPARE(log.at(2).seconds, 3.75);
}

void TestReadings::theBoundDropsTheOldest()
{
    ReadingLog log;
    for (qsizetype i = 0; i <= ReadingHistory::kMaxPoints; ++i)
        log.add(Reading::Source::TouchReading, double(i),
                i % 3 == 0 ? QString::number(i) : QString());
    QCOMPARE(log.size(), ReadingHistory::kMaxPoints);
    QCOMPARE(log.first(), quint64(1));
    // Each kept point keeps its own word, none of a dropped point's.
    for (quint64 serial : {quint64(1), quint64(2), quint64(3), log.end() - 1}) {
        const Reading point = log.at(serial);
        QCOMPARE(point.value, double(serial));
        QCOMPARE(point.word, serial % 3 == 0 ? QString::number(serial) : QString());
    }
    log.add(Reading::Source::TouchReading, -1);
    log.add(Reading::Source::TouchReading, -2);
    QCOMPARE(log.first(), quint64(3));
    QCOMPARE(log.at(3).word, QStringLiteral("3"));
}

void TestReadings::csvRoundTrips()
{
    double nowMs = 0;
    ReadingLog log(100, [&nowMs] { return nowMs; });
    log.startClock();
    const QList<Reading> points {
        {0, 123, Reading::Source::ComReading, {}},
        {0, 1234, Reading::Source::ComWord, QStringLiteral("PLUTO")},
        {0, 0.1 + 0.2, Reading::Source::TunePass, {}},
        {0, -12.5, Reading::Source::PkLine, {}},
        {0, 12, Reading::Source::Question, QStringLiteral("Yes, \"no\"\r\nor maybe")},
        {0, 0, Reading::Source::Answer, QStringLiteral(" ÄÖ über")},
        {0, 0, Reading::Source::Answer, QStringLiteral("one line\nand another")},
        {0, 1e-7, Reading::Source::UploadEnded, QStringLiteral("cancelled")},
    };
    for (const Reading &point : points) {
        nowMs += 1234.5678;
        log.add(point.source, point.value, point.word);
    }
    QBuffer file;
    QBuffer unwritable; // fault: a failed write reported as success
    unwritable.open(QIODevice::ReadOnly);
    QVERIFY(!log.writeCsv(unwritable));
    file.open(QIODevice::WriteOnly);
    QVERIFY(log.writeCsv(file));
    const QList<QStringList> rows = parseCsv(file.data());
    QCOMPARE(rows.size(), points.size() + 1);
    QCOMPARE(rows.at(0), (QStringList {"seconds", "source", "value", "word"}));
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QStringList &row = rows.at(i + 1);
        QCOMPARE(row.size(), 4);
        const Reading kept = log.at(quint64(i));
        QCOMPARE(row.at(0).toDouble(), kept.seconds);
        QVERIFY(Reading::sourceNamed(row.at(1)) == points.at(i).source);
        QCOMPARE(row.at(2).toDouble(), points.at(i).value);
        QCOMPARE(row.at(3), points.at(i).word);
    }
}

void TestReadings::windowOpensByShortcutAndOptionAndExports()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    WindowHarness h(kScale);
    QVERIFY(h.connectWindow());
    Form1 &window = *h.window();
    for (const char *message : {"7^", "10^", "20^", "30^", "99^"}) {
        h.port()->feed(message);
        QVERIFY(waitUntil([&] { return !h.port()->hasUnread() && !window.receiver().isBusy(); }));
    }
    Readings &readings = window.readings();
    QVERIFY(!readings.view());

    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(readings.view());
    ReadingsView *view = readings.view();
    QTRY_VERIFY(view->isVisible());
    QVERIFY(view->isWindow());
    // The plot has the focus, as a window of its own beside the main one.
    QTRY_COMPARE(QApplication::focusWidget(), view->findChild<QWidget *>(QStringLiteral("readingsPlot")));
    view->close();
    QVERIFY(!view->isVisible());

    QCommandLineParser parser;
    parser.addOption(readingsOption());
    QVERIFY(parser.parse({QStringLiteral("kz"), QStringLiteral("--readings")}));
    showReadingsIfAsked(parser, readings);
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(readings.view(), view); // the same window, the same history
    QVERIFY(!view->findChild<QLabel *>(QStringLiteral("droppedNote"))->isVisible());

    QTemporaryDir dir;
    QString error;
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    QVERIFY2(view->exportCsv(csv, &error), qPrintable(error));
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = parseCsv(csvFile.readAll());
    QCOMPARE(rows.size(), readings.log().size() + 1);
    QCOMPARE(rows.last().at(3), wordText(240));

    const QString png = dir.filePath(QStringLiteral("r.png"));
    QVERIFY2(view->exportPng(png, &error), qPrintable(error));
    const QImage picture(png);
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() > 100 && picture.height() > 100);

    const QString svg = dir.filePath(QStringLiteral("r.svg"));
    QVERIFY2(view->exportSvg(svg, &error), qPrintable(error));
    QFile svgFile(svg);
    QVERIFY(svgFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svgFile);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name(), QLatin1String("svg"));
    int drawn = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement
            && (xml.name() == QLatin1String("path") || xml.name() == QLatin1String("polyline")))
            ++drawn;
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(drawn > 0);

    QVERIFY(!view->exportCsv(dir.filePath(QStringLiteral("no/such/folder/r.csv")), &error));
    QVERIFY(!error.isEmpty());
}

// Over a history of its own: the window follows the newest minute, stays
// put once paused, moves with its scroll bar and zooms with the wheel, and
// notes that the oldest points were dropped, even before it first opened.
void TestReadings::windowFollowsPausesZoomsAndNotesDrops()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    auto readFor = [&](double seconds) { // a reading every 200 ms
        for (const double end = nowMs + seconds * 1000; nowMs < end;) {
            nowMs += 200;
            log.add(Reading::Source::TouchReading, 100);
        }
    };
    readFor(300); // 1500 readings: the oldest 500 are gone
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    QVERIFY(view->findChild<QLabel *>(QStringLiteral("droppedNote"))->isVisible());
    using Range = QPair<double, double>;
    QCOMPARE(view->visibleSeconds(), Range(240, 300));

    view->setFollowing(false);
    readFor(10);
    view->redraw();
    QCOMPARE(view->visibleSeconds(), Range(240, 300));
    view->setFollowing(true);
    view->redraw();
    QCOMPARE(view->visibleSeconds(), Range(250, 310));

    // A wheel step while following shows less time, the newest still at
    // the right edge.
    auto *plot = view->findChild<QWidget *>(QStringLiteral("readingsPlot"));
    const QPointF centre = QRectF(plot->rect()).center();
    QWheelEvent wheel(centre, plot->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    readFor(1);
    view->redraw();
    QVERIFY(view->isFollowing());
    QCOMPARE(view->visibleSeconds().second, 311.0);
    QVERIFY(view->visibleSeconds().first > 252);

    // Fault: a drag back in time snaps back to the newest at the next refresh.
    QCoreApplication::processEvents(); // the wheel step is over
    QTest::mousePress(plot, Qt::LeftButton, {}, centre.toPoint());
    QTest::mouseMove(plot, centre.toPoint() + QPoint(100, 0));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, centre.toPoint() + QPoint(100, 0));
    QVERIFY(!view->isFollowing());

    auto *scroll = view->findChild<QScrollBar *>(QStringLiteral("timeScroll"));
    scroll->setValue(scroll->minimum());
    QVERIFY(!view->isFollowing());
    const double oldest = log.at(log.first()).seconds;
    QCOMPARE(view->visibleSeconds().first, oldest);
    view->showAll();
    QCOMPARE(view->visibleSeconds(), Range(oldest, 311));
}

// Fault: at the start of a run the newest point is the right edge, and the
// view shows negative seconds.
void TestReadings::followingShowsAWholeSpanFromTheStart()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(10, [&nowMs] { return nowMs; });
    log.startClock();
    nowMs = 2000;
    log.add(Reading::Source::TouchReading, 100);
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    QCOMPARE(view->visibleSeconds(), (QPair<double, double>(0, 60)));
}

void TestReadings::eachSeriesHidesWhatItShows_data()
{
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("text"); // drawn while the series is shown
    QTest::newRow("a word said, at its number") << "comWords" << "PRODUCE";
    QTest::newRow("auto tune's results") << "tuneLevels" << "Low 240";
    QTest::newRow("a mark") << "events" << "Touch Mode";
}

// What a series draws besides its graph goes with it, and with nothing else.
void TestReadings::eachSeriesHidesWhatItShows()
{
    QFETCH(QString, series);
    QFETCH(QString, text);
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    auto add = [&](Reading::Source source, double value, const QString &word = {}) {
        nowMs += 200;
        log.add(source, value, word);
    };
    add(Reading::Source::ComWord, 240, QStringLiteral("PRODUCE"));
    add(Reading::Source::ModeStarted, 4, QStringLiteral("Touch Mode"));
    for (int pass = 0; pass < 100; ++pass)
        add(Reading::Source::TunePass, 300);
    add(Reading::Source::TuneLow, 240);
    add(Reading::Source::TuneMid, 300);
    add(Reading::Source::TuneHigh, 340);
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    view->showAll();
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("r.svg"));
    auto drawn = [&] {
        view->redraw();
        QFile file(svg);
        return view->exportSvg(svg, &error) && file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(file.readAll())
            : QString();
    };
    const QStringList texts {"PRODUCE", "Low 240", "Touch Mode"};
    const QString before = drawn();
    for (const QString &t : texts)
        QVERIFY2(before.contains(t), qPrintable(t));
    view->findChild<QAbstractButton *>(series)->click();
    const QString after = drawn();
    for (const QString &t : texts)
        QCOMPARE(after.contains(t), t != text);
}

void TestReadings::opensBesideTheMainWindow_data()
{
    // A window of 900 x 600, which may narrow or shorten to 600 x 400, on a
    // screen of 1920 x 1080.
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("room on the right") << QRect(100, 100, 600, 530) << QRect(700, 100, 900, 600);
    QTest::newRow("room on the left only")
        << QRect(1200, 100, 600, 530) << QRect(300, 100, 900, 600);
    QTest::newRow("narrowed to the room on the right")
        << QRect(0, 0, 1100, 530) << QRect(1100, 0, 820, 600);
    QTest::newRow("shortened below") << QRect(400, 0, 1200, 500) << QRect(400, 500, 900, 580);
    QTest::newRow("no room: the corner that hides least")
        << QRect(100, 100, 1700, 900) << QRect(1020, 0, 900, 600);
}

void TestReadings::opensBesideTheMainWindow()
{
    QFETCH(QRect, main);
    QFETCH(QRect, expected);
    QCOMPARE(placeBeside(main, QSize(900, 600), QSize(600, 400), QRect(0, 0, 1920, 1080)),
             expected);
}

namespace {

// A history with something of each kind to draw: Touch Mode readings of
// 100 for ten seconds, a word said, a mode started and an auto tune run.
void fill(ReadingLog &log, double &nowMs)
{
    auto add = [&](Reading::Source source, double value, const QString &word = {}) {
        nowMs += 100;
        log.add(source, value, word);
    };
    for (int i = 0; i < 100; ++i)
        add(Reading::Source::TouchReading, 100);
    add(Reading::Source::ComWord, 240, QStringLiteral("PRODUCE"));
    add(Reading::Source::ModeStarted, 4, QStringLiteral("Touch Mode"));
    for (int pass = 0; pass < 100; ++pass)
        add(Reading::Source::TunePass, 300.5);
    add(Reading::Source::TuneLow, 240);
    add(Reading::Source::TuneMid, 300);
    add(Reading::Source::TuneHigh, 340);
}

QStringList svgTexts(const QString &path)
{
    QFile file(path);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    }
    return texts;
}

} // namespace

void TestReadings::exportWritesTheFormatChosenUnderItsName_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("PNG chosen as .svg") << "exportPng" << "r.svg" << "r.png" << QByteArray("\x89PNG");
    QTest::newRow("SVG chosen as .csv") << "exportSvg" << "r.csv" << "r.svg" << QByteArray("<?xml");
    QTest::newRow("CSV without a suffix") << "exportCsv" << "r" << "r.csv" << QByteArray("seconds,");
    QTest::newRow("a dot that names no format")
        << "exportPng" << "run.2026.12" << "run.2026.12.png" << QByteArray("\x89PNG");
    QTest::newRow("its own suffix, in capitals") << "exportSvg" << "R.SVG" << "R.SVG" << QByteArray("<?xml");
}

// Through the dialog, as a user exports; and the dialog leaves no settings
// file behind.
void TestReadings::exportWritesTheFormatChosenUnderItsName()
{
    QFETCH(QString, button);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    fill(log, nowMs);
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    QTemporaryDir dir;
    bool answered = false;
    QTimer::singleShot(0, this, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            dialog->selectFile(dir.filePath(chosen));
            static_cast<QDialog *>(dialog)->accept();
            answered = true;
        }
    });
    view->findChild<QPushButton *>(button)->click();
    QVERIFY(answered);
    QFile file(dir.filePath(written));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(written));
    QVERIFY(file.read(start.size()) == start);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {written});
    QVERIFY(view->findChild<QLabel *>(QStringLiteral("exportNote"))->text().contains(written));
    const QString userSettings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QVERIFY(!QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
                 .fileName()
                 .startsWith(userSettings));
}

void TestReadings::picturesCarryTheLegendAndTheTimeRange()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    fill(log, nowMs);
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    view->showAll();
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("r.svg"));
    QVERIFY2(view->exportSvg(svg, &error), qPrintable(error));
    const QStringList texts = svgTexts(svg);
    // Each of auto tune's three results has its own entry, as each series.
    for (const char *entry : {"Touch Mode reading", "COM word number", "Auto tune pass",
                              "Auto tune Low", "Auto tune Mid", "Auto tune High"})
        QVERIFY2(texts.contains(QLatin1String(entry)), qPrintable(texts.join(u'|')));
    const auto [from, to] = view->visibleSeconds();
    QVERIFY2(texts.filter(QStringLiteral("%1 s to %2 s").arg(from, 0, 'f', 1).arg(to, 0, 'f', 1))
                 .size() == 1,
             qPrintable(texts.join(u'|')));

    // In the PNG the legend lies below the time axis, in the series' colours.
    const QString png = dir.filePath(QStringLiteral("r.png"));
    QVERIFY2(view->exportPng(png, &error), qPrintable(error));
    const QImage picture = QImage(png).convertToFormat(QImage::Format_RGB32);
    int axis = -1;
    for (int y = 0; y < picture.height(); ++y) {
        int black = 0;
        for (int x = 0; x < picture.width(); ++x)
            black += picture.pixel(x, y) == qRgb(0, 0, 0);
        if (black > picture.width() / 2)
            axis = y;
    }
    QVERIFY(axis > 0);
    // Below it only the axis label's text is grey: coloured pixels are the
    // legend's.
    int coloured = 0;
    for (int y = axis + 1; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            coloured += qMax(c.red(), qMax(c.green(), c.blue()))
                    - qMin(c.red(), qMin(c.green(), c.blue()))
                > 60;
        }
    }
    QVERIFY(coloured > 20);
}

// Word numbers and readings are whole numbers: a tick between two of them
// (1131.5) means nothing. The status line gives the times of the points in
// view, not of the connection.
void TestReadings::wholeNumbersHaveWholeTicksAndTheStatusGivesTimesShown()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    nowMs = 28500;
    log.add(Reading::Source::ComWord, 1131, QStringLiteral("X"));
    for (nowMs = 29000; nowMs <= 40000; nowMs += 500)
        log.add(Reading::Source::TouchReading, 100);
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    view->redraw();
    const QString status = view->findChild<QLabel *>(QStringLiteral("readingsStatus"))->text();
    QVERIFY2(status.contains(QStringLiteral(" 28.5 s to 40.0 s")) && !status.contains(QStringLiteral(" 0.0 s")),
             qPrintable(status));

    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("r.svg"));
    QVERIFY2(view->exportSvg(svg, &error), qPrintable(error));
    const QStringList numbers
        = svgTexts(svg).filter(QRegularExpression(QStringLiteral("^-?[0-9.]+$")));
    QVERIFY(numbers.contains(QStringLiteral("100")) && numbers.contains(QStringLiteral("1131")));
    QVERIFY2(numbers.filter(QStringLiteral(".")).isEmpty(), qPrintable(numbers.join(u' ')));
}

// By keyboard alone: the plot has the focus when the window opens, Tab
// reaches it and its scroll bar, its keys move and zoom the view and step
// through the marks, telling assistive technology each one's text.
void TestReadings::plotKeysPanZoomAndStepThroughMarks()
{
    if (Readings::findPlugin().isEmpty())
        QSKIP("the readings plugin is not built (QCustomPlot or Qt SVG missing)");
    double nowMs = 0;
    ReadingLog log(1000, [&nowMs] { return nowMs; });
    log.startClock();
    for (int s = 1; s <= 300; ++s) {
        nowMs = s * 1000;
        log.add(Reading::Source::TouchReading, 100);
        if (s == 100)
            log.add(Reading::Source::ModeStarted, 4, QStringLiteral("Touch Mode"));
        if (s == 200)
            log.add(Reading::Source::Question, 6, QStringLiteral("Rain?"));
    }
    QString error;
    std::unique_ptr<ReadingsView> view(createReadingsView(log, nullptr, &error));
    QVERIFY2(view, qPrintable(error));
    view->show();
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    auto *plot = view->findChild<QWidget *>(QStringLiteral("readingsPlot"));
    QTRY_COMPARE(QApplication::focusWidget(), plot);

    using Range = QPair<double, double>;
    const struct {
        QKeyCombination key;
        Range view;
        QString said; // empty: the same as before
    } steps[] = {
        {Qt::Key_Left, {234, 294}, {}},
        {Qt::Key_Right, {240, 300}, {}},
        {Qt::Key_Plus, {250, 290}, {}},
        {Qt::Key_Minus, {240, 300}, {}},
        {Qt::Key_Home, {1, 61}, {}},
        {Qt::Key_M, {70, 130}, "Mode started: Touch Mode"},
        {Qt::Key_M, {170, 230}, "Question: Rain?"},
        {Qt::Key_M, {170, 230}, "No later mark"},
        {Qt::SHIFT | Qt::Key_M, {70, 130}, "Mode started: Touch Mode"},
        {Qt::Key_End, {240, 300}, {}},
    };
    for (const auto &step : steps) {
        QTest::keyClick(plot, step.key.key(), step.key.keyboardModifiers());
        const auto [from, to] = view->visibleSeconds();
        QVERIFY2(qAbs(from - step.view.first) < 1e-6 && qAbs(to - step.view.second) < 1e-6,
                 qPrintable(QStringLiteral("%1 to %2").arg(from).arg(to)));
        if (!step.said.isEmpty())
            QCOMPARE(plot->accessibleDescription(), step.said);
    }
    QVERIFY(view->isFollowing());

    QStringList reached;
    for (int i = 0; i < 16; ++i) {
        QWidget *at = QApplication::focusWidget();
        QVERIFY2(at, qPrintable(reached.join(u' ')));
        QTest::keyClick(at, Qt::Key_Tab);
        reached << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
    }
    QVERIFY2(reached.contains(QStringLiteral("timeScroll")) && reached.contains(QStringLiteral("readingsPlot")),
             qPrintable(reached.join(u' ')));

    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
        view->show();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        QTest::keyClick(plot, key.key(), key.keyboardModifiers());
        QVERIFY(!view->isVisible());
    }
}

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
