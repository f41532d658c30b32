// SPDX-License-Identifier: GPL-3.0-or-later
// The log of questions and answers: the form of its entries, writing them,
// and the Log File page's Read Log and Clear Log.
#include "questions/logfile.h"
#include "questions/questiondesk.h"
#include "support.h"
#include "kit/widgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <algorithm>

using namespace kz;
using namespace kz::test;

namespace {

const QDateTime kEarlyMorning(QDate(2026, 12, 7), QTime(1, 23, 45));
const QDateTime kAfternoon(QDate(2026, 12, 7), QTime(13, 5, 9));

QByteArray logBytes()
{
    QFile file(LogFile::fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeLog(const QByteArray &bytes)
{
    QFile file(LogFile::fileName());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

} // namespace

class TestLogFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void entriesInTheUsFormOfTheExample();
    void localeFormsKeepFourDigitYearsAndDropTheZone_data();
    void localeFormsKeepFourDigitYearsAndDropTheZone();
    void everyLocaleGivesAFourDigitYearAndNoZone();
    void entriesAppendAndReachTheFileAtOnce();
    void unwritableFolderFailsWithAReason();
    void readLogPutsTheNewestLineOnTop();
    void readLogTakesEveryKindOfLineEnd();
    void clearLogAsksFirst();
    void clearLogBeforeAndDuringAQuestion();

    void longTextsAreTakenWhole();

private:
    void showLogPage();

    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<WindowHarness> m_harness;
};

void TestLogFile::initTestCase()
{
    m_startFolder = QDir::currentPath();
}

void TestLogFile::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
    m_harness = std::make_unique<WindowHarness>(0.05);
    m_harness->createWindow();
}

void TestLogFile::cleanup()
{
    m_harness.reset();
    QDir::setCurrent(m_startFolder);
    m_folder.reset();
}

void TestLogFile::showLogPage()
{
    const auto &c = m_harness->controls();
    c.com.comframe->hide();
    c.log.Frame10->show();
}

void TestLogFile::entriesInTheUsFormOfTheExample()
{
    if (QLocale::system().name() != QLatin1String("en_US"))
        QSKIP("the system locale could not be set to en_US");
    QCOMPARE(LogFile::questionEntry(QStringLiteral("  Is it raining  "), kEarlyMorning),
             QStringLiteral("USER: Is it raining12/7/20261:23:45 AM\r\n"));
    // Blanks inside the question stay, and so does every other character.
    QCOMPARE(LogFile::questionEntry(QStringLiteral(" Is  it raining?"), kAfternoon),
             QStringLiteral("USER: Is  it raining?12/7/20261:05:09 PM\r\n"));
    QCOMPARE(LogFile::questionEntry(QStringLiteral("\tone\rtwo\r "), kAfternoon),
             QStringLiteral("USER: \tone\rtwo\r12/7/20261:05:09 PM\r\n"));
    QCOMPARE(LogFile::answerEntry(QStringLiteral(" YES NO"), kAfternoon),
             QStringLiteral("KZ  : YES NO  12/7/20261:05:09 PM\r\n"));
    QCOMPARE(LogFile::answerEntry(QString(), kEarlyMorning),
             QStringLiteral("KZ  :  12/7/20261:23:45 AM\r\n"));
}

void TestLogFile::localeFormsKeepFourDigitYearsAndDropTheZone_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("longTime");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    // The first two columns are the locale's own forms, checked first so
    // that a change of locale data shows as such.
    QTest::newRow("zone in brackets") << "ca_ES"
                                      << "d/M/yy"
                                      << "H:mm:ss (t)"
                                      << "d/M/yyyy"
                                      << "H:mm:ss";
    QTest::newRow("zone first") << "my_MM"
                                << "dd-MM-yy"
                                << "t HH:mm:ss"
                                << "dd-MM-yyyy"
                                << "HH:mm:ss";
    QTest::newRow("zone after a comma") << "be_BY"
                                        << "d.MM.yy"
                                        << "HH:mm:ss, t"
                                        << "d.MM.yyyy"
                                        << "HH:mm:ss";
    QTest::newRow("quoted letters stay") << "nds_DE"
                                         << "d.MM.yy"
                                         << "'Klock' H.mm:ss (t)"
                                         << "d.MM.yyyy"
                                         << "'Klock' H.mm:ss";
    QTest::newRow("year first, four digits") << "hu_HU"
                                             << "yyyy. MM. dd."
                                             << "H:mm:ss t"
                                             << "yyyy. MM. dd."
                                             << "H:mm:ss";
    // Newer locale data (Qt 6.8's) names the zone in full, "tttt": the same
    // forms, so that each Qt runs its own rows.
    QTest::newRow("full zone in brackets") << "ca_ES"
                                           << "d/M/yy"
                                           << "H:mm:ss (tttt)"
                                           << "d/M/yyyy"
                                           << "H:mm:ss";
    QTest::newRow("full zone first") << "my_MM"
                                     << "d/M/yy"
                                     << "tttt HH:mm:ss"
                                     << "d/M/yyyy"
                                     << "HH:mm:ss";
    QTest::newRow("full zone after a comma") << "be_BY"
                                             << "d.MM.yy"
                                             << "HH:mm:ss, tttt"
                                             << "d.MM.yyyy"
                                             << "HH:mm:ss";
    QTest::newRow("quoted letters stay, full zone") << "nds_DE"
                                                    << "d.MM.yy"
                                                    << "'Klock' H.mm:ss (tttt)"
                                                    << "d.MM.yyyy"
                                                    << "'Klock' H.mm:ss";
    QTest::newRow("year first, full zone") << "hu_HU"
                                           << "yyyy. MM. dd."
                                           << "H:mm:ss tttt"
                                           << "yyyy. MM. dd."
                                           << "H:mm:ss";
}

