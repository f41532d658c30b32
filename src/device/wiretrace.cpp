// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/wiretrace.h"

#include <QRegularExpression>

#include <algorithm>

namespace kz::wiretrace {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool printable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString byteName(char c)
{
    return QStringLiteral("0x") + QChar::fromLatin1(kHex[quint8(c) >> 4])
        + QChar::fromLatin1(kHex[quint8(c) & 0xF]);
}

// Reads a trace line by line and stops at the first line that is wrong.
struct Reader {
    const QByteArray &data;
    ParseError *error;
    Trace trace;
    int currentPort = 0;
    qint64 lastMs = 0;
    // The last closing of a port, and the port, until it has events again.
    qint64 closedMs = 0;
    int closedLine = 0;
    int closedPort = 0;
    static constexpr int kMaxDigits = 15;

    bool fail(int line, const QString &why)
    {
        if (error)
            *error = ParseError {line, why};
        return false;
    }

    bool header(int number, const QByteArray &text)
    {
        static const QRegularExpression form(
            QStringLiteral("^# kz \\S+ wire trace, \\S+, (no port open|port (\\d+).*)$"));
        const QRegularExpressionMatch m = form.match(QString::fromLatin1(text));
        if (!m.hasMatch())
            return fail(number,
                        QStringLiteral("not a wire trace: the first line must be its header, "
                                       "\"# kz VERSION wire trace, DATE, port ...\""));
        trace.header = QString::fromLatin1(text);
        if (!m.captured(2).isEmpty() && !portNumber(number, m.captured(2), &currentPort))
            return false;
        trace.port = currentPort;
        trace.startedConnected = currentPort != 0;
        return true;
    }

    // A port kz can open: 1 to 30.
    bool portNumber(int number, const QString &digits, int *port)
    {
        bool ok = false;
        const int value = digits.size() <= 9 ? digits.toInt(&ok) : 0;
        if (!ok || value < kFirstPort || value > kLastPort)
            return fail(number, QStringLiteral("port %1: kz opens ports %2 to %3 only")
                                    .arg(bounded(digits))
                                    .arg(kFirstPort)
                                    .arg(kLastPort));
        *port = value;
        return true;
    }

    // Milliseconds as a trace's clock holds them: at most 15 digits.
    bool milliseconds(int number, QByteArrayView digits, qint64 *ms)
    {
        if (digits.size() > kMaxDigits)
            return fail(number, QStringLiteral("the milliseconds %1 do not fit: a trace's "
                                               "clock has at most %2 digits")
                                    .arg(bounded(QString::fromLatin1(digits)))
                                    .arg(kMaxDigits));
        *ms = digits.toByteArray().toLongLong();
        return time(number, *ms);
    }

    static QString bounded(const QString &digits)
    {
        return digits.size() <= 20
            ? digits
            : QStringLiteral("%1... (%2 digits)").arg(digits.left(16)).arg(digits.size());
    }

    bool time(int number, qint64 ms)
    {
        if (ms < lastMs)
            return fail(
                number,
                QStringLiteral("the time goes back, from %1 ms to %2 ms").arg(lastMs).arg(ms));
        lastMs = ms;
        return true;
    }

    bool note(int number, const QByteArray &text)
    {
        static const QRegularExpression form(QStringLiteral("^# (\\d+) (.*)$"));
        static const QRegularExpression port(QStringLiteral("^port (\\d+) (opened|closed|lost)"));
        static const QRegularExpression tick(QStringLiteral("^receive tick (\\d{1,6}) ms$"));
        const QRegularExpressionMatch m = form.match(QString::fromLatin1(text));
        if (!m.hasMatch())
            return true; // a remark of whoever looked at the trace
        qint64 ms = 0;
        if (!milliseconds(number, m.capturedView(1).toLatin1(), &ms))
            return false;
        trace.lastNote = m.captured(2);
        if (const QRegularExpressionMatch t = tick.match(m.captured(2)); t.hasMatch()) {
            trace.tickMs = std::max(1, t.captured(1).toInt());
            return true;
        }
        const QRegularExpressionMatch p = port.match(m.captured(2));
        if (!p.hasMatch())
            return true;
        int named = 0;
        if (!portNumber(number, p.captured(1), &named))
            return false;
        const bool opened = p.captured(2) == QLatin1String("opened");
        if (!opened && named == currentPort) {
            closedMs = ms;
            closedLine = number;
            closedPort = named;
        }
        currentPort = opened ? named : 0;
        if (opened)
            trace.port = currentPort;
        if (opened && named == closedPort)
            closedPort = 0;
        if (trace.events.isEmpty())
            trace.startedConnected = false;
        return true;
    }

    bool event(int number, const QByteArray &text)
    {
        qsizetype digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
            ++digits;
        if (digits == 0)
            return fail(number,
                        QStringLiteral("an event starts with the milliseconds since the "
                                       "trace started"));
        const char mark = text.size() > digits + 1 ? text[digits + 1] : '\0';
        if (text.size() < digits + 3 || text[digits] != ' ' || (mark != '>' && mark != '<')
            || text[digits + 2] != ' ')
            return fail(number,
                        QStringLiteral("no direction: after the milliseconds come \"> \" "
                                       "(sent) or \"< \" (received)"));
        qint64 ms = 0;
        if (!milliseconds(number, QByteArrayView(text).first(digits), &ms))
            return false;
        QString why;
        const int firstColumn = int(digits) + 4;
        const std::optional<QByteArray> bytes = unescape(text.mid(digits + 3), &why, firstColumn);
        if (!bytes)
            return fail(number, why);
        if (bytes->isEmpty())
            return fail(number, QStringLiteral("an event without bytes"));
        trace.events.append(
            {number, ms, mark == '>' ? Direction::Sent : Direction::Received, *bytes, currentPort});
        if (currentPort == closedPort)
            closedPort = 0; // opened again since
        trace.lastNote.clear();
        return true;
    }

