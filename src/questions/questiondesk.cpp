#include "questions/questiondesk.h"

#include "device/devicelink.h"
#include "device/pacing.h"
#include "questions/logfile.h"
#include "window/form1controls.h"
#include "window/formstate.h"
#include "window/widgets.h"

#include <QPushButton>
#include <QRadioButton>

namespace kz {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kButtonPrefix = QStringLiteral(" USER ASKED: ");
const QString kEnterPrefix = QStringLiteral("USER: ");
const QString kAnswerPrefix = QStringLiteral("KZ  :");
const QString kPoll = QStringLiteral("> 11 1");
} // namespace

QuestionDesk::QuestionDesk(const Form1Controls &controls, FormState &state, DeviceLink &link,
                           LogFile &log, QObject *parent)
    : QObject(parent), c(controls), m_state(state), m_link(link), m_log(log)
{
    connect(c.Command2, &QPushButton::clicked, this, [this] { ask(AskedBy::Button); });
    connect(c.Text3, &TextBox::returnPressed, this, [this] { ask(AskedBy::EnterKey); });
    connect(c.Text3, &TextBox::changed, this, [this] {
        // A carriage return put into the box other than by the Enter key
        // (by the program, or pasted) asks as Enter does.
        if (c.Text3->text().contains(u'\r'))
            ask(AskedBy::EnterKey);
    });
    connect(c.talk, &QTimer::timeout, this, &QuestionDesk::pollTick);
    connect(c.Timer2, &QTimer::timeout, this, &QuestionDesk::endOfResponseWindow);
}

void QuestionDesk::ask(AskedBy how)
{
    if (c.Option2->isChecked())
        c.Timer2->setDesignInterval(6000);
    if (c.Option7->isChecked())
        c.Timer2->setDesignInterval(12000);
    if (c.Option8->isChecked())
        c.Timer2->setDesignInterval(24000);

    const QString question = c.Text3->text();
    const QString prefix = how == AskedBy::Button ? kButtonPrefix : kEnterPrefix;
    c.Text2->setText(prefix + question + kCrLf + c.Text2->text());

    c.talk->setEnabled(true);
    // A response window counts from its question, even if one was running.
    c.Timer2->stop();
    c.Timer2->setEnabled(true);

    c.Text3->setEnabled(false);
    c.Command2->setEnabled(false);

    const QString entry = LogFile::questionEntry(question, QDateTime::currentDateTime());
    if (m_log.openForAppend() && m_log.writeEntry(entry))
        m_logFailureShown = false;
    else
        showLogFailure();

    c.Text3->setText(QString());
}

bool QuestionDesk::isWaiting() const
{
    return c.Timer2->isActive();
}

void QuestionDesk::pollTick()
{
    // A tick due while the last one still holds is dropped: polls never nest.
    if (m_polling)
        return;
    m_polling = true;
    m_link.sendCommand(kPoll);
    m_link.hold();
    m_polling = false;
}

void QuestionDesk::endOfResponseWindow()
{
    c.talk->setEnabled(false);
    c.Timer2->setEnabled(false);

    c.Text3->setEnabled(true);
    c.Command2->setEnabled(true);

    const QString answer = m_state.sam;
    c.Text2->setText(kAnswerPrefix + answer + kCrLf + c.Text2->text());

    if (m_log.writeEntry(LogFile::answerEntry(answer, QDateTime::currentDateTime())))
        m_logFailureShown = false;
    else
        showLogFailure();
    m_log.close();

    m_state.sam.clear();

    // Taking the focus from another page or another program would steal the
    // user's keys.
    if (c.Text3->isVisible() && c.Text3->isEnabled() && c.Text3->window()->isActiveWindow())
        c.Text3->setFocus(Qt::OtherFocusReason);

    emit answered(answer);
}

void QuestionDesk::showLogFailure()
{
    // One line per failing stretch: the same reason on every entry would
    // push the answers out of sight.
    if (m_logFailureShown)
        return;
    m_logFailureShown = true;
    c.Text2->setText(QStringLiteral("Log not written: ") + m_log.lastError() + kCrLf
                     + c.Text2->text());
}

} // namespace kz