void TestLogFile::localeFormsKeepFourDigitYearsAndDropTheZone()
{
    QFETCH(QString, locale);
    QFETCH(QString, shortDate);
    QFETCH(QString, longTime);
    QFETCH(QString, date);
    QFETCH(QString, time);
    const QLocale l(locale);
    if (l.dateFormat(QLocale::ShortFormat) != shortDate
        || l.timeFormat(QLocale::LongFormat) != longTime)
        QSKIP("this Qt's locale data differs from the row's");
    QCOMPARE(LogFile::dateFormat(l), date);
    QCOMPARE(LogFile::timeFormat(l), time);
}

void TestLogFile::everyLocaleGivesAFourDigitYearAndNoZone()
{
    const QDateTime inZone(kEarlyMorning.date(), kEarlyMorning.time(),
                           QTimeZone(QByteArrayLiteral("Asia/Tokyo")));
    const QList<QLocale> all
        = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(all.size() > 100);
    for (const QLocale &l : all) {
        // Formatted in the C locale so that digits and zone names are Latin.
        const QString date = QLocale::c().toString(inZone.date(), LogFile::dateFormat(l));
        const QString time = QLocale::c().toString(inZone, LogFile::timeFormat(l));
        QVERIFY2(date.contains(QLatin1String("2026")), qPrintable(l.name() + u' ' + date));
        for (const char *zone : {"JST", "Japan", "+09", "UTC", "GMT"})
            QVERIFY2(!time.contains(QLatin1String(zone)), qPrintable(l.name() + u' ' + time));
        QVERIFY2(time == time.trimmed() && !time.endsWith(u',')
                     && !time.contains(QLatin1String("()")) && !time.contains(QLatin1String("[]")),
                 qPrintable(l.name() + u'[' + time + u']'));
        // Locale data of either Qt puts other blanks in some forms (U+202F
        // before "AM", U+00A0 in "a. m."); the file has only plain ones.
        const QString stamp = LogFile::stamp(kEarlyMorning, l);
        QVERIFY2(std::none_of(stamp.begin(), stamp.end(),
                              [](QChar c) {
                                  return c.category() == QChar::Separator_Space && c != u' ';
                              }),
                 qPrintable(l.name() + u' ' + stamp));
    }
}