    bool line(int number, QByteArray text, bool lastWithoutEnd)
    {
        // A trace mailed through a system with CR LF line ends is still one.
        if (text.endsWith('\r') && !lastWithoutEnd)
            text.chop(1);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!printable(text[i]))
                return fail(number,
                            QStringLiteral("not text: byte %1 at column %2; a trace holds "
                                           "printable ASCII only")
                                .arg(byteName(text[i]))
                                .arg(i + 1));
        }
        if (lastWithoutEnd)
            return fail(number,
                        QStringLiteral("truncated: the file ends in the middle of this "
                                       "line"));
        if (number == 1)
            return header(number, text);
        if (text.isEmpty())
            return true;
        if (text.startsWith('#'))
            return note(number, text);
        return event(number, text);
    }

    bool read()
    {
        // An editor may have put a byte-order mark before the header.
        const qsizetype from0 = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        if (data.size() == from0)
            return fail(1, QStringLiteral("the file is empty, not a wire trace"));
        qsizetype from = from0;
        int number = 0;
        while (from < data.size()) {
            ++number;
            const qsizetype end = data.indexOf('\n', from);
            const bool cut = end < 0;
            const QByteArray text = data.mid(from, cut ? -1 : end - from);
            if (!line(number, text, cut))
                return false;
            from = cut ? data.size() : end + 1;
        }
        trace.lastLine = number;
        // The KZ's port closed after its last event: the session ended there.
        if (closedPort != 0 && closedPort == trace.port) {
            trace.closedMs = closedMs;
            trace.closedLine = closedLine;
        }
        const QList<Event> session = trace.sessionEvents();
        if (std::none_of(session.cbegin(), session.cend(),
                         [](const Event &e) { return e.direction == Direction::Sent; }))
            return fail(number, QStringLiteral("the trace holds no line the program sent"));
        return true;
    }
};

} // namespace

QByteArray escape(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (printable(c)) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[quint8(c) >> 4];
            out += kHex[quint8(c) & 0xF];
        }
    }
    return out;
}

std::optional<QByteArray> unescape(QByteArrayView text, QString *why, int firstColumn)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const int column = firstColumn + int(i);
        if (next == 'r' || next == 'n' || next == '\\') {
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++i;
        } else if (next == 'x') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            const int low = i + 3 < text.size() ? hexValue(text[i + 3]) : -1;
            if (high < 0 || low < 0) {
                if (why)
                    *why = QStringLiteral("\"\\x\" at column %1 needs two hex digits").arg(column);
                return std::nullopt;
            }
            out += char(high * 16 + low);
            i += 3;
        } else {
            if (why)
                *why = QStringLiteral("a lone backslash at column %1: only \\r, \\n, \\\\ and "
                                      "\\xNN are escapes")
                           .arg(column);
            return std::nullopt;
        }
    }
    return out;
}

QByteArray headerLine(const QDateTime &started, const QString &port)
{
    const QString date = started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODate);
    return "# kz " KZ_VERSION " wire trace, " + date.toLatin1() + ", " + escape(port.toUtf8())
        + '\n';
}

QByteArray eventLine(qint64 ms, Direction direction, QByteArrayView bytes)
{
    QByteArray line = QByteArray::number(ms);
    line += direction == Direction::Sent ? " > " : " < ";
    line += escape(bytes);
    line += '\n';
    return line;
}

QByteArray noteLine(qint64 ms, const QString &text)
{
    return "# " + QByteArray::number(ms) + ' ' + escape(text.toUtf8()) + '\n';
}

QString portText(int number, const QString &location)
{
    const QString port = QStringLiteral("port %1").arg(number);
    return location.isEmpty() ? port : QStringLiteral("%1 (%2)").arg(port, location);
}

QString openedNote(int number, const QString &location)
{
    return QStringLiteral("port %1 opened%2")
        .arg(number)
        .arg(location.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(location));
}

QString closedNote(int number)
{
    return QStringLiteral("port %1 closed").arg(number);
}

QString lostNote(int number, const QString &reason)
{
    return QStringLiteral("port %1 lost: %2").arg(number).arg(reason);
}

QString tickNote(int ms)
{
    return QStringLiteral("receive tick %1 ms").arg(ms);
}

QString shownLine(QByteArrayView bytes)
{
    constexpr qsizetype kShown = 60;
    if (bytes.size() <= kShown)
        return QString::fromLatin1(escape(bytes));
    return QStringLiteral("%1... (%2 bytes)")
        .arg(QString::fromLatin1(escape(bytes.first(kShown))))
        .arg(bytes.size());
}

QList<Event> Trace::sessionEvents() const
{
    const bool portsNamed
        = std::any_of(events.cbegin(), events.cend(), [](const Event &e) { return e.port != 0; });
    if (!portsNamed)
        return events;
    QList<Event> out;
    for (const Event &e : events) {
        if (e.port == port)
            out.append(e);
    }
    return out;
}

std::optional<Trace> parse(const QByteArray &data, ParseError *error)
{
    Reader reader {data, error, {}};
    if (!reader.read())
        return std::nullopt;
    return std::move(reader.trace);
}

} // namespace kz::wiretrace
