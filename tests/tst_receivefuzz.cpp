// SPDX-License-Identifier: GPL-3.0-or-later
// Random device text through the whole receive path: message assembly and
// every page's handler, in random chunks. Nothing may crash, and every word
// shown must be a word of the list.
#include "device/messageassembler.h"
#include "support.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"
#include "words/readinggroups.h"
#include "words/wordlist.h"

#include <QGroupBox>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {

constexpr int kMessages = 100000;

QByteArray randomMessage(QRandomGenerator &random)
{
    auto number = [&] { return QByteArray::number(random.bounded(-100000, 100000)); };
    switch (random.bounded(7)) {
    case 0: { // raw bytes, NUL and end marks anywhere
        QByteArray bytes(random.bounded(1, 40), '\0');
        for (char &b : bytes)
            b = char(random.bounded(256));
        return bytes;
    }
    case 1:
        return number() + '^';
    case 2:
        return "AA = " + number() + '^';
    case 3: {
        QByteArray dump = "Word 1 PROM";
        for (int i = random.bounded(6); i > 0; --i)
            dump += (random.bounded(2) ? "\r\n" : "\r") + QByteArray("x d ") + number();
        return dump + '^';
    }
    case 4:
        return "Done^";
    case 5:
        return "^";
    default:
        return number() + ' ' + number() + ' ' + number();
    }
}

} // namespace

class TestReceiveFuzz : public QObject {
    Q_OBJECT
private slots:
    void randomTextShowsOnlyWordsOfTheList();
};

void TestReceiveFuzz::randomTextShowsOnlyWordsOfTheList()
{
    quint32 seed = 20261208;
    if (qEnvironmentVariableIsSet("KZ_FUZZ_SEED"))
        seed = qEnvironmentVariableIntValue("KZ_FUZZ_SEED");
    const QByteArray context = "seed " + QByteArray::number(seed) + " (KZ_FUZZ_SEED)";
    QRandomGenerator random(seed);

    QSet<QString> words;
    for (int n = 0; n < kWordCount; ++n)
        words.insert(wordText(n));

    WindowHarness harness(0.1);
    QVERIFY(harness.connectWindow());
    const Form1Controls &c = harness.controls();
    ReceiveRouter &router = harness.window()->receiver();
    // The pages whose handlers take device text without waiting; the COM
    // page's words are said with waits, so its arithmetic runs on its own.
    QGroupBox *pages[]
        = {c.kzPage.KZframe, c.words.setupframe, c.setup.Controlframe, c.pk.pkframe, c.log.Frame10};
    ReadingGroups groups;
    c.words.Text27->setText(QString());
    c.pk.pktext->setText(QString());

    QByteArray stream;
    for (int m = 0; m < kMessages; ++m) {
        const QByteArray message = randomMessage(random);
        stream += message;
        if (std::optional<QString> group = groups.take(QString::fromLatin1(message), 4)) {
            if (const auto word = groups.wordFor(*group)) {
                QVERIFY2(word->number >= 1 && word->number <= 2048, context);
                QVERIFY2(words.contains(c.com.List1->item(word->number)->text()), context);
            }
        }
        if (stream.size() < 256 && m + 1 < kMessages)
            continue;
        c.com.comframe->hide();
        for (QGroupBox *page : pages)
            page->setVisible(page == pages[random.bounded(int(std::size(pages)))]);
        while (!stream.isEmpty()) {
            const int size = random.bounded(1, 65);
            harness.port()->feed(stream.left(size));
            stream.remove(0, size);
            router.tick();
            QVERIFY2(router.pending().size() <= MessageAssembler::kMaxPending, context);
        }
        for (const QString &line : c.kzPage.Text10->text().split(QStringLiteral("\r\n"))) {
            QVERIFY2(line.isEmpty() || words.contains(line), context + ": " + line.toLatin1());
        }
        for (const QString &line :
             c.words.Text27->text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const QString word = line.section(u' ', 3);
            QVERIFY2(line.startsWith(QStringLiteral("Word # ")) && words.contains(word),
                     context + ": " + line.toLatin1());
        }
        QVERIFY2(c.pk.pktext->text().size() <= 3, context);
        c.kzPage.Text10->setText(QString());
        c.words.Text27->setText(QString());
    }
}

QTEST_MAIN(TestReceiveFuzz)
#include "tst_receivefuzz.moc"
