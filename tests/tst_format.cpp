// SPDX-License-Identifier: GPL-3.0-or-later
// Number forms shared by every command and every box the window fills.
#include "device/format.h"

#include <QTest>

using namespace kz;

class TestFormat : public QObject {
    Q_OBJECT
private slots:
    void signedFieldForm_data();
    void signedFieldForm();
    void numericValueOfDeviceText_data();
    void numericValueOfDeviceText();
    void digitFilterKeepsDigitsInOrder_data();
    void digitFilterKeepsDigitsInOrder();
    void storingIntoSixteenBitsRoundsTiesToEven_data();
    void storingIntoSixteenBitsRoundsTiesToEven();
    void composedCommandsShowTwoBlanksAfterAPrefixBlank();
    void trimmingTakesBlanksOnly();
};

void TestFormat::signedFieldForm_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero") << -0.0 << " 0";
    QTest::newRow("positive") << 5.0 << " 5";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("half without leading zero") << 0.5 << " .5";
    QTest::newRow("negative half") << -0.5 << "-.5";
    QTest::newRow("one decimal") << 1.1 << " 1.1";
    QTest::newRow("whole after division") << 20.0 / 10.0 << " 2";
    QTest::newRow("no trailing zeros") << 2.25 << " 2.25";
    QTest::newRow("fifteen significant digits") << 1.0 / 3.0 << " .333333333333333";
    QTest::newRow("large whole number") << 123456789012.0 << " 123456789012";
    QTest::newRow("tiny fraction stays plain") << 0.00001 << " .00001";
    QTest::newRow("store address") << 17664.0 + 64 * 640 << " 58624";
}

void TestFormat::signedFieldForm()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(signedField(value), expected);
}

void TestFormat::numericValueOfDeviceText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("blanks then number then letters") << "  42abc" << 42.0;
    QTest::newRow("letters then digits") << "abc42" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("tabs and line feeds skipped") << "\t\n 17^" << 17.0;
    QTest::newRow("carriage return is not skipped") << "\r17" << 0.0;
    QTest::newRow("reading with end mark") << "123^" << 123.0;
    QTest::newRow("only the end mark") << "^" << 0.0;
    QTest::newRow("sign") << "-12" << -12.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("point without leading digit") << ".5" << 0.5;
    QTest::newRow("fraction") << "2.5" << 2.5;
    QTest::newRow("exponent") << "1.5e2x" << 150.0;
    QTest::newRow("exponent without digits is left out") << "3e" << 3.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("signed_field text") << " 225" << 225.0;
    QTest::newRow("stops at the second point") << "1.2.3" << 1.2;
}

void TestFormat::numericValueOfDeviceText()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(numericValue(text), expected);
}

void TestFormat::digitFilterKeepsDigitsInOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mode report") << "AA = 12^"
                                 << "12";
    QTest::newRow("no digits") << "Done^"
                               << "";
    QTest::newRow("scattered") << "a1b2 c3\r\n4"
                               << "1234";
    QTest::newRow("fraction loses its point") << "12.5"
                                              << "125";
    QTest::newRow("non-ASCII digits dropped") << QStringLiteral("\u0661\u0662 7") << "7";
}

void TestFormat::digitFilterKeepsDigitsInOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(digitsOnly(text), expected);
}

void TestFormat::storingIntoSixteenBitsRoundsTiesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected"); // -99999 for "does not fit"
    QTest::newRow("2.5 to 2") << 2.5 << 2;
    QTest::newRow("3.5 to 4") << 3.5 << 4;
    QTest::newRow("-2.5 to -2") << -2.5 << -2;
    QTest::newRow("2.6 to 3") << 2.6 << 3;
    QTest::newRow("largest") << 32767.0 << 32767;
    QTest::newRow("smallest") << -32768.0 << -32768;
    QTest::newRow("too large") << 32768.0 << -99999;
    QTest::newRow("too small") << -32769.0 << -99999;
    QTest::newRow("rounds into range") << 32767.4 << 32767;
}

void TestFormat::storingIntoSixteenBitsRoundsTiesToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    const std::optional<qint16> stored = toInt16(value);
    if (expected == -99999)
        QVERIFY(!stored.has_value());
    else
        QCOMPARE(int(stored.value()), expected);
}

void TestFormat::composedCommandsShowTwoBlanksAfterAPrefixBlank()
{
    QCOMPARE(QStringLiteral("> ") + signedField(4) + signedField(2), QStringLiteral(">  4 2"));
    QCOMPARE(QStringLiteral("@ ") + signedField(0) + signedField(120), QStringLiteral("@  0 120"));
    QCOMPARE(QStringLiteral("@ ") + signedField(199) + signedField(0), QStringLiteral("@  199 0"));
}

void TestFormat::trimmingTakesBlanksOnly()
{
    QCOMPARE(trimBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    QCOMPARE(trimBlanks(QStringLiteral("\tx\r\n ")), QStringLiteral("\tx\r\n"));
    QCOMPARE(trimBlanks(QStringLiteral("   ")), QString());
}

QTEST_APPLESS_MAIN(TestFormat)
#include "tst_format.moc"
