// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QString>

namespace kz {

struct LogFilePage;

// The log of questions and answers, "log.kzx" in the working folder, and the
// Log File page that reads and erases it.
class LogFile : public QObject {
    Q_OBJECT
public:
    static QString fileName() { return QStringLiteral("log.kzx"); }

    LogFile(const LogFilePage &page, QObject *parent = nullptr);
    ~LogFile() override;

    // Entry texts, CR LF included; date and time in the system's short date
    // and long time forms.
    static QString questionEntry(const QString &question, const QDateTime &when);
    static QString answerEntry(const QString &answer, const QDateTime &when);
    // The date and time of an entry, written together without a blank.
    static QString stamp(const QDateTime &when, const QLocale &locale = QLocale::system());
    // The locale's short date form with a four-digit year.
    static QString dateFormat(const QLocale &locale);
    // The locale's long time form without its time zone.
    static QString timeFormat(const QLocale &locale);

    // Opens the file for appending, creating it when missing. False, with
    // lastError() set, when it cannot be opened.
    bool openForAppend();
    // Writes one entry and puts it on the disk at once, opening the file
    // first when it is not open. False on failure.
    bool writeEntry(const QString &entry);
    void close();
    bool isOpen() const;
    QString lastError() const { return m_lastError; }

    // Click of "Read Log": the file's lines, last first, above the view's text.
    void readLog();
    // Click of "Clear Log": asks, then empties the view and deletes the file.
    void clearLog();

private:
    const LogFilePage &m_page;
    QFile m_file;
    QString m_lastError;
};

} // namespace kz
