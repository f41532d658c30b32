// SPDX-License-Identifier: GPL-3.0-or-later
// Every caption fits its control in the font the control uses, whatever
// fonts the system has and at any scale factor.
#include "support.h"
#include "window/captionfit.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QTabBar>
#include <QTest>

using namespace kz;
using namespace kz::test;

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyCaptionFits();
    void theFontIsChosenByItsWidths();
    void theWindowScalesWhole();

private:
    std::unique_ptr<WindowHarness> h;
};

void TestCaptions::initTestCase()
{
    h = std::make_unique<WindowHarness>();
    h->createWindow();
    QVERIFY(QTest::qWaitForWindowExposed(h->window()));
}

void TestCaptions::cleanupTestCase()
{
    h.reset();
}

void TestCaptions::everyCaptionFits()
{
    const QList<Caption> captions = captionsOf(h->window());
    QStringList cut;
    QSet<QString> seen;
    for (const Caption &caption : captions) {
        seen.insert(caption.control->objectName());
        if (!caption.fits())
            cut << QStringLiteral("%1 \"%2\": text %3 px, room %4 px (font %5 %6 pt)")
                       .arg(caption.control->objectName(), caption.text)
                       .arg(caption.advance)
                       .arg(caption.room)
                       .arg(caption.control->font().family())
                       .arg(caption.control->font().pointSizeF());
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    // The walk reaches every kind of caption on every page.
    for (const char *name : {"Command1", "Command10", "Command12", "Option6", "Check5", "Label10",
                             "Label11", "Frame12", "TabStrip1", "Command5", "Command28"})
        QVERIFY2(seen.contains(QLatin1String(name)), name);
}

void TestCaptions::theFontIsChosenByItsWidths()
{
    const QStringList metricTwins {
        "MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans", "Arimo",
        "Helvetica",     "Nimbus Sans"};
    const QStringList available = QFontDatabase::families();
    bool anyTwin = false;
    for (const QString &family : metricTwins)
        anyTwin = anyTwin || available.contains(family, Qt::CaseInsensitive);
    if (!anyTwin)
        QSKIP("no font with the design font's widths is installed (kz.sh installs one)");
    QVERIFY2(metricTwins.contains(h->window()->font().family(), Qt::CaseInsensitive),
             qPrintable(h->window()->font().family()));
    // The family is really in use, not substituted behind the name.
    QCOMPARE(QFontInfo(h->window()->font()).family().toLower(),
             h->window()->font().family().toLower());
}

// At a scale factor of 2 the window is twice as many device pixels, and the
// captions were checked above in the same run.
void TestCaptions::theWindowScalesWhole()
{
    const qreal ratio = h->window()->devicePixelRatioF();
    const QImage picture = h->window()->grab().toImage();
    QCOMPARE(picture.width(), qRound(h->window()->width() * ratio));
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2"))
        QCOMPARE(ratio, 2.0);
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
