// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the auto tune and the PK test, apart from the window.
#include "tuning/tunemath.h"

#include <QTest>

using namespace kz;
using namespace kz::tune;

namespace {
// The twelve values as "RANGE OFFSET REPEAT GAIN" per level; "-" for a value
// the bar refuses, so that it keeps its own.
QString accepted(const TuneResult &r)
{
    QStringList levels;
    for (int level = 0; level < kLevelCount; ++level) {
        QStringList values;
        for (int row = 0; row < kRowCount; ++row) {
            const int i = level * kRowCount + row;
            const auto v = acceptedValue(settingAt(i).row, r.values[std::size_t(i)]);
            values << (v ? QString::number(*v) : QStringLiteral("-"));
        }
        levels << values.join(u' ');
    }
    return levels.join(QStringLiteral(" / "));
}

QList<double> repeated(int count, double level)
{
    return QList<double>(count, level);
}
} // namespace

class TestTuneMath : public QObject {
    Q_OBJECT
private slots:
    void replyGivesTheNumberBeforeItsEndMark_data();
    void replyGivesTheNumberBeforeItsEndMark();
    void passesKeepHighestLowestAndAverage_data();
    void passesKeepHighestLowestAndAverage();
    void gaugeColoursAreTestedInOrder_data();
    void gaugeColoursAreTestedInOrder();
    void levelsGiveTheTwelveValues_data();
    void levelsGiveTheTwelveValues();
    void aSpikeIsAboveTwiceTheAverage_data();
    void aSpikeIsAboveTwiceTheAverage();
    void summaryShowsSignedFields_data();
    void summaryShowsSignedFields();
    void referenceIsTheMeanOfTenReadings_data();
    void referenceIsTheMeanOfTenReadings();
    void lineLeansByTheDifference_data();
    void lineLeansByTheDifference();
};

void TestTuneMath::replyGivesTheNumberBeforeItsEndMark_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("reading");
    QTest::newRow("123^") << "123^" << 123.0;
    QTest::newRow("bare end mark") << "^" << 0.0;
    QTest::newRow("fraction") << "12.5^" << 12.5;
    // The last character goes, whatever it is: two merged replies read as the first.
    QTest::newRow("two replies") << "100^200^" << 100.0;
}

void TestTuneMath::replyGivesTheNumberBeforeItsEndMark()
{
    QFETCH(QString, text);
    QFETCH(double, reading);
    QCOMPARE(readingOf(text), reading);
}

void TestTuneMath::passesKeepHighestLowestAndAverage_data()
{
    QTest::addColumn<QList<double>>("levels");
    QTest::addColumn<double>("highest");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("average");
    QTest::newRow("300 on every pass") << repeated(100, 300) << 300.0 << 300.0 << 300.0;
    QList<double> spike = repeated(100, 300);
    spike[42] = 900;
    QTest::newRow("one 900 among 300s") << spike << 900.0 << 300.0 << 306.0;
    QTest::newRow("never above 5") << repeated(100, 5) << 5.0 << 1000.0 << 5.0;
    QList<double> quiet = repeated(100, 0);
    quiet[0] = 6;
    QTest::newRow("6 is above idle") << quiet << 6.0 << 6.0 << 0.06;
    QTest::newRow("1000 is no lowest") << repeated(100, 1000) << 1000.0 << 1000.0 << 1000.0;
}

void TestTuneMath::passesKeepHighestLowestAndAverage()
{
    QFETCH(QList<double>, levels);
    QFETCH(double, highest);
    QFETCH(double, lowest);
    QFETCH(double, average);
    PassTally tally;
    for (double level : levels)
        (void)tally.add(level);
    QCOMPARE(tally.highest(), highest);
    QCOMPARE(tally.lowest(), lowest);
    QCOMPARE(tally.average(), average);
}

