#include "device/receiveloop.h"

#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "window/form1controls.h"
#include "window/formstate.h"
#include "window/widgets.h"

#include <QGroupBox>
#include <QRegularExpression>

namespace kz {

namespace {

const QString kEndMark = QStringLiteral("^");
const QString kDumpMark = QStringLiteral("Word 1 PROM");
const QString kReportMark = QStringLiteral("AA = ");
const QString kDoneMark = QStringLiteral("Done");
const QString kCrLf = QStringLiteral("\r\n");

bool shown(const QWidget *page)
{
    return !page->isHidden();
}

// The decimal text of a number, as the device's numbers are written back
// into the buffer: no blank in front, a zero before the point of a fraction.
QString decimalText(double value)
{
    QString text = signedField(value);
    if (text.startsWith(u' '))
        text.remove(0, 1);
    if (text.startsWith(u'.'))
        text.prepend(u'0');
    else if (text.startsWith(QLatin1String("-.")))
        text.insert(1, u'0');
    return text;
}

// A number read from device text as a list position, if it is one.
std::optional<int> position(const QString &text)
{
    const std::optional<qint16> n = toInt16(numericValue(text));
    return n ? std::optional<int>(*n) : std::nullopt;
}


} // namespace

ReceiveLoop::ReceiveLoop(const Form1Controls &controls, FormState &state, DeviceLink &link,
                         QObject *parent)
    : QObject(parent), c(controls), m_state(state), m_link(link)
{
    connect(c.Timer1, &QTimer::timeout, this, &ReceiveLoop::tick);
}

void ReceiveLoop::tick()
{
    // A tick that falls due while the previous one waits is dropped: the
    // buffer and the reading phase are never handled twice at once.
    if (m_inTick)
        return;
    m_inTick = true;

    m_buffer += m_link.readInput();
    if (!m_buffer.isEmpty()) {
        c.rec->setText(m_buffer);
        c.Text18->setText(m_buffer);
    }
    if (!m_buffer.contains(kEndMark)) {
        m_inTick = false;
        return;
    }

    if (shown(c.comframe) && m_readingPhase < 4) {
        takeReadingPhase();
        m_inTick = false;
        return;
    }
    if (shown(c.comframe)) {
        m_readingPhase = 1;
        const double sum
            = numericValue(m_reading1) + numericValue(m_reading2) + numericValue(m_reading3);
        m_buffer = decimalText(sum * m_state.gain);
    }
    if (shown(c.setupframe))
        showDump();
    if (shown(c.KZframe) && numericValue(m_buffer) < 256)
        showModeReport();
    if (shown(c.comframe))
        announceWord();
    if (shown(c.Controlframe) && !m_buffer.contains(kDoneMark))
        c.Text9->setText(trimBlanks(m_buffer));
    if (shown(c.pkframe) && !m_buffer.isEmpty())
        c.pktext->setText(digitsOnly(m_buffer).left(3));

    m_buffer.clear();
    m_inTick = false;
}

void ReceiveLoop::takeReadingPhase()
{
    // The first complete message after the start is only counted.
    if (m_readingPhase == 1)
        m_reading1 = m_buffer;
    else if (m_readingPhase == 2)
        m_reading2 = m_buffer;
    else if (m_readingPhase == 3)
        m_reading3 = m_buffer;
    ++m_readingPhase;
    m_buffer.clear();
}

QStringList ReceiveLoop::dumpLines(const QString &dump)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r"));
    return dump.split(lineEnd);
}

void ReceiveLoop::showDump()
{
    c.Text28->setText(m_buffer);
    const QString dump = c.Text28->text();
    if (!dump.contains(kDumpMark))
        return;
    c.Text28->setText(QString());
    c.Text27->setText(QString());

    QString list;
    int n = 1;
    for (const QString &line : dumpLines(dump)) {
        QString tail = line.right(10);
        const int d = tail.indexOf(u'd');
        if (d >= 0)
            tail = tail.mid(d + 1);
        const std::optional<int> pos = position(tail);
        if (!pos || !c.List1->isValidPosition(*pos))
            continue;
        c.List1->selectIndex(*pos);
        const QString word = c.List1->selectedText();
        if (word.trimmed().isEmpty())
            continue;
        list += QStringLiteral("Word #") + signedField(n) + u' ' + word + kCrLf;
        ++n;
    }
    c.Text27->setText(list);
}

void ReceiveLoop::showModeReport()
{
    const int at = m_buffer.indexOf(kReportMark);
    m_buffer = at >= 0 ? m_buffer.mid(at + kReportMark.size()) : m_buffer.mid(4);
    const std::optional<int> pos = position(m_buffer.left(3));
    if (!pos || !c.List2->isValidPosition(*pos))
        return;
    c.List2->selectIndex(*pos);
    c.Text10->setText(c.List2->selectedText() + kCrLf + c.Text10->text());
}

void ReceiveLoop::announceWord()
{
    const QString digits = digitsOnly(m_buffer).left(4);
    if (digits.isEmpty())
        return;
    const int w = static_cast<int>(numericValue(digits));
    if (w > kHighestWord || w < 1)
        return;

    // The ring moves on even when the word turns out to be a repeat.
    m_recentIndex = m_recentIndex >= kRecentRing ? 1 : m_recentIndex + 1;
    for (int slot = 0; slot <= kRecentRing; ++slot) {
        if (numericValue(m_state.recentWords.at(slot)) == w)
            return;
    }
    m_state.recentWords[m_recentIndex] = QString::number(w);

    c.List1->selectIndex(w);
    DeviceLink::pumpOnce();
    m_state.sam += u' ' + c.List1->selectedText();
    DeviceLink::pumpOnce();

    emit wordAnnounced(w);
    m_link.sendCommand(QStringLiteral("> 26  10  10 "));
    for (int i = 0; i < 3; ++i) {
        if (!m_link.hold())
            return;
    }
    m_link.sendCommand(QStringLiteral("@ ") + digits + QStringLiteral(" 0 "));
    DeviceLink::pumpOnce();
    m_buffer.clear();
    for (int i = 0; i < 10; ++i) {
        if (!m_link.hold())
            return;
    }
}

} // namespace kz
