// SPDX-License-Identifier: GPL-3.0-or-later
// Asking the KZ a question on the COM page: the response window, the polls
// that make the device speak, the answer in the event window and the log.
#include "harness.h"
#include "device/devicelink.h"
#include "kit/receiverouter.h"
#include "questions/logfile.h"
#include "questions/questiondesk.h"
#include "kit/widgets.h"
#include "words/comwords.h"
#include "words/wordlist.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kPoll = QStringLiteral("> 11 1");
const QString kLogFailure = QStringLiteral("Log not written: ");

QStringList logLines()
{
    QFile file(LogFile::fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(kCrLf);
    // Every entry ends with CR LF, so the last piece must be empty.
    if (lines.last().isEmpty())
        lines.removeLast();
    else
        lines << QStringLiteral("<no CR LF at the end>");
    return lines;
}

// True when the line is the head followed by the date and time of some
// second between the two moments.
bool stampedBetween(const QString &line, const QString &head, const QDateTime &from,
                    const QDateTime &to)
{
    QDateTime t = from.addMSecs(-from.time().msec());
    for (; t <= to; t = t.addSecs(1)) {
        if (line == head + LogFile::stamp(t))
            return true;
    }
    return false;
}

int countPolls(const sim::SimulatedKz *kz)
{
    return static_cast<int>(kz->receivedLines().count(kPoll));
}

} // namespace

class TestQuestions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void askButtonShowsAndLogsTheSpokenWords();
    void enterKeyAsksAndAnEmptyAnswerStandsAlone();
    void questionBoxAsksOnlyOnACarriageReturn();
    void responseWindowFollowsTheOptionChosen_data();
    void responseWindowFollowsTheOptionChosen();
    void optionChangedDuringAWindowCountsFromTheNextQuestion();
    void questionControlsAreDisabledOnlyDuringTheWindow();
    void wordsSpokenBeforeTheQuestionLeadItsAnswer();
    void unwritableLogIsReportedOnceAndTheWindowStillEnds();
    void closingTheWindowDuringAResponseWindowEndsPromptly();
    void aLostKzEndsTheResponseWindow();

private:
    void start(double timeScale, const QList<int> &readings);
    bool waitForAnswers(int count, int timeoutMs = 10000);
    // Lets at least ten receive ticks pass and tells whether any poll went
    // out meanwhile.
    bool pollsAfterwards();
    const Form1Controls &c() const { return m_harness->controls(); }
    QuestionDesk &desk() const { return m_harness->window()->questions(); }

    QString m_startFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Harness> m_harness;
    sim::SimulatedKz *m_kz = nullptr;
    std::unique_ptr<QSignalSpy> m_answers;
};

void TestQuestions::initTestCase()
{
    m_startFolder = QDir::currentPath();
}

void TestQuestions::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir::setCurrent(m_folder->path()));
}

void TestQuestions::cleanup()
{
    m_answers.reset();
    m_harness.reset();
    m_kz = nullptr;
    QDir::setCurrent(m_startFolder);
    m_folder.reset();
}

void TestQuestions::start(double timeScale, const QList<int> &readings)
{
    m_harness = std::make_unique<Harness>(timeScale);
    m_kz = m_harness->addDevice(1);
    m_kz->setReadings(readings);
    QVERIFY(m_harness->connectWindow());
    m_kz->clearReceived();
    m_answers = std::make_unique<QSignalSpy>(&desk(), &QuestionDesk::answered);
}

bool TestQuestions::waitForAnswers(int count, int timeoutMs)
{
    return waitUntil([&] { return m_answers->count() >= count; }, timeoutMs);
}

bool TestQuestions::pollsAfterwards()
{
    const int before = countPolls(m_kz);
    QSignalSpy ticks(c().form.Timer1, &QTimer::timeout);
    if (!waitUntil([&] { return ticks.count() >= 10; }))
        return true;
    return countPolls(m_kz) != before;
}

