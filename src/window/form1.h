#pragma once

#include "window/form1controls.h"
#include "window/formstate.h"

#include <QWidget>

namespace kz {

class AboutPage;
class Connection;
class DeviceLink;
class LogFile;
class QuestionDesk;
class ReceiveLoop;
class SerialPort;
class TabNavigator;
struct SiteSettings;

// The program's one window. It builds the controls, holds the state they
// share, and hands each behaviour the controls and the device link it needs.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // The window takes the port over.
    Form1(SerialPort *port, const SiteSettings &sites, QWidget *parent = nullptr);
    explicit Form1(SerialPort *port, QWidget *parent = nullptr);
    ~Form1() override;

    const Form1Controls &controls() const { return c; }
    FormState &state() { return m_state; }
    DeviceLink &link() { return *m_link; }
    Connection &connection() { return *m_connection; }
    ReceiveLoop &receiveLoop() { return *m_receiveLoop; }
    TabNavigator &tabs() { return *m_tabs; }
    AboutPage &about() { return *m_about; }
    LogFile &log() { return *m_log; }
    QuestionDesk &questions() { return *m_questions; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form1Controls c;
    FormState m_state;
    DeviceLink *m_link = nullptr;
    Connection *m_connection = nullptr;
    ReceiveLoop *m_receiveLoop = nullptr;
    AboutPage *m_about = nullptr;
    TabNavigator *m_tabs = nullptr;
    LogFile *m_log = nullptr;
    QuestionDesk *m_questions = nullptr;
};

} // namespace kz
