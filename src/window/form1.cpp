#include "window/form1.h"

#include "device/connection.h"
#include "device/devicelink.h"
#include "device/pacing.h"
#include "device/receiveloop.h"
#include "device/serialport.h"
#include "questions/logfile.h"
#include "questions/questiondesk.h"
#include "window/aboutpage.h"
#include "window/browser/sites.h"
#include "window/form1layout.h"
#include "window/tabnavigator.h"
#include "window/widgets.h"

#include <QCloseEvent>

namespace kz {

Form1::Form1(SerialPort *port, QWidget *parent) : Form1(port, SiteSettings(), parent)
{
}

Form1::Form1(SerialPort *port, const SiteSettings &sites, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("KZ   VERSION 1.41"));
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    // The window's font, which every control but one uses; where MS Sans
    // Serif is missing the system's sans serif stands in at the same size.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8);
    setFont(font);
    buildForm1(this, c);

    port->setParent(this);
    port->setObjectName(QStringLiteral("com"));
    m_link = new DeviceLink(port, c.Timer3, c.Timer4, this);
    m_connection = new Connection(c, m_state, *m_link, this);
    m_receiveLoop = new ReceiveLoop(c, m_state, *m_link, this);
    m_about = new AboutPage(c, sites, this);
    m_tabs = new TabNavigator(c, *m_link, *m_about, this);
    m_log = new LogFile(c, this);
    m_questions = new QuestionDesk(c, m_state, *m_link, *m_log, this);

    m_connection->load();
}

Form1::~Form1() = default;

void Form1::closeEvent(QCloseEvent *event)
{
    // Any handler caught in a wait returns at once and sends nothing more, so
    // the program ends promptly even in the middle of a search.
    m_link->endProgram();
    c.Timer1->stop();
    c.Timer2->stop();
    c.talk->stop();
    event->accept();
}

} // namespace kz