void TestQuestions::askButtonShowsAndLogsTheSpokenWords()
{
    start(0.05, {100});
    QSignalSpy words(&m_harness->window()->comWords(), &ComWords::wordAnnounced);
    c().com.Text2->setText(QStringLiteral("earlier event") + kCrLf);
    c().com.Text3->setText(QStringLiteral("  Is it raining "));

    const QDateTime asked = QDateTime::currentDateTime();
    QTest::mouseClick(c().com.Command2, Qt::LeftButton);
    const QDateTime askedEnd = QDateTime::currentDateTime();
    QCOMPARE(c().com.Text2->text(),
             QStringLiteral(" USER ASKED:   Is it raining ") + kCrLf
                 + QStringLiteral("earlier event") + kCrLf);
    QCOMPARE(c().com.Text3->text(), QString());
    QCOMPARE(logLines().size(), 1);

    QVERIFY(waitForAnswers(1));
    const QDateTime answeredEnd = QDateTime::currentDateTime();
    QVERIFY2(!words.isEmpty(), "no word was spoken during the window");
    QString spoken;
    for (const QList<QVariant> &word : words)
        spoken += u' ' + wordText(word.first().toInt());

    QCOMPARE(m_answers->first().first().toString(), spoken);
    QCOMPARE(c().com.Text2->text(),
             QStringLiteral("KZ  :") + spoken + kCrLf
                 + QStringLiteral(" USER ASKED:   Is it raining ") + kCrLf
                 + QStringLiteral("earlier event") + kCrLf);
    QCOMPARE(m_harness->window()->comWords().answer(), QString());

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(stampedBetween(lines[0], QStringLiteral("USER: Is it raining"), asked, askedEnd),
             qPrintable(lines[0]));
    QVERIFY2(stampedBetween(lines[1], QStringLiteral("KZ  :") + spoken + QStringLiteral("  "),
                            asked, answeredEnd),
             qPrintable(lines[1]));
    QVERIFY(!m_harness->window()->log().isOpen());

    QVERIFY(countPolls(m_kz) >= 2);
    QVERIFY(!c().form.talk->isActive());
    QVERIFY(!pollsAfterwards());
}

void TestQuestions::enterKeyAsksAndAnEmptyAnswerStandsAlone()
{
    start(0.05, {0});
    c().com.Text3->setText(QString());
    QTest::keyClicks(c().com.Text3->editor(), QStringLiteral("Will it rain"));
    QCOMPARE(c().com.Text3->text(), QStringLiteral("Will it rain"));
    // Typing alone asks nothing.
    QVERIFY(!desk().isWaiting());
    QCOMPARE(c().com.Text2->text(), QString());

    const QDateTime asked = QDateTime::currentDateTime();
    QTest::keyClick(c().com.Text3->editor(), Qt::Key_Return);
    QVERIFY(desk().isWaiting());
    QCOMPARE(c().com.Text2->text(), QStringLiteral("USER: Will it rain") + kCrLf);

    QVERIFY(waitForAnswers(1));
    const QDateTime answered = QDateTime::currentDateTime();
    QCOMPARE(m_answers->count(), 1);
    QCOMPARE(c().com.Text2->text(),
             QStringLiteral("KZ  :") + kCrLf + QStringLiteral("USER: Will it rain") + kCrLf);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(stampedBetween(lines[0], QStringLiteral("USER: Will it rain"), asked, answered),
             qPrintable(lines[0]));
    QVERIFY2(stampedBetween(lines[1], QStringLiteral("KZ  :  "), asked, answered),
             qPrintable(lines[1]));
    QVERIFY(countPolls(m_kz) >= 2);
    QVERIFY(!pollsAfterwards());
}

void TestQuestions::questionBoxAsksOnlyOnACarriageReturn()
{
    start(0.05, {0});
    c().com.Text3->setText(QStringLiteral("half a question"));
    c().com.Text3->setText(QString());
    QVERIFY(!desk().isWaiting());
    QCOMPARE(c().com.Text2->text(), QString());
    QVERIFY(!QFile::exists(LogFile::fileName()));

    const QDateTime asked = QDateTime::currentDateTime();
    c().com.Text3->setText(QStringLiteral(" Is it late?\r"));
    QVERIFY(desk().isWaiting());
    // The event window shows the question as it stood; the log drops only
    // its outer blanks, so the carriage return stays inside the entry.
    QCOMPARE(c().com.Text2->text(), QStringLiteral("USER:  Is it late?\r") + kCrLf);
    QCOMPARE(c().com.Text3->text(), QString());
    QVERIFY(waitForAnswers(1));
    QCOMPARE(m_answers->count(), 1);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(stampedBetween(lines[0], QStringLiteral("USER: Is it late?\r"), asked,
                            QDateTime::currentDateTime()),
             qPrintable(lines[0]));
}