void TestTuneMath::gaugeColoursAreTestedInOrder_data()
{
    QTest::addColumn<QList<double>>("levels");
    QTest::addColumn<QString>("colours"); // per pass: R, Y, C or . for unchanged
    QTest::newRow("equal levels change nothing") << QList<double> {300, 300, 300} << "Y..";
    QTest::newRow("higher, lower, between") << QList<double> {300, 400, 200, 350} << "YRYC";
    QTest::newRow("idle levels never lowest") << QList<double> {5, 3, 6, 5} << "R.Y.";
    QTest::newRow("first pass of 1000") << QList<double> {1000, 1000} << "R.";
    QTest::newRow("zero first") << QList<double> {0, 10} << ".Y";
}

void TestTuneMath::gaugeColoursAreTestedInOrder()
{
    QFETCH(QList<double>, levels);
    QFETCH(QString, colours);
    PassTally tally;
    QString seen;
    for (double level : levels) {
        switch (tally.add(level)) {
        case GaugeColour::Red:
            seen += u'R';
            break;
        case GaugeColour::Yellow:
            seen += u'Y';
            break;
        case GaugeColour::Cyan:
            seen += u'C';
            break;
        case GaugeColour::Unchanged:
            seen += u'.';
            break;
        }
    }
    QCOMPARE(seen, colours);
}

void TestTuneMath::levelsGiveTheTwelveValues_data()
{
    QTest::addColumn<double>("highest");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("average");
    QTest::addColumn<int>("gainBefore");
    QTest::addColumn<QString>("values");
    QTest::addColumn<double>("usedHighest");
    QTest::addColumn<int>("gainAfter");
    QTest::newRow("300 on every pass")
        << 300.0 << 300.0 << 300.0 << 4 << "240 - 20 3 / 300 - 75 1 / 340 - 100 1" << 300.0 << 3;
    QTest::newRow("one 900 among 300s")
        << 900.0 << 300.0 << 306.0 << 4 << "504 110 20 1 / 630 165 75 1 / 670 255 100 1" << 630.0
        << 3;
    // The lowest stays at 1000: every offset is negative, every range too small.
    QTest::newRow("never above 5")
        << 5.0 << 1000.0 << 5.0 << 4 << "- - 20 4 / - - 75 3 / 45 - 100 2" << 5.0 << 6;
    QTest::newRow("highest 1000 leaves High RANGE")
        << 1000.0 << 1000.0 << 1000.0 << 4 << "800 - 20 1 / 1000 - 75 1 / - - 100 1" << 1000.0 << 3;
    // The gain of 5 or 6 goes into Mid and High although Low stops at 4.
    QTest::newRow("gain 5") << 200.0 << 100.0 << 150.0 << 4
                            << "160 33 20 4 / 200 50 75 2 / 240 100 100 1" << 200.0 << 5;
    QTest::newRow("gain 6") << 150.0 << 90.0 << 120.0 << 1
                            << "120 20 20 4 / 150 30 75 3 / 190 60 100 2" << 150.0 << 6;
    QTest::newRow("no passes above 0 keep the gain")
        << 0.0 << 1000.0 << 0.0 << 2 << "- - 20 2 / - - 75 1 / 40 - 100 1" << 0.0 << 3;
    QTest::newRow("a gain beyond 16 bits is not taken")
        << 0.01 << 1000.0 << 0.01 << 5 << "- - 20 4 / - - 75 2 / 40 - 100 1" << 0.01 << 5;
    QTest::newRow("a quotient of 0 goes to 1")
        << 2000.0 << 1500.0 << 1800.0 << 0 << "- 166 20 1 / - 250 75 1 / - 255 100 1" << 2000.0
        << 3;
}

void TestTuneMath::aSpikeIsAboveTwiceTheAverage_data()
{
    QTest::addColumn<double>("highest");
    QTest::addColumn<double>("average");
    QTest::addColumn<double>("usedHighest");
    QTest::newRow("twice the average is kept") << 600.0 << 300.0 << 600.0;
    QTest::newRow("just above twice is reduced") << 601.0 << 300.0 << 601.0 * 0.7;
}

void TestTuneMath::aSpikeIsAboveTwiceTheAverage()
{
    QFETCH(double, highest);
    QFETCH(double, average);
    QFETCH(double, usedHighest);
    QCOMPARE(tuneSettings(highest, 300, average, 3).highest, usedHighest);
}

