#pragma once

#include "window/form1controls.h"
#include "window/formstate.h"

#include <QWidget>

namespace kz {

class Connection;
class DeviceLink;
class SerialPort;

// The program's one window. It builds the controls, holds the state they
// share, and hands each behaviour the controls and the device link it needs.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    // The window takes the port over.
    explicit Form1(SerialPort *port, QWidget *parent = nullptr);
    ~Form1() override;

    const Form1Controls &controls() const { return c; }
    FormState &state() { return m_state; }
    DeviceLink &link() { return *m_link; }
    Connection &connection() { return *m_connection; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form1Controls c;
    FormState m_state;
    DeviceLink *m_link = nullptr;
    Connection *m_connection = nullptr;
};

} // namespace kz