void TestQuestions::responseWindowFollowsTheOptionChosen_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("designMs");
    QTest::newRow("6 seconds") << "Option2" << 6000;
    QTest::newRow("12 seconds, the default") << QString() << 12000;
    QTest::newRow("24 seconds") << "Option8" << 24000;
}

void TestQuestions::responseWindowFollowsTheOptionChosen()
{
    QFETCH(QString, option);
    QFETCH(int, designMs);
    start(0.1, {0});
    if (!option.isEmpty())
        m_harness->window()->findChild<QRadioButton *>(option)->click();

    QElapsedTimer clock;
    clock.start();
    TickClock ticks;
    c().com.Command2->click();
    QVERIFY(waitForAnswers(1, 20000));
    const qint64 elapsed = clock.elapsed();
    const int window = Pacing::scaled(designMs);
    // The next option's window is twice as long: the bounds keep them apart.
    QVERIFY2(elapsed >= window * 95 / 100 && ticks.designMs() < designMs * 16 / 10,
             qPrintable(QStringLiteral("%1 ms, %2 design ms in ticks, for a %3 ms window")
                            .arg(elapsed)
                            .arg(ticks.designMs())
                            .arg(designMs)));

    // One poll per hold at most: a tick due during a hold is dropped.
    const int polls = countPolls(m_kz);
    QVERIFY2(polls <= designMs / 250 + 2 && polls >= designMs / 1000,
             qPrintable(QString::number(polls)));
}

void TestQuestions::optionChangedDuringAWindowCountsFromTheNextQuestion()
{
    start(0.05, {0});
    c().com.Option2->click();
    TickClock ticks;
    c().com.Command2->click();
    c().com.Option8->click();
    QVERIFY(waitForAnswers(1));
    QVERIFY2(ticks.designMs() < 12000 * 95 / 100, qPrintable(QString::number(ticks.designMs())));

    QElapsedTimer clock;
    clock.start();
    c().com.Command2->click();
    QVERIFY(waitForAnswers(2));
    const qint64 second = clock.elapsed();
    QVERIFY2(second >= Pacing::scaled(24000) * 95 / 100, qPrintable(QString::number(second)));
}

void TestQuestions::questionControlsAreDisabledOnlyDuringTheWindow()
{
    start(0.05, {0});
    c().com.Option2->click();
    m_harness->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_harness->window()));
    c().com.List1->setFocus();

    c().com.Command2->click();
    QVERIFY(waitUntil([&] { return countPolls(m_kz) >= 3; }));
    QVERIFY(m_answers->isEmpty());
    QVERIFY(!c().com.Text3->isEnabled());
    QVERIFY(!c().com.Command2->isEnabled());
    QVERIFY(waitForAnswers(1));
    QVERIFY(c().com.Text3->isEnabled());
    QVERIFY(c().com.Command2->isEnabled());
    QVERIFY(c().com.Text3->editor()->hasFocus());

    // The user has moved to the Log File page while the KZ answers: the
    // focus stays where the user put it.
    c().com.Command2->click();
    c().com.comframe->hide();
    c().log.Frame10->show();
    c().log.Text16->setFocus();
    QVERIFY(waitForAnswers(2));
    QVERIFY(c().com.Text3->isEnabled());
    QVERIFY(c().log.Text16->editor()->hasFocus());
}

void TestQuestions::wordsSpokenBeforeTheQuestionLeadItsAnswer()
{
    start(0.05, {100});
    QSignalSpy words(&m_harness->window()->comWords(), &ComWords::wordAnnounced);
    // A word said before the question: a first message, three readings and
    // the group's end, each read apart.
    const ReceiveRouter &router = m_harness->window()->receiver();
    for (const QByteArray message : {"0^", "10^", "20^", "30^", "0^"}) {
        c().hidden.rec->setText(QString());
        m_kz->send(message);
        QVERIFY(waitUntil([&] {
            return c().hidden.rec->text() == QLatin1String(message) && router.pending().isEmpty()
                && !router.isBusy();
        }));
    }
    QVERIFY(waitUntil([&] { return !m_harness->window()->link().isSequenceRunning(); }));
    QCOMPARE(words.count(), 1);
    const QString earlier = u' ' + wordText(words.first().first().toInt());
    QCOMPARE(m_harness->window()->comWords().answer(), earlier);
    c().com.Text3->setText(QStringLiteral("And now?"));
    c().com.Command2->click();
    QVERIFY(waitForAnswers(1));
    QVERIFY2(words.count() > 1, "no word was spoken during the window");
    QString expected;
    for (const QList<QVariant> &word : words)
        expected += u' ' + wordText(word.first().toInt());
    QVERIFY(expected.startsWith(earlier));
    QCOMPARE(m_answers->first().first().toString(), expected);
    QVERIFY(c().com.Text2->text().startsWith(QStringLiteral("KZ  :") + expected + kCrLf));
    QCOMPARE(m_harness->window()->comWords().answer(), QString());
}

