#include "device/connection.h"

#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "device/serialport.h"
#include "window/form1controls.h"
#include "window/formstate.h"
#include "window/widgets.h"
#include "words/wordlist.h"

#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>

namespace kz {

namespace {
const QColor kSearching(255, 0, 0);
const QColor kFound(0, 255, 255);
const QColor kNotFound(255, 255, 0);
constexpr double kProbeWait = 0.3;
} // namespace

Connection::Connection(const Form1Controls &controls, FormState &state, DeviceLink &link,
                       QObject *parent)
    : QObject(parent), c(controls), m_state(state), m_link(link)
{
    connect(c.Command1, &QPushButton::clicked, this, &Connection::search);
    connect(c.Command23, &QPushButton::clicked, this, &Connection::openManually);
    connect(c.VScroll5, &QScrollBar::valueChanged, this,
            [this](int value) { c.Text17->setText(signedField(value)); });
    connect(m_link.port(), &SerialPort::lost, this, &Connection::portLost);
}

void Connection::load()
{
    m_state.recentWords = QStringList(FormState::kRecentSlots, QStringLiteral("999"));

    QStringList words;
    words.reserve(kWordCount);
    for (int n = 0; n < kWordCount; ++n)
        words << wordText(n);
    c.List1->addItems(words);
    const QStringList pageWords = words.mid(0, kPageListCount);
    c.List2->addItems(pageWords);
    c.List3->addItems(pageWords);

    c.setupframe->hide();
    c.Controlframe->hide();
    c.KZframe->hide();
    c.pkframe->hide();
    c.comframe->show();

    m_state.gain = toInt16(numericValue(c.Text13->text())).value_or(m_state.gain);
}

void Connection::search()
{
    if (m_searching || m_connected)
        return;
    m_searching = true;
    m_refusals.clear();
    for (int p = kFirstPort; p <= kLastPort && !m_link.isEnding(); ++p) {
        setBackground(c.Text1, kSearching);
        c.Text1->setText(signedField(p) + QStringLiteral(" SEARCHING  FOR ACTIVE KZ"));
        DeviceLink::pumpOnce();
        if (probe(p)) {
            m_searching = false;
            setBackground(c.Text1, kFound);
            c.Text1->setText(c.Text1->text() + QStringLiteral("************* Controller on port #")
                             + signedField(p) + QStringLiteral(" *****************"));
            showConnected();
            emit connected(p);
            return;
        }
        m_link.port()->close();
        m_link.dtimer(kProbeWait);
    }
    if (!m_link.isEnding())
        showNotFound();
    m_searching = false;
}

// Opens port p and asks twice whether the KZ is there; the port stays open
// when it answers.
bool Connection::probe(int p)
{
    SerialPort *port = m_link.port();
    if (!port->open(p)) {
        if (port->lastOpenRefused())
            m_refusals << QStringLiteral("Port %1: %2").arg(p).arg(port->errorText());
        return false;
    }
    if (!m_link.dtimer(kProbeWait))
        return false;
    m_link.sendCommand(QStringLiteral("@ 2 2"));
    DeviceLink::pumpOnce();
    m_link.dtimer(kProbeWait);
    DeviceLink::pumpOnce();
    if (m_link.readInput().contains(QLatin1Char('^')))
        return true;
    DeviceLink::pumpOnce();
    m_link.dtimer(kProbeWait);
    m_link.sendCommand(QStringLiteral("@ 1 1"));
    DeviceLink::pumpOnce();
    m_link.dtimer(kProbeWait);
    DeviceLink::pumpOnce();
    return !m_link.isEnding() && m_link.readInput().contains(QLatin1Char('!'));
}

void Connection::showNotFound()
{
    c.Frame11->show();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KZ"),
                    QStringLiteral("try selecting the port #"), QMessageBox::Ok,
                    c.Frame1->window());
    box.setObjectName(QStringLiteral("portMessage"));
    // A port that is there but refused is not "no device": say why.
    if (!m_refusals.isEmpty())
        box.setInformativeText(m_refusals.join(u'\n'));
    box.exec();
    setBackground(c.Text1, kNotFound);
    c.Text1->setText(QStringLiteral("******** No Controller Found *************"));
    c.Text1->setToolTip(m_refusals.join(u'\n'));
    emit notFound();
}

void Connection::openManually()
{
    if (m_searching || m_connected)
        return;
    const std::optional<qint16> number = toInt16(numericValue(c.Text17->text()));
    if (number && m_link.port()->open(*number)) {
        c.Text1->setText(c.Text1->text() + QStringLiteral("************* Controller on port #")
                         + QStringLiteral(" *****************"));
        showConnected();
        emit connected(*number);
        return;
    }
    c.Text1->setText(c.Text1->text() + QStringLiteral("************* No Controller on port #")
                     + QStringLiteral(" *****************"));
    if (!m_link.port()->errorText().isEmpty())
        c.Text1->setToolTip(m_link.port()->errorText());
}

void Connection::portLost(const QString &reason)
{
    // The port has been closed once; tell the user in the event window.
    c.Text2->setText(QStringLiteral("Lost the connection to the KZ: ") + reason
                     + QStringLiteral("\r\n") + c.Text2->text());
}

void Connection::showConnected()
{
    m_connected = true;
    c.Timer1->setEnabled(true);
    c.Frame2->hide();
    c.Command1->setEnabled(false);
    c.comframe->show();
    c.TabStrip1->show();
    c.Frame1->hide();
}

} // namespace kz
