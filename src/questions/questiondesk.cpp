// SPDX-License-Identifier: GPL-3.0-or-later
#include "questions/questiondesk.h"

#include "device/commands.h"
#include "device/commandsequence.h"
#include "device/devicelink.h"
#include "device/pacing.h"
#include "questions/logfile.h"
#include "kit/pages.h"
#include "kit/widgets.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace kz {

namespace {
const QString kButtonPrefix = QStringLiteral(" USER ASKED: ");
const QString kEnterPrefix = QStringLiteral("USER: ");
const QString kAnswerPrefix = QStringLiteral("KZ  :");
} // namespace

QuestionDesk::QuestionDesk(const ComPage &page, const FormParts &form, TakeAnswer takeAnswer,
                           DeviceLink &link, LogFile &log, QObject *parent)
    : QObject(parent), m_page(page), m_form(form), m_takeAnswer(std::move(takeAnswer)),
      m_link(link), m_log(log),
      m_initialText(page.Text3->text())
{
    m_page.Text3->editor()->installEventFilter(this);
    connect(m_page.Command2, &QPushButton::clicked, this, [this] { ask(AskedBy::Button); });
    connect(m_page.Text3, &TextBox::returnPressed, this, [this] { ask(AskedBy::EnterKey); });
    connect(m_page.Text3, &TextBox::changed, this, [this] {
        // A carriage return put into the box other than by the Enter key
        // (by the program, or pasted) asks as Enter does.
        if (m_page.Text3->text().contains(u'\r'))
            ask(AskedBy::EnterKey);
    });
    connect(m_form.talk, &QTimer::timeout, this, &QuestionDesk::pollTick);
    connect(m_form.Timer2, &QTimer::timeout, this, &QuestionDesk::endOfResponseWindow);
    // Without the device nothing more can be said: the answer is what came.
    connect(&m_link, &DeviceLink::portLost, this, [this] {
        if (isWaiting())
            endOfResponseWindow();
    });
}

bool QuestionDesk::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the box while it still holds its first text selects that
    // text, as Tab into it does, so that what is typed replaces it; a click
    // on the selected text then places the cursor.
    auto *editor = qobject_cast<QLineEdit *>(watched);
    if (editor && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton
        && !m_initialText.isEmpty() && m_page.Text3->text() == m_initialText
        && editor->selectedText() != m_initialText) {
        editor->setFocus(Qt::MouseFocusReason);
        editor->selectAll();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QuestionDesk::ask(AskedBy how)
{
    if (m_page.Option2->isChecked())
        m_form.Timer2->setDesignInterval(6000);
    if (m_page.Option7->isChecked())
        m_form.Timer2->setDesignInterval(12000);
    if (m_page.Option8->isChecked())
        m_form.Timer2->setDesignInterval(24000);

    const QString question = m_page.Text3->text();
    const QString prefix = how == AskedBy::Button ? kButtonPrefix : kEnterPrefix;
    m_page.Text2->prependEntry(prefix + question);

    m_form.talk->setEnabled(true);
    // A response window counts from its question, even if one was running.
    m_form.Timer2->stop();
    m_form.Timer2->setEnabled(true);

    m_page.Text3->setEnabled(false);
    m_page.Command2->setEnabled(false);

    const QString entry = LogFile::questionEntry(question, QDateTime::currentDateTime());
    if (m_log.openForAppend() && m_log.writeEntry(entry))
        m_logFailureShown = false;
    else
        showLogFailure();

    m_page.Text3->setText(QString());
    emit asked(question, m_form.Timer2->designInterval() / 1000);
}

bool QuestionDesk::isWaiting() const
{
    return m_form.Timer2->isActive();
}

void QuestionDesk::pollTick()
{
    // A tick due while the last poll runs or waits is dropped: polls never
    // nest, and one waits out a running sequence rather than going between
    // its lines.
    if (m_polling)
        return;
    m_polling = true;
    CommandSequence poll(SequenceKind::Own, QStringLiteral("the question"));
    // A window that ended while the poll waited wants no more.
    poll.stopIf([this] { return !isWaiting(); })
        .send(commands::kReading1)
        .hold()
        .onEnd([this](WaitResult) { m_polling = false; });
    m_link.run(std::move(poll));
}

void QuestionDesk::endOfResponseWindow()
{
    m_form.talk->setEnabled(false);
    m_form.Timer2->setEnabled(false);

    m_page.Text3->setEnabled(true);
    m_page.Command2->setEnabled(true);

    const QString answer = m_takeAnswer();
    m_page.Text2->prependEntry(kAnswerPrefix + answer);

    if (m_log.writeEntry(LogFile::answerEntry(answer, QDateTime::currentDateTime())))
        m_logFailureShown = false;
    else
        showLogFailure();
    m_log.close();

    // Taking the focus from another page or another program would steal the
    // user's keys.
    if (m_page.Text3->isVisible() && m_page.Text3->isEnabled()
        && m_page.Text3->window()->isActiveWindow())
        m_page.Text3->setFocus(Qt::OtherFocusReason);

    emit answered(answer);
}

void QuestionDesk::note(const QString &text)
{
    m_page.Text2->prependEntry(text);
}

void QuestionDesk::showLogFailure()
{
    // One line per failing stretch: the same reason on every entry would
    // push the answers out of sight.
    if (m_logFailureShown)
        return;
    m_logFailureShown = true;
    const QString text = QStringLiteral("Log not written: ") + m_log.lastError();
    note(text);
    emit logFailed(text);
}

} // namespace kz
