// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace kz {

class DeviceLink;
class LogFile;
struct ComPage;
struct FormParts;

// Asking the KZ a question on the COM page: the response window, the poll
// that makes the device speak, and the answer in the event window and log.
class QuestionDesk : public QObject {
    Q_OBJECT
public:
    enum class AskedBy { Button, EnterKey };

    // Hands over the words said since the last answer; the next starts empty.
    using TakeAnswer = std::function<QString()>;

    QuestionDesk(const ComPage &page, const FormParts &form, TakeAnswer takeAnswer,
                 DeviceLink &link, LogFile &log, QObject *parent = nullptr);

    // Puts a notice on top of the event window.
    void note(const QString &text);

    void ask(AskedBy how);
    bool isWaiting() const;

signals:
    // A question was asked; its response window lasts `seconds`.
    void asked(const QString &question, int seconds);
    // The response window has ended and its answer is shown and logged.
    void answered(const QString &answer);
    // The log could not be written; the event window says so already.
    void logFailed(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pollTick();
    void endOfResponseWindow();
    // Puts the log's failure above the event window's entries, once until
    // a write succeeds again.
    void showLogFailure();

    const ComPage &m_page;
    const FormParts &m_form;
    TakeAnswer m_takeAnswer;
    DeviceLink &m_link;
    LogFile &m_log;
    bool m_logFailureShown = false;
    bool m_polling = false;
    // The question box's text at start, which a first click selects.
    QString m_initialText;
};

} // namespace kz
