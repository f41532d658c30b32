// SPDX-License-Identifier: GPL-3.0-or-later
// The phoneme table built into the program: its fixed rows, the shape every
// row must keep for the device, and the generated rows' agreement with the
// word list.
#include "words/phonetable.h"
#include "words/wordlist.h"

#include <QHash>
#include <QList>
#include <QTest>

using namespace kz;

namespace {

using Row = QList<qint16>;

// The ten slots of row n.
Row rowAt(int n)
{
    Row row;
    for (int k = 0; k < kPhoneSlots; ++k)
        row << phone(n * kPhoneSlots + k);
    return row;
}

// The codes of row n, without the 48s that fill it.
Row codesAt(int n)
{
    Row row = rowAt(n);
    while (!row.isEmpty() && row.last() == kEmptySlot)
        row.removeLast();
    return row;
}

Row padded(Row codes)
{
    while (codes.size() < kPhoneSlots)
        codes << kEmptySlot;
    return codes;
}

QString show(const Row &row)
{
    QStringList parts;
    for (qint16 c : row)
        parts << QString::number(c);
    return parts.join(u' ');
}

bool isSound(qint16 c)
{
    return c >= 128 && c <= 199;
}

// Controls the table uses: pauses, fast, slow, stress and relax.
bool isControl(qint16 c)
{
    return c == 1 || c == 2 || c == 4 || c == 6 || c == 7 || c == 8 || c == 14 || c == 15;
}

// Three odd values stand in two rows of the device's own table and nowhere else.
bool isOddValueOfRow(int n, qint16 c)
{
    return (n == 1927 && (c == 10 || c == 79)) || (n == 1769 && c == 18);
}

constexpr int kLastWordRow = 2047;

} // namespace

Q_DECLARE_METATYPE(Row)

class TestPhoneTable : public QObject {
    Q_OBJECT
private slots:
    void listedRows_data();
    void listedRows();
    void elements_data();
    void elements();
    void everyRowIsCodesThenEmptySlots();
    void everyCodeIsSoundOrControl();
    void elementsPastTheLastRowStayZero();
    void equalTextsHaveEqualRows();
    void entriesSpokenAsAnotherWord_data();
    void entriesSpokenAsAnotherWord();
    void twoWordEntriesJoinTheirWordsWithAPause_data();
    void twoWordEntriesJoinTheirWordsWithAPause();
    void codesPerRowSpreadLikeTheDevicesTable();
};

void TestPhoneTable::listedRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<Row>("codes");
    QTest::newRow("0 PLACEBO") << 0 << Row {199, 145, 130, 187, 131, 171, 164};
    QTest::newRow("1 ENTIRE") << 1 << Row {131, 141, 191, 129, 148};
    QTest::newRow("2 UNDER") << 2 << Row {134, 141, 174, 148, 148};
    QTest::newRow("3 MUSE") << 3 << Row {140, 8, 160, 167};
    QTest::newRow("4 D") << 4 << Row {174, 128, 128};
    QTest::newRow("5 SUPPER") << 5 << Row {187, 134, 199, 148, 148};
    QTest::newRow("6 LIGHT") << 6 << Row {145, 155, 191};
    QTest::newRow("7 CARRIER") << 7 << Row {194, 152, 155, 149};
    QTest::newRow("8 SHOULD") << 8 << Row {189, 138, 138, 177};
    QTest::newRow("9 HUMAN") << 9 << Row {184, 8, 160, 140, 132, 141};
    QTest::newRow("10 AWARD") << 10 << Row {133, 147, 132, 148, 176};
    QTest::newRow("11 RECORDS") << 11 << Row {148, 128, 194, 153, 174, 167};
    QTest::newRow("133 ZERO") << 133 << Row {167, 131, 148, 164};
    QTest::newRow("226 QUICKLY") << 226 << Row {195, 7, 147, 129, 196, 2, 145, 128};
    QTest::newRow("1365 PROBABLY") << 1365 << Row {199, 148, 136, 136, 171, 132, 171, 2, 145, 128};
    QTest::newRow("1416 HELPFUL") << 1416 << Row {184, 131, 145, 199, 186, 15, 138, 15, 138, 146};
    QTest::newRow("1927 FURY") << 1927 << Row {186, 10, 79, 148, 8, 128};
    QTest::newRow("2047 digit 0") << 2047 << Row {167, 7, 128, 7, 149, 164};
    for (int n = 2048; n < kPhoneRows; ++n)
        QTest::addRow("%d empty", n) << n << Row {};
}

void TestPhoneTable::listedRows()
{
    QFETCH(int, row);
    QFETCH(Row, codes);
    QCOMPARE(rowAt(row), padded(codes));
}

void TestPhoneTable::elements_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::newRow("first") << 0 << 199;
    QTest::newRow("end of row 0") << 9 << 48;
    QTest::newRow("start of row 1") << 10 << 131;
    QTest::newRow("last filled") << 20549 << 48;
    QTest::newRow("first unused") << 20550 << 0;
    QTest::newRow("last index") << 20600 << 0;
    QTest::newRow("below the table") << -1 << 0;
    QTest::newRow("past the table") << kPhoneElements << 0;
}

void TestPhoneTable::elements()
{
    QFETCH(int, index);
    QFETCH(int, value);
    QCOMPARE(int(phone(index)), value);
    if (index >= 0 && index < kPhoneElements)
        QCOMPARE(int(phoneTable()[index]), value);
}

