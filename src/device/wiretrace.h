// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace kz::wiretrace {

// A wire trace is plain text, one line each:
//
//   # kz 1.41 wire trace, 2026-01-31 14:02:11 +01:00, port 3 (/dev/ttyUSB0)
//   1520 > @ 2 2\r
//   1731 < ^
//   # 9000 port 3 closed
//
// The header comes first. An event is the milliseconds since the trace
// started, ">" for bytes the program sent or "<" for a chunk it read, and the
// bytes: printable ASCII as it is, CR as \r, LF as \n, backslash as \\ and
// any other byte as \xNN. Lines starting with "#" are notes; the program
// notes each port it opens, so that a reader can tell the KZ's port from
// ports the search only tried.

enum class Direction { Sent, Received };

QByteArray escape(QByteArrayView bytes);
// The bytes an escaped text stands for; empty with the reason (and its
// column, counted from `firstColumn`) when the text is not escaped bytes.
std::optional<QByteArray> unescape(QByteArrayView text, QString *why, int firstColumn = 1);

// Whole lines, each ending in a line feed.
QByteArray headerLine(const QDateTime &started, const QString &port);
QByteArray eventLine(qint64 ms, Direction direction, QByteArrayView bytes);
QByteArray noteLine(qint64 ms, const QString &text);

// The port named in the header and in notes: "port 3 (/dev/ttyUSB0)".
QString portText(int number, const QString &location);
inline const QString kNoPort = QStringLiteral("no port open");
QString openedNote(int number, const QString &location);
QString closedNote(int number);
QString lostNote(int number, const QString &reason);
// How often the program's receive loop reads the port, in milliseconds: a
// replay keeps the device's messages apart by at least that much.
QString tickNote(int ms);
inline constexpr int kDefaultTickMs = 200;
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 30;

// A line as a report shows it: escaped, and cut with its length when long.
QString shownLine(QByteArrayView bytes);

struct Event {
    int line = 0; // in the file, from 1
    qint64 ms = 0;
    Direction direction = Direction::Sent;
    QByteArray bytes;
    int port = 0; // the port open when it happened; 0 when the trace does not say
};

struct Trace {
    QString header;
    QList<Event> events;
    // The port the KZ was on: the last one opened, or the header's. 0 when
    // the trace names none.
    int port = 0;
    // The trace began while the program was connected: it holds no search.
    bool startedConnected = false;
    // The receive loop's interval when the trace was recorded.
    int tickMs = kDefaultTickMs;
    // The KZ's port was closed (or lost) after its last event: when, and
    // the line that says so.
    std::optional<qint64> closedMs;
    int closedLine = 0;
    // The trace's last line and, when it is a note, what it says.
    int lastLine = 0;
    QString lastNote;
    // The events on that port (all of them when the trace names none).
    QList<Event> sessionEvents() const;
};

struct ParseError {
    int line = 0;
    QString why;
};

// Reads a whole trace file; a UTF-8 byte-order mark before it is skipped. A
// file that is not text, not a trace, cut off, with a malformed line, a
// number that does not fit or a port kz cannot open is refused with the
// line and the reason.
std::optional<Trace> parse(const QByteArray &data, ParseError *error);

} // namespace kz::wiretrace
