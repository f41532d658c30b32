// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form1.h"

#include "device/devicelink.h"
#include "device/format.h"
#include "device/pacing.h"
#include "device/serialport.h"
#include "modes/modecontrol.h"
#include "questions/logfile.h"
#include "questions/questiondesk.h"
#include "tuning/autotune.h"
#include "tuning/infowindow.h"
#include "tuning/pktest.h"
#include "tuning/sensitivity.h"
#include "window/aboutpage.h"
#include "window/accessibility.h"
#include "window/browser/sites.h"
#include "window/captionfit.h"
#include "window/connection.h"
#include "window/form1layout.h"
#include "window/keyboard.h"
#include "window/programicon.h"
#include "window/readings/readings.h"
#include "window/readings/readingsource.h"
#include "kit/receiverouter.h"
#include "window/tabnavigator.h"
#include "kit/widgets.h"
#include "words/comwords.h"
#include "words/readback.h"
#include "words/sayword.h"
#include "words/voice.h"
#include "words/upload.h"
#include "words/wordlist.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QCloseEvent>
#include <QToolTip>
#include <QGroupBox>
#include <QShortcut>

namespace kz {

Form1::Form1(SerialPort *port, QWidget *parent) : Form1(port, SiteSettings(), parent)
{
}

Form1::Form1(SerialPort *port, const SiteSettings &sites, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("KZ   VERSION " KZ_VERSION));
    setWindowIcon(programIcon());
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    // The window's font, which every control but one uses, chosen by its
    // widths where the design font is missing.
    setFont(windowFont(8));
    buildForm1(this, m_controls);
    fitCaptions(this);
    nameControls(m_controls);

    port->setParent(this);
    port->setObjectName(QStringLiteral("com"));
    m_link = new DeviceLink(port, m_controls.form.Timer3, m_controls.form.Timer4, this);
    m_connection = new Connection(m_controls.connect, m_controls.form, m_controls.pictures,
                                  m_controls.com.comframe, *m_link, this);
    m_receiver = new ReceiveRouter(m_controls.form, m_controls.hidden, *m_link, this);
    m_comWords = new ComWords(m_controls.com, m_state, *m_link, *m_receiver, this);
    m_readBack = new ReadBack(m_controls.words, m_controls.com.List1, *m_link, *m_receiver, this);
    m_upload = new WordListUpload(m_controls.words, m_controls.hidden, m_controls.form, *m_link,
                                  *m_receiver, this);
    m_modes = new ModeControl(m_controls.kzPage, *m_link, *m_receiver, this);
    m_sayWord = new SayWord(m_controls.words, m_controls.com.List1, *m_link, this);
    m_voice = new VoiceSettings(m_controls.setup, m_controls.com, *m_link, this);
    m_info = new InfoWindow(m_controls.setup, *m_receiver, this);
    m_pk = new PkTest(m_controls.pk, *m_link, *m_receiver, this);
    connect(m_pk, &PkTest::modeEntered, m_modes, &ModeControl::noteMode);
    m_sensitivity = new Sensitivity(m_controls.setup, *m_link, this);
    m_state.gain = [this] { return m_sensitivity->gain(); };
    m_autoTune = new AutoTune(m_controls.setup, *m_link, *m_sensitivity, this);
    m_about = new AboutBrowser(m_controls.about, sites, this);
    m_tabs = new TabNavigator(m_controls, *m_link, *m_about, this);
    connect(m_tabs, &TabNavigator::switched, m_pk, &PkTest::pageChanged);
    m_log = new LogFile(m_controls.log, this);
    m_questions = new QuestionDesk(
        m_controls.com, m_controls.form, [this] { return m_comWords->takeAnswer(); }, *m_link,
        *m_log, this);

    connect(m_receiver, &ReceiveRouter::textWithoutEndMark, m_questions, [this] {
        m_questions->note(QStringLiteral("The KZ sent text without an end mark; the oldest of it "
                                         "was dropped"));
    });
    connect(m_connection, &Connection::lost, m_questions, &QuestionDesk::note);
    connect(m_connection, &Connection::back, m_questions, &QuestionDesk::note);
    connect(port, &SerialPort::notice, m_questions, &QuestionDesk::note);
    connect(m_questions, &QuestionDesk::logFailed, this, &Form1::tellWriteFailure);
    // The upload's result shows only in the title.
    connect(m_upload, &WordListUpload::finished, this, [this] { announceTitle(this); });

