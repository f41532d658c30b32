// SPDX-License-Identifier: GPL-3.0-or-later
#include "questions/logfile.h"

#include "device/filewrite.h"
#include "device/format.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <tuple>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace kz {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr qint64 kReadChunk = 64 * 1024;

// Walks a date/time format, handing each run of one unquoted character to
// `run`, which appends what should stand in its place and returns where the
// walk goes on. Quoted text is copied unchanged.
template<typename Run> QString rewriteRuns(const QString &format, Run run)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar ch = format.at(i);
        if (ch == u'\'' || quoted) {
            if (ch == u'\'')
                quoted = !quoted;
            out += ch;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < format.size() && format.at(end) == ch)
            ++end;
        i = run(out, format, i, end);
    }
    return out;
}

QString absoluteLogPath()
{
    // A working folder deleted from under the program has no path to tell.
    const QString folder = QDir::currentPath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return LogFile::fileName();
    return QDir(folder).absoluteFilePath(LogFile::fileName());
}

} // namespace

LogFile::LogFile(const LogFilePage &page, QObject *parent) : QObject(parent), m_page(page)
{
    connect(m_page.Command21, &QPushButton::clicked, this, &LogFile::readLog);
    connect(m_page.Command22, &QPushButton::clicked, this, &LogFile::clearLog);
}

LogFile::~LogFile()
{
    close();
}

QString LogFile::dateFormat(const QLocale &locale)
{
    // A two-digit year would leave the century of old entries to guessing.
    return rewriteRuns(locale.dateFormat(QLocale::ShortFormat),
                       [](QString &out, const QString &f, qsizetype from, qsizetype to) {
                           if (f.at(from) == u'y' && to - from == 2)
                               out += QStringLiteral("yyyy");
                           else
                               out += f.mid(from, to - from);
                           return to;
                       });
}

QString LogFile::timeFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    return rewriteRuns(format, [](QString &out, const QString &f, qsizetype from, qsizetype to) {
        if (f.at(from) != u't') {
            out += f.mid(from, to - from);
            return to;
        }
        // The zone goes with the brackets, comma and blanks that set it
        // apart, as in "H:mm:ss (t)", "HH:mm:ss, t" or "t HH:mm:ss".
        const auto chopSeparators = [&out] {
            while (!out.isEmpty() && (out.back().isSpace() || out.back() == u','))
                out.chop(1);
        };
        chopSeparators();
        if (!out.isEmpty() && to < f.size()
            && ((out.back() == u'(' && f.at(to) == u')')
                || (out.back() == u'[' && f.at(to) == u']'))) {
            out.chop(1);
            ++to;
            chopSeparators();
        }
        if (out.isEmpty()) {
            while (to < f.size() && f.at(to).isSpace())
                ++to;
        }
        return to;
    });
}

QString LogFile::stamp(const QDateTime &when, const QLocale &locale)
{
    QString text = locale.toString(when.date(), dateFormat(locale))
        + locale.toString(when.time(), timeFormat(locale));
    // Blanks of other widths (the narrow one before "AM" in newer locale
    // data, the no-break one in "a. m.") become plain ones: an editor in any
    // code page shows them, where one that lacks them would show "?".
    std::replace_if(text.begin(), text.end(),
                    [](QChar c) { return c.category() == QChar::Separator_Space; }, u' ');
    return text;
}

QString LogFile::questionEntry(const QString &question, const QDateTime &when)
{
    // Only blanks go: a line break inside the question stays, and the entry
    // then spans more than one line of the file.
    return QStringLiteral("USER: ") + trimBlanks(question) + stamp(when) + kCrLf;
}

QString LogFile::answerEntry(const QString &answer, const QDateTime &when)
{
    return QStringLiteral("KZ  :") + answer + QStringLiteral("  ") + stamp(when) + kCrLf;
}

bool LogFile::openForAppend()
{
    if (m_file.isOpen())
        return true;
    m_file.setFileName(fileName());
    // Unbuffered: an entry the disk refused must not wait in a buffer and
    // land later, after its "not written" note.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_lastError = QStringLiteral("cannot open %1 for writing: %2")
                          .arg(QDir::toNativeSeparators(absoluteLogPath()), m_file.errorString());
        return false;
    }
    m_lastError.clear();
    return true;
}

bool LogFile::writeEntry(const QString &entry)
{
    // The file may have been closed under a waiting question by Clear Log:
    // the entry then starts a new file instead of going nowhere.
    if (!m_file.isOpen() && !openForAppend())
        return false;
    const QByteArray bytes = entry.toLocal8Bit();
#ifdef Q_OS_UNIX
    const int fd = m_file.handle();
    const qint64 began = m_file.size();
    int error = appendWhole(fd, bytes);
    // Past the write the entry is the system's; this puts it on the disk so
    // that not even a power cut loses an answer already shown. An entry the
    // disk did not take is taken back: "not written" must be true.
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
        std::ignore = ::ftruncate(fd, began);
    }
    const QString reason = error == 0 ? QString() : systemErrorText(error);
#else
    const qint64 began = m_file.size();
    QString reason;
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        reason = m_file.errorString();
        m_file.resize(began);
    }
#endif
    if (!reason.isEmpty()) {
        m_lastError = QStringLiteral("cannot write to %1: %2")
                          .arg(QDir::toNativeSeparators(absoluteLogPath()), reason);
        return false;
    }
    m_lastError.clear();
    return true;
}

void LogFile::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool LogFile::isOpen() const
{
    return m_file.isOpen();
}

void LogFile::readLog()
{
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly))
        return;

    QStringList lines;
    QByteArray pending;
    auto takeLines = [&](bool atEnd) {
        qsizetype start = 0;
        for (qsizetype i = 0; i < pending.size(); ++i) {
            const char ch = pending.at(i);
            if (ch != '\r' && ch != '\n')
                continue;
            // A CR at the end of a chunk may be the first half of a CR LF.
            if (ch == '\r' && i + 1 == pending.size() && !atEnd)
                break;
            lines << QString::fromLocal8Bit(pending.mid(start, i - start));
            if (ch == '\r' && i + 1 < pending.size() && pending.at(i + 1) == '\n')
                ++i;
            start = i + 1;
        }
        pending.remove(0, start);
    };
    for (;;) {
        const QByteArray chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            // A read error ends the reading like the end of the file, but
            // its unfinished last line is not trusted.
            if (file.error() == QFileDevice::NoError) {
                takeLines(true);
                if (!pending.isEmpty())
                    lines << QString::fromLocal8Bit(pending);
            }
            break;
        }
        pending += chunk;
        takeLines(false);
    }
    file.close();

    if (lines.isEmpty())
        return;
    // Each line goes above the ones before it, so the newest ends on top.
    QStringList shown;
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        shown << *it;
    m_page.Text16->prependEntry(shown.join(kCrLf));
}

void LogFile::clearLog()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Erase Log"),
                    QStringLiteral("This will Erase the Log File "),
                    QMessageBox::Ok | QMessageBox::Cancel, m_page.Text16->window());
    if (box.exec() != QMessageBox::Ok)
        return;
    m_page.Text16->setText(QString());
    // Writing on through a handle of the deleted file would lose the entries;
    // the next entry opens a new file instead.
    close();
    QFile::remove(fileName());
}

} // namespace kz
