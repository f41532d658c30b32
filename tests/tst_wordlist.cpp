// SPDX-License-Identifier: GPL-3.0-or-later
// The vocabulary built into the program and its copies in the page lists.
#include "support.h"
#include "kit/widgets.h"
#include "words/wordlist.h"

#include <QSet>
#include <QTest>

using namespace kz;

class TestWordList : public QObject {
    Q_OBJECT
private slots:
    void entriesByNumber_data();
    void entriesByNumber();
    void shapeOfTheList();
    void duplicatedTextsStandUnderBothNumbers();
    void pageListsCopyItemsUpTo2048();
};

void TestWordList::entriesByNumber_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << 0 << "PLACEBO";
    QTest::newRow("letter") << 4 << "D";
    QTest::newRow("pluto") << 12 << "PLUTO";
    QTest::newRow("zero word") << 133 << "ZERO";
    QTest::newRow("misspelt as listed") << 138 << "DECEND";
    QTest::newRow("digit seven") << 212 << "7";
    QTest::newRow("february as listed") << 442 << "FEBUARY";
    QTest::newRow("two words") << 498 << "DO RUN";
    QTest::newRow("september as listed") << 946 << "SEPTEMEBR";
    QTest::newRow("digit one") << 990 << "1";
    QTest::newRow("rose line") << 1227 << "ROSE LINE";
    QTest::newRow("yield as listed") << 1526 << "YEILD";
    QTest::newRow("head stone") << 1818 << "HEAD STONE";
    QTest::newRow("fury") << 1927 << "FURY";
    QTest::newRow("last word") << 2046 << "WORKERS";
    QTest::newRow("digit zero") << 2047 << "0";
    QTest::newRow("empty 2048") << 2048 << "";
    QTest::newRow("empty 2050") << 2050 << "";
    QTest::newRow("outside below") << -1 << "";
    QTest::newRow("outside above") << 2051 << "";
}

void TestWordList::entriesByNumber()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(wordText(number), text);
}

void TestWordList::shapeOfTheList()
{
    int withText = 0, twoWords = 0, single = 0;
    QSet<QString> seen;
    int repeats = 0;
    for (int n = 0; n < kWordCount; ++n) {
        const QString w = wordText(n);
        if (w.isEmpty())
            continue;
        ++withText;
        QVERIFY2(!w.startsWith(u' ') && !w.endsWith(u' ') && !w.contains(QLatin1String("  ")),
                 qPrintable(w));
        for (QChar ch : w)
            QVERIFY2(ch.isUpper() || ch.isDigit() || ch == u' ', qPrintable(w));
        twoWords += w.contains(u' ') ? 1 : 0;
        single += w.size() == 1 ? 1 : 0;
        if (seen.contains(w))
            ++repeats;
        seen.insert(w);
    }
    QCOMPARE(withText, 2048);
    QCOMPARE(twoWords, 6);
    QCOMPARE(repeats, 7);
    // 27 letters and digits 1 to 9, and the digit 0 as the last word.
    QCOMPARE(single, 28);
}

void TestWordList::duplicatedTextsStandUnderBothNumbers()
{
    const QList<QPair<int, int>> pairs {{56, 1047},  {252, 1228}, {543, 1601}, {565, 1474},
                                        {592, 1583}, {786, 1844}, {883, 1941}};
    for (const auto &[a, b] : pairs)
        QCOMPARE(wordText(a), wordText(b));
    QCOMPARE(wordText(56), QStringLiteral("NIGHT"));
}

void TestWordList::pageListsCopyItemsUpTo2048()
{
    test::WindowHarness h;
    h.createWindow();
    const auto &c = h.controls();
    QCOMPARE(c.com.List1->count(), 2051);
    QCOMPARE(c.kzPage.List2->count(), 2049);
    QCOMPARE(c.words.List3->count(), 2049);
    for (int n : {0, 1, 999, 2047, 2048}) {
        QCOMPARE(c.com.List1->item(n)->text(), wordText(n));
        QCOMPARE(c.kzPage.List2->item(n)->text(), wordText(n));
        QCOMPARE(c.words.List3->item(n)->text(), wordText(n));
    }
    QCOMPARE(c.com.List1->item(2050)->text(), QString());
}

QTEST_MAIN(TestWordList)
#include "tst_wordlist.moc"
