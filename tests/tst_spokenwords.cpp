// SPDX-License-Identifier: GPL-3.0-or-later
// The words the KZ speaks, end to end against the simulated KZ: said on
// request, then read back into the Word List page.
#include "device/devicelink.h"
#include "harness.h"
#include "kit/widgets.h"
#include "words/wordlist.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

using namespace kz;
using namespace kz::test;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

class TestSpokenWords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wordsSaidAreReadBackNumbered();

private:
    std::unique_ptr<Harness> h;
    sim::SimulatedKz *kz = nullptr;
};

void TestSpokenWords::init()
{
    h = std::make_unique<Harness>(0.05);
    kz = h->addDevice(1);
    QVERIFY(h->start(QStringLiteral("Word List")));
}

void TestSpokenWords::cleanup()
{
    h.reset();
}

void TestSpokenWords::wordsSaidAreReadBackNumbered()
{
    const WordListPage &page = h->controls().words;
    const QList<std::pair<int, bool>> said {{57, false}, {12, true}, {1000, false}};
    for (const auto &[word, reversed] : said) {
        QVERIFY(page.HScroll7->setValueChecked(word));
        page.Check5->setChecked(reversed);
        QTest::mouseClick(page.Command47, Qt::LeftButton);
        // A click during the last word's waits would be refused.
        QVERIFY(waitUntil([&] { return !h->window()->link().isSequenceRunning(); }));
    }
    QVERIFY(waitUntil([&] { return kz->spokenWords().size() == said.size(); }));
    QCOMPARE(kz->spokenWords(),
             (QList<sim::SimulatedKz::SpokenWord> {{57, false}, {12, true}, {1000, false}}));

    kz->clearReceived();
    QStringList shown;
    connect(&h->window()->link(), &DeviceLink::commandSent, this,
            [&] { shown << page.Text27->text(); });
    QTest::mouseClick(page.Command17, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return shown.size() >= 3; }));
    QCOMPARE(shown, QStringList(3, QStringLiteral("Please Wait ")));
    // The last line may still be on its way through the pseudo-terminal.
    QVERIFY(waitUntil([&] { return kz->receivedLines().size() >= 3; }));
    QCOMPARE(kz->receivedLines(), (QStringList {"> 14 1", "* 800", "> 2 1"}));
    const QString list = QStringLiteral("Word # 1 ") + wordText(57) + kCrLf
        + QStringLiteral("Word # 2 ") + wordText(12) + kCrLf + QStringLiteral("Word # 3 ")
        + wordText(1000) + kCrLf;
    QVERIFY(waitUntil([&] { return page.Text27->text() != QLatin1String("Please Wait "); }));
    QCOMPARE(page.Text27->text(), list);
}

QTEST_MAIN(TestSpokenWords)
#include "tst_spokenwords.moc"
