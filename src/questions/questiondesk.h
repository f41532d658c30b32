#pragma once

#include <QObject>

namespace kz {

class DeviceLink;
class LogFile;
struct Form1Controls;
struct FormState;

// Asking the KZ a question on the COM page: the response window, the poll
// that makes the device speak, and the answer in the event window and log.
class QuestionDesk : public QObject {
    Q_OBJECT
public:
    enum class AskedBy { Button, EnterKey };

    QuestionDesk(const Form1Controls &controls, FormState &state, DeviceLink &link, LogFile &log,
                 QObject *parent = nullptr);

    void ask(AskedBy how);
    bool isWaiting() const;

signals:
    // The response window has ended and its answer is shown and logged.
    void answered(const QString &answer);

private:
    void pollTick();
    void endOfResponseWindow();
    // Puts the log's failure above the event window's entries, once until
    // a write succeeds again.
    void showLogFailure();

    const Form1Controls &c;
    FormState &m_state;
    DeviceLink &m_link;
    LogFile &m_log;
    bool m_logFailureShown = false;
    bool m_polling = false;
};

} // namespace kz
