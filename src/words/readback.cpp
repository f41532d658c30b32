// SPDX-License-Identifier: GPL-3.0-or-later
#include "words/readback.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRegularExpression>

#include <utility>

namespace kz {

namespace {
const QString kDumpMark = QStringLiteral("Word 1 PROM");
constexpr int kLineTail = 10;
const QString kWaiting = QStringLiteral("Please Wait ");
} // namespace

ReadBack::ReadBack(const WordListPage &page, ListBox *wordList, DeviceLink &link,
                   ReceiveRouter &router, QObject *parent)
    : QObject(parent), m_page(page), m_wordList(wordList), m_link(link)
{
    router.route(ReceiveRouter::Step::WordListDump, m_page.setupframe, [this](QString &message) {
        takeMessage(message);
        return ReceiveRouter::Next::Continue;
    });
    connect(m_page.Command17, &QPushButton::clicked, this, &ReadBack::request);
}

void ReadBack::request()
{
    // Lines of another sequence between these would spoil the request.
    CommandSequence lines(SequenceKind::Click, QStringLiteral("Read Words Spoken"));
    lines.then([this] { m_page.Text27->setText(kWaiting); })
        .send(commands::kDumpSelect)
        .hold()
        .send(commands::kDumpLength)
        .hold(2)
        .send(commands::kDumpSend);
    m_link.run(std::move(lines));
}

QStringList ReadBack::dumpLines(const QString &dump)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r"));
    return dump.split(lineEnd);
}

std::optional<int> ReadBack::lineNumber(const QString &line)
{
    QString tail = line.right(kLineTail);
    const int d = tail.indexOf(u'd');
    if (d >= 0)
        tail = tail.mid(d + 1);
    const std::optional<qint16> n = toInt16(numericValue(tail));
    return n ? std::optional<int>(*n) : std::nullopt;
}

void ReadBack::takeMessage(const QString &message)
{
    m_page.Text28->setText(message);
    const QString dump = m_page.Text28->text();
    if (!dump.contains(kDumpMark))
        return;
    m_page.Text28->setText(QString());
    m_page.Text27->setText(QString());

    QString list;
    int n = 1;
    for (const QString &line : dumpLines(dump)) {
        const std::optional<int> pos = lineNumber(line);
        if (!pos || !m_wordList->selectIndex(*pos))
            continue;
        const QString word = m_wordList->selectedText();
        if (word.trimmed().isEmpty())
            continue;
        list += QStringLiteral("Word #") + signedField(n) + u' ' + word + QStringLiteral("\r\n");
        ++n;
    }
    m_page.Text27->setText(list);
}

} // namespace kz