void TestLogFile::entriesAppendAndReachTheFileAtOnce()
{
    QVERIFY(writeLog("earlier\r\n"));
    LogFile &log = m_harness->window()->log();
    QVERIFY(log.openForAppend());
    QVERIFY(log.isOpen());
    // Opening again keeps the one handle.
    QVERIFY(log.openForAppend());
    QVERIFY(log.writeEntry(QStringLiteral("one\r\n")));
    // Read through another handle while ours stays open: nothing waits in a
    // buffer of the program.
    QCOMPARE(logBytes(), QByteArray("earlier\r\none\r\n"));
    QVERIFY(log.writeEntry(QStringLiteral("Caf\u00e9\r\n")));
    QCOMPARE(logBytes(),
             QByteArray("earlier\r\none\r\n") + QStringLiteral("Caf\u00e9\r\n").toLocal8Bit());
    log.close();
    QVERIFY(!log.isOpen());

    QFile::remove(LogFile::fileName());
    QVERIFY(log.openForAppend());
    QVERIFY(QFile::exists(LogFile::fileName()));
    log.close();
}

void TestLogFile::unwritableFolderFailsWithAReason()
{
    QTemporaryDir locked;
    enterUnwritableFolder(locked);
    LogFile &log = m_harness->window()->log();
    QVERIFY(!log.openForAppend());
    QVERIFY(!log.isOpen());
    QVERIFY(!log.lastError().isEmpty());
    QVERIFY2(log.lastError().contains(LogFile::fileName()), qPrintable(log.lastError()));
    QVERIFY(!log.writeEntry(QStringLiteral("lost\r\n")));
    QVERIFY(!log.lastError().isEmpty());
    QVERIFY(!QFile::exists(LogFile::fileName()));
    QDir::setCurrent(m_folder->path());
}

void TestLogFile::readLogPutsTheNewestLineOnTop()
{
    showLogPage();
    const auto &c = m_harness->controls();
    c.log.Text16->setText(QStringLiteral("earlier text"));
    MessageBoxCloser closer;
    c.log.Command21->click();
    // Without a file nothing changes and nothing is said.
    QVERIFY(!closer.seen);
    QCOMPARE(c.log.Text16->text(), QStringLiteral("earlier text"));

    const QString question = LogFile::questionEntry(QStringLiteral("Will it rain"), kEarlyMorning);
    const QString answer = LogFile::answerEntry(QStringLiteral(" YES"), kAfternoon);
    QVERIFY(writeLog((question + answer).toLocal8Bit()));
    c.log.Command21->click();
    QCOMPARE(c.log.Text16->text(), answer + question + QStringLiteral("earlier text"));
    // The view is not emptied first: a second reading shows the log again.
    c.log.Command21->click();
    QCOMPARE(c.log.Text16->text(),
             answer + question + answer + question + QStringLiteral("earlier text"));
    QCOMPARE(logBytes(), (question + answer).toLocal8Bit());
}

void TestLogFile::readLogTakesEveryKindOfLineEnd()
{
    showLogPage();
    const auto &c = m_harness->controls();
    const QString local = QStringLiteral("caf\u00e9");
    QVERIFY(writeLog("a\r\nb\nc\r\r\n" + local.toLocal8Bit() + "\rlast"));
    c.log.Command21->click();
    QCOMPARE(c.log.Text16->text(),
             QStringLiteral("last\r\n") + local + QStringLiteral("\r\n\r\nc\r\nb\r\na\r\n"));

    // A CR LF split between two reads of a long file is one line end.
    c.log.Text16->setText(QString());
    QByteArray big(65535, 'x');
    big += "\r\nend\r\n";
    QVERIFY(writeLog(big));
    c.log.Command21->click();
    QCOMPARE(c.log.Text16->text(),
             QStringLiteral("end\r\n") + QString(65535, u'x') + QStringLiteral("\r\n"));
}