void TestPhoneTable::everyRowIsCodesThenEmptySlots()
{
    for (int n = 0; n < kPhoneRows; ++n) {
        const Row row = rowAt(n);
        const int firstEmpty = row.indexOf(kEmptySlot);
        const int used = firstEmpty < 0 ? kPhoneSlots : firstEmpty;
        for (int k = used; k < kPhoneSlots; ++k)
            QVERIFY2(row[k] == kEmptySlot,
                     qPrintable(QString::asprintf("row %d: ", n) + show(row)));
        // A word with text is spoken; rows past the last word are silent.
        QVERIFY2((used > 0) == (n <= kLastWordRow),
                 qPrintable(QString::asprintf("row %d: ", n) + show(row)));
    }
}

void TestPhoneTable::everyCodeIsSoundOrControl()
{
    for (int n = 0; n < kPhoneRows; ++n) {
        for (qint16 c : codesAt(n))
            QVERIFY2(isSound(c) || isControl(c) || isOddValueOfRow(n, c),
                     qPrintable(QString::asprintf("row %d holds %d: ", n, c) + show(rowAt(n))));
    }
}

void TestPhoneTable::elementsPastTheLastRowStayZero()
{
    for (int i = kPhoneRows * kPhoneSlots; i < kPhoneElements; ++i)
        QVERIFY2(phoneTable()[i] == 0, qPrintable(QString::number(i)));
}

void TestPhoneTable::equalTextsHaveEqualRows()
{
    QHash<QString, int> first;
    int pairs = 0;
    for (int n = 0; n < kWordCount; ++n) {
        const QString text = wordText(n);
        if (text.isEmpty())
            continue;
        if (!first.contains(text)) {
            first.insert(text, n);
            continue;
        }
        ++pairs;
        QVERIFY2(
            rowAt(n) == rowAt(first[text]),
            qPrintable(QString::asprintf("%s at %d and %d", qPrintable(text), first[text], n)));
    }
    QCOMPARE(pairs, 7);
}

void TestPhoneTable::entriesSpokenAsAnotherWord_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("word");
    const char *const names[]
        = {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT", "NINE"};
    for (int d = 1; d <= 9; ++d)
        QTest::addRow("digit %d", d) << QString::number(d) << QString::fromLatin1(names[d - 1]);
    QTest::newRow("misspelt") << "YEILD"
                              << "YIELD";
}

// Digits are said as their names and misspellings as the word they mean, so
// each row equals the row of that word where the list has it too.
void TestPhoneTable::entriesSpokenAsAnotherWord()
{
    QFETCH(QString, entry);
    QFETCH(QString, word);
    int entryRow = -1, wordRow = -1;
    for (int n = 0; n < kWordCount; ++n) {
        if (wordText(n) == entry)
            entryRow = n;
        if (wordText(n) == word)
            wordRow = n;
    }
    QVERIFY(entryRow >= 0 && wordRow >= 0);
    QCOMPARE(rowAt(entryRow), rowAt(wordRow));
}

void TestPhoneTable::twoWordEntriesJoinTheirWordsWithAPause_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("DO RUN") << 498;
    QTest::newRow("AM NOT") << 962;
    QTest::newRow("ROSE LINE") << 1227;
    QTest::newRow("NEW MOON") << 1315;
    QTest::newRow("ALL RIGHT") << 1364;
    QTest::newRow("HEAD STONE") << 1818;
}

// Each half of a two-word entry is also a word of its own in the list.
void TestPhoneTable::twoWordEntriesJoinTheirWordsWithAPause()
{
    QFETCH(int, row);
    const QStringList halves = wordText(row).split(u' ');
    QCOMPARE(halves.size(), 2);
    Row parts[2];
    for (int n = 0; n < kWordCount; ++n) {
        for (int h = 0; h < 2; ++h)
            if (wordText(n) == halves[h])
                parts[h] = codesAt(n);
    }
    QVERIFY(!parts[0].isEmpty() && !parts[1].isEmpty());
    const Row codes = codesAt(row);
    QCOMPARE(codes.size(), parts[0].size() + 1 + parts[1].size());
    QCOMPARE(codes.first(parts[0].size()), parts[0]);
    const qint16 between = codes[parts[0].size()];
    QVERIFY2(between == 1 || between == 2 || between == 4 || between == 6, qPrintable(show(codes)));
    QCOMPARE(codes.last(parts[1].size()), parts[1]);
}

// The device's own table has 4.68 codes per row and 35 full rows; words much
// longer or shorter would be a mapping gone wrong.
void TestPhoneTable::codesPerRowSpreadLikeTheDevicesTable()
{
    int codes = 0, spoken = 0, full = 0;
    for (int n = 0; n < kPhoneRows; ++n) {
        const int count = codesAt(n).size();
        if (count == 0)
            continue;
        codes += count;
        ++spoken;
        full += count == kPhoneSlots ? 1 : 0;
    }
    QCOMPARE(spoken, kLastWordRow + 1);
    const double mean = double(codes) / spoken;
    QVERIFY2(qAbs(mean - 4.68) <= 0.5, qPrintable(QString::number(mean)));
    QVERIFY2(full <= 35, qPrintable(QString::number(full)));
}

QTEST_MAIN(TestPhoneTable)
#include "tst_phonetable.moc"