void TestQuestions::unwritableLogIsReportedOnceAndTheWindowStillEnds()
{
    start(0.05, {0});
    c().com.Option2->click();
    QTemporaryDir locked;
    enterUnwritableFolder(locked);

    c().com.Text3->setText(QStringLiteral("first"));
    c().com.Command2->click();
    QStringList shown = c().com.Text2->text().split(kCrLf);
    QVERIFY2(shown[0].startsWith(kLogFailure) && shown[0].size() > kLogFailure.size(),
             qPrintable(shown[0]));
    QVERIFY2(shown[0].contains(LogFile::fileName()), qPrintable(shown[0]));
    QCOMPARE(shown[1], QStringLiteral(" USER ASKED: first"));
    QVERIFY(waitForAnswers(1));
    QVERIFY(c().com.Text3->isEnabled());
    QVERIFY(!c().form.talk->isActive());

    c().com.Text3->setText(QStringLiteral("second"));
    c().com.Command2->click();
    QVERIFY(waitForAnswers(2));
    QCOMPARE(c().com.Text2->text().count(kLogFailure), 1);
    QVERIFY(c().com.Text2->text().startsWith(QStringLiteral("KZ  :") + kCrLf
                                             + QStringLiteral(" USER ASKED: second") + kCrLf
                                             + QStringLiteral("KZ  :") + kCrLf));

    // A question logged again ends the failing stretch...
    QDir::setCurrent(m_folder->path());
    c().com.Text3->setText(QStringLiteral("third"));
    c().com.Command2->click();
    QVERIFY(waitForAnswers(3));
    QCOMPARE(c().com.Text2->text().count(kLogFailure), 1);
    QCOMPARE(logLines().size(), 2);

    // ...so the next failure is told again.
    QTemporaryDir lockedAgain;
    enterUnwritableFolder(lockedAgain);
    c().com.Text3->setText(QStringLiteral("fourth"));
    c().com.Command2->click();
    QVERIFY(waitForAnswers(4));
    QCOMPARE(c().com.Text2->text().count(kLogFailure), 2);
    QDir::setCurrent(m_folder->path());
}

void TestQuestions::closingTheWindowDuringAResponseWindowEndsPromptly()
{
    start(1.0, {0}); // real time: the window would last 24 seconds
    c().com.Option8->click();
    TickClock sinceClose;
    bool closed = false;
    QByteArray writtenAtClose;
    // Closed from inside a poll's hold, the deepest wait of a question.
    connect(m_kz, &sim::SimulatedKz::lineReceived, m_harness->window(), [&](const QString &line) {
        if (closed || line != kPoll || countPolls(m_kz) < 2)
            return;
        closed = true;
        m_harness->window()->close();
        writtenAtClose = m_harness->port()->written;
        sinceClose.restart();
    });
    c().com.Command2->click();
    QVERIFY(waitUntil([&] { return closed; }, 5000));
    // Not one hold more.
    QVERIFY2(sinceClose.designMs() < 250, qPrintable(QString::number(sinceClose.designMs())));
    QVERIFY(!c().form.Timer2->isActive());
    QVERIFY(!c().form.talk->isActive());
    QVERIFY(m_answers->isEmpty());
    QCOMPARE(m_harness->port()->written, writtenAtClose);
}

// Fault: the polls go on to the end of the window when the KZ goes away.
void TestQuestions::aLostKzEndsTheResponseWindow()
{
    start(0.05, {0});
    c().com.Option8->click();
    c().com.Command2->click();
    TickClock ticks;
    m_harness->removeDevices();
    QVERIFY(waitForAnswers(1));
    QVERIFY2(ticks.designMs() < 12000, qPrintable(QString::number(ticks.designMs())));
}

QTEST_MAIN(TestQuestions)
#include "tst_questions.moc"