void TestTuneMath::levelsGiveTheTwelveValues()
{
    QFETCH(double, highest);
    QFETCH(double, lowest);
    QFETCH(double, average);
    QFETCH(int, gainBefore);
    QFETCH(QString, values);
    QFETCH(double, usedHighest);
    QFETCH(int, gainAfter);
    const TuneResult r = tuneSettings(highest, lowest, average, qint16(gainBefore));
    QCOMPARE(accepted(r), values);
    QCOMPARE(r.highest, usedHighest);
    QCOMPARE(int(r.gain), gainAfter);
}

void TestTuneMath::summaryShowsSignedFields_data()
{
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<double>("average");
    QTest::addColumn<QString>("text");
    QTest::newRow("300 on every pass")
        << 300.0 << 300.0 << 300.0 << "Min =  300 Max =  300 Delta =  0 Average = 300";
    QTest::newRow("first summary of the 900")
        << 300.0 << 900.0 << 306.0 << "Min =  300 Max =  900 Delta =  600 Average = 306";
    QTest::newRow("second summary of the 900")
        << 300.0 << 630.0 << 306.0 << "Min =  300 Max =  630 Delta =  330 Average = 306";
    QTest::newRow("never above 5")
        << 1000.0 << 5.0 << 4.5 << "Min =  1000 Max =  5 Delta = -995 Average = 4.5";
}

void TestTuneMath::summaryShowsSignedFields()
{
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(double, average);
    QFETCH(QString, text);
    QCOMPARE(summary(lowest, highest, average), text);
}

void TestTuneMath::referenceIsTheMeanOfTenReadings_data()
{
    QTest::addColumn<QList<double>>("readings");
    QTest::addColumn<int>("av");
    QTest::addColumn<int>("avg");
    QTest::addColumn<int>("stars");
    QList<double> down = repeated(9, 452);
    down << 457; // sum 4525
    QTest::newRow("452.5 rounds to 452") << down << 10 << 452 << 10;
    QList<double> up = repeated(9, 453);
    up << 458; // sum 4535
    QTest::newRow("453.5 rounds to 454") << up << 10 << 454 << 10;
    QTest::newRow("nine readings are not enough") << repeated(9, 100) << 9 << 900 << 9;
    QTest::newRow("the eleventh is no calibration") << repeated(11, 100) << 10 << 100 << 10;
    QTest::newRow("a sum past 16 bits stops at the limit")
        << QList<double> {99999, 99999, 1, 1, 1, 1, 1, 1, 1, 1} << 10 << 3277 << 10;
    QTest::newRow("and below it") << QList<double> {-99999, -5, 0, 0, 0, 0, 0, 0, 0, 0} << 10
                                  << -3277 << 10;
}

void TestTuneMath::referenceIsTheMeanOfTenReadings()
{
    QFETCH(QList<double>, readings);
    QFETCH(int, av);
    QFETCH(int, avg);
    QFETCH(int, stars);
    PkCalibration calibration;
    for (double reading : repeated(10, 1234))
        calibration.take(reading);
    calibration.restart();
    int taken = 0;
    for (double reading : readings)
        taken += calibration.take(reading) ? 1 : 0;
    QCOMPARE(int(calibration.av()), av);
    QCOMPARE(int(calibration.avg()), avg);
    QCOMPARE(taken, stars);
}

void TestTuneMath::lineLeansByTheDifference_data()
{
    QTest::addColumn<double>("reading");
    QTest::addColumn<int>("avg");
    QTest::addColumn<double>("x");
    QTest::newRow("100 against 90") << 100.0 << 90 << 3850.0;
    QTest::newRow("50 against 90") << 50.0 << 90 << 3800.0;
    QTest::newRow("90 against 90") << 90.0 << 90 << 3840.0;
    QTest::newRow("typed beyond reason") << 1e300 << 0 << 1e6;
}

void TestTuneMath::lineLeansByTheDifference()
{
    QFETCH(double, reading);
    QFETCH(int, avg);
    QFETCH(double, x);
    QCOMPARE(pkLineX(reading, qint16(avg)), x);
}

QTEST_GUILESS_MAIN(TestTuneMath)
#include "tst_tunemath.moc"