    // A click refused because another sequence holds the wire says so where
    // the user clicked, and goes away by itself.
    connect(m_link, &DeviceLink::sequenceRefused, this, [this](const QString &holder) {
        QWidget *at = QApplication::focusWidget();
        if (!at || at->window() != this)
            at = this;
        QToolTip::showText(at->mapToGlobal(at->rect().center()),
                           QStringLiteral("Busy: %1 is running").arg(holder), at);
    });
    // Escape leaves a running sequence (an upload, an auto tune).
    auto *leave = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leave->setObjectName(QStringLiteral("leaveSequence"));
    connect(leave, &QShortcut::activated, m_link, &DeviceLink::cancelSequence);

    m_keys = new KeyboardNavigator(m_controls, this);

    m_readings = new Readings(*feedReadings(), this);
    addPageAction(m_readings->action());

    load();
}

Form1::~Form1() = default;

void Form1::tellWriteFailure(const QString &text)
{
    if (m_controls.com.comframe->isVisibleTo(this))
        return;
    if (!m_writeFailure) {
        m_writeFailure = new QMessageBox(QMessageBox::Warning, QStringLiteral("KZ"), text,
                                         QMessageBox::Ok, this);
        m_writeFailure->setObjectName(QStringLiteral("writeFailure"));
        // Not modal: a question's response window and the page go on.
        m_writeFailure->setWindowModality(Qt::NonModal);
    }
    m_writeFailure->setText(text);
    m_writeFailure->show();
}

bool Form1::focusNextPrevChild(bool next)
{
    return m_keys ? m_keys->moveFocus(next) : QWidget::focusNextPrevChild(next);
}

void Form1::load()
{
    QStringList words;
    words.reserve(kWordCount);
    for (int n = 0; n < kWordCount; ++n)
        words << wordText(n);
    m_controls.com.List1->addItems(words);
    // The page lists hold the same words at the same positions, up to 2048.
    const QStringList pageWords = words.mid(0, kPageListCount);
    m_controls.kzPage.List2->addItems(pageWords);
    m_controls.words.List3->addItems(pageWords);

    m_controls.words.setupframe->hide();
    m_controls.setup.Controlframe->hide();
    m_controls.kzPage.KZframe->hide();
    m_controls.pk.pkframe->hide();
    m_controls.com.comframe->show();
    hideWhileCovered(m_controls.pictures.Frame2, m_controls.com.comframe);
}

ReadingSource *Form1::feedReadings()
{
    auto *source = new ReadingSource(this);
    connect(m_connection, &Connection::connected, source, &ReadingSource::connected);
    connect(m_comWords, &ComWords::readingTaken, source, &ReadingSource::comReading);
    connect(m_comWords, &ComWords::groupNamed, source, &ReadingSource::comWord);
    connect(m_modes, &ModeControl::readingStreamed, source, &ReadingSource::touchReading);
    connect(m_pk, &PkTest::readingTaken, source, &ReadingSource::pkReading);
    connect(m_pk, &PkTest::lineMoved, source, &ReadingSource::pkLineMoved);
    connect(m_autoTune, &AutoTune::passMeasured, source, &ReadingSource::tunePassMeasured);
    connect(m_autoTune, &AutoTune::tuned, source, &ReadingSource::tuned);
    connect(m_questions, &QuestionDesk::asked, source, &ReadingSource::questionAsked);
    connect(m_questions, &QuestionDesk::answered, source, &ReadingSource::answered);
    connect(m_modes, &ModeControl::modeStarted, source, &ReadingSource::modeStarted);
    connect(m_upload, &WordListUpload::started, source, &ReadingSource::uploadStarted);
    connect(m_upload, &WordListUpload::finished, source, &ReadingSource::uploadFinished);
    return source;
}

void Form1::addPageAction(QAction *action)
{
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    const QList<QWidget *> pages {m_controls.com.comframe,       m_controls.kzPage.KZframe,
                                  m_controls.setup.Controlframe, m_controls.words.setupframe,
                                  m_controls.pk.pkframe,         m_controls.log.Frame10,
                                  m_controls.about.Aboutframe,   m_controls.connect.Frame1};
    for (QWidget *page : pages) {
        page->setContextMenuPolicy(Qt::ActionsContextMenu);
        page->addAction(action);
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The running sequence ends at once and nothing more is sent, so the
    // program ends promptly even in the middle of a search.
    m_link->endProgram();
    m_controls.form.Timer1->stop();
    m_controls.form.Timer2->stop();
    m_controls.form.talk->stop();
    event->accept();
}

} // namespace kz
