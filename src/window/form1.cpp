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
#include "window/browser/sites.h"
#include "window/captionfit.h"
#include "window/connection.h"
#include "window/form1layout.h"
#include "window/programicon.h"
#include "window/readings/readings.h"
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
#include <QCloseEvent>
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
    buildForm1(this, c);
    fitCaptions(this);

    port->setParent(this);
    port->setObjectName(QStringLiteral("com"));
    m_link = new DeviceLink(port, c.form.Timer3, c.form.Timer4, this);
    m_connection = new Connection(c.connect, c.form, c.pictures, c.com.comframe, *m_link, this);
    m_receiver = new ReceiveRouter(c.form, c.hidden, *m_link, this);
    m_comWords = new ComWords(c.com, m_state, *m_link, *m_receiver, this);
    m_readBack = new ReadBack(c.words, c.com.List1, *m_link, *m_receiver, this);
    m_upload = new WordListUpload(c.words, c.hidden, c.form, *m_link, this);
    m_modes = new ModeControl(c.kzPage, m_state, *m_link, *m_receiver, this);
    m_sayWord = new SayWord(c.words, c.com.List1, *m_link, this);
    m_voice = new VoiceSettings(c.setup, c.com, *m_link, this);
    m_info = new InfoWindow(c.setup, *m_receiver, this);
    m_pk = new PkTest(c.pk, m_state, *m_link, *m_receiver, this);
    m_sensitivity = new Sensitivity(c.setup, m_state, *m_link, this);
    m_autoTune = new AutoTune(c.setup, m_state, *m_link, *m_sensitivity, this);
    m_about = new AboutBrowser(c.about, sites, this);
    m_tabs = new TabNavigator(c, *m_link, *m_about, this);
    m_log = new LogFile(c.log, this);
    m_questions = new QuestionDesk(c.com, c.form, m_state, *m_link, *m_log, this);

    connect(m_receiver, &ReceiveRouter::textWithoutEndMark, m_questions, [this] {
        m_questions->note(QStringLiteral("The KZ sent text without an end mark; the oldest of it "
                                         "was dropped"));
    });
    connect(m_connection, &Connection::lost, m_questions, &QuestionDesk::note);
    connect(m_connection, &Connection::back, m_questions, &QuestionDesk::note);

    // Escape leaves a running sequence (an upload, an auto tune).
    auto *leave = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leave->setObjectName(QStringLiteral("leaveSequence"));
    connect(leave, &QShortcut::activated, m_link, &DeviceLink::cancelSequence);

    m_readings = new Readings(*this);

    load();
}

Form1::~Form1() = default;

void Form1::load()
{
    QStringList words;
    words.reserve(kWordCount);
    for (int n = 0; n < kWordCount; ++n)
        words << wordText(n);
    c.com.List1->addItems(words);
    // The page lists hold the same words at the same positions, up to 2048.
    const QStringList pageWords = words.mid(0, kPageListCount);
    c.kzPage.List2->addItems(pageWords);
    c.words.List3->addItems(pageWords);

    c.words.setupframe->hide();
    c.setup.Controlframe->hide();
    c.kzPage.KZframe->hide();
    c.pk.pkframe->hide();
    c.com.comframe->show();

    m_state.gain = toInt16(numericValue(c.setup.Text13->text())).value_or(m_state.gain);
}

void Form1::addPageAction(QAction *action)
{
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    const QList<QWidget *> pages{c.com.comframe,      c.kzPage.KZframe, c.setup.Controlframe,
                                 c.words.setupframe,   c.pk.pkframe,     c.log.Frame10,
                                 c.about.Aboutframe,   c.connect.Frame1};
    for (QWidget *page : pages) {
        page->setContextMenuPolicy(Qt::ActionsContextMenu);
        page->addAction(action);
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Any handler caught in a wait returns at once and sends nothing more, so
    // the program ends promptly even in the middle of a search.
    m_link->endProgram();
    c.form.Timer1->stop();
    c.form.Timer2->stop();
    c.form.talk->stop();
    event->accept();
}

} // namespace kz