void TestLogFile::clearLogAsksFirst()
{
    showLogPage();
    const auto &c = m_harness->controls();
    QVERIFY(writeLog("kept\r\n"));
    c.log.Text16->setText(QStringLiteral("shown\r\n"));
    {
        MessageBoxCloser cancel({}, false);
        c.log.Command22->click();
        QVERIFY(cancel.seen);
        QCOMPARE(cancel.text, QStringLiteral("This will Erase the Log File "));
        QCOMPARE(cancel.title, QStringLiteral("Erase Log"));
        QCOMPARE(c.log.Text16->text(), QStringLiteral("shown\r\n"));
        QCOMPARE(logBytes(), QByteArray("kept\r\n"));
    }
    {
        QString shownWithBox;
        MessageBoxCloser ok([&] { shownWithBox = c.log.Text16->text(); });
        c.log.Command22->click();
        QVERIFY(ok.seen);
        QCOMPARE(shownWithBox, QStringLiteral("shown\r\n"));
        QCOMPARE(c.log.Text16->text(), QString());
        QVERIFY(!QFile::exists(LogFile::fileName()));
    }
    {
        // Erasing a log that is not there is no error.
        c.log.Text16->setText(QStringLiteral("shown\r\n"));
        MessageBoxCloser ok;
        c.log.Command22->click();
        QVERIFY(ok.seen);
        QCOMPARE(c.log.Text16->text(), QString());
        QVERIFY(!QFile::exists(LogFile::fileName()));
    }
}

void TestLogFile::clearLogBeforeAndDuringAQuestion()
{
    const auto &c = m_harness->controls();
    QSignalSpy answered(&m_harness->window()->questions(), &QuestionDesk::answered);
    QVERIFY(writeLog("old entry\r\n"));
    MessageBoxCloser before;
    c.log.Command22->click();
    QVERIFY(before.seen);

    c.com.Option2->setChecked(true);
    c.com.Text3->setText(QStringLiteral("  Fresh start  "));
    const QDateTime asked = QDateTime::currentDateTime();
    c.com.Command2->click();
    const QDateTime askedEnd = QDateTime::currentDateTime();
    const QString first = QString::fromLocal8Bit(logBytes());
    QVERIFY2(first == LogFile::questionEntry(QStringLiteral("Fresh start"), asked)
                 || first == LogFile::questionEntry(QStringLiteral("Fresh start"), askedEnd),
             qPrintable(first));

    // Erased while the question waits: the answer starts a new file rather
    // than going into the deleted one.
    MessageBoxCloser during;
    c.log.Command22->click();
    QVERIFY(during.seen);
    QVERIFY(!QFile::exists(LogFile::fileName()));
    QVERIFY(waitUntil([&] { return answered.count() == 1; }));
    const QList<QByteArray> lines = logBytes().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().startsWith("KZ  :  ") && lines.first().endsWith('\r'),
             lines.first().constData());
    QVERIFY(!m_harness->window()->log().isOpen());
}

// Texts far longer than anyone types, set at once (as a paste or an
// assistive tool does): the manual open answers, and a question is asked,
// logged and read back whole. How long they take is the benchmark's.
void TestLogFile::longTextsAreTakenWhole()
{
    const auto &c = m_harness->controls();
    m_harness->port()->setPresentPorts({1});
    c.connect.Text17->setText(QString(10000, u'9'));
    c.connect.Command23->click(); // its panel shows only after a search
    QVERIFY(c.connect.Text1->text().endsWith(
        QStringLiteral("************* No Controller on port # *****************")));

    QString question;
    for (int i = 0; question.size() < 100000; ++i)
        question += QStringLiteral("word%1 ").arg(i);
    question = question.trimmed();
    c.com.Text3->setText(question);
    QTest::mouseClick(c.com.Command2, Qt::LeftButton);
    QVERIFY(c.com.Text2->text().contains(question));
    QFile log(LogFile::fileName());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(question.toLatin1()));
    showLogPage();
    QTest::mouseClick(c.log.Command21, Qt::LeftButton);
    QVERIFY(c.log.Text16->text().contains(question));
}

int main(int argc, char *argv[])
{
    // The entries are compared with the example, written in the US forms.
    qputenv("LC_ALL", "en_US.UTF-8");
    QApplication app(argc, argv);
    TestLogFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logfile.moc"
