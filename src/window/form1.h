// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/formstate.h"
#include "kit/pages.h"

#include <QWidget>

class QAction;
class QMessageBox;

namespace kz {

class AboutBrowser;
class AutoTune;
class ComWords;
class Connection;
class DeviceLink;
class InfoWindow;
class KeyboardNavigator;
class LogFile;
class ModeControl;
class PkTest;
class Readings;
class ReadingSource;
class QuestionDesk;
class ReadBack;
class ReceiveRouter;
class SayWord;
class SerialPort;
class Sensitivity;
class TabNavigator;
class VoiceSettings;
class WordListUpload;
struct SiteSettings;

// The program's one window. It builds the controls, holds the state they
// share, and hands each behaviour the page and the device link it needs.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // The window takes the port over.
    Form1(SerialPort *port, const SiteSettings &sites, QWidget *parent = nullptr);
    explicit Form1(SerialPort *port, QWidget *parent = nullptr);
    ~Form1() override;

    const Form1Controls &controls() const { return m_controls; }
    FormState &state() { return m_state; }
    DeviceLink &link() { return *m_link; }
    Connection &connection() { return *m_connection; }
    ReceiveRouter &receiver() { return *m_receiver; }
    ComWords &comWords() { return *m_comWords; }
    TabNavigator &tabs() { return *m_tabs; }
    AboutBrowser &about() { return *m_about; }
    LogFile &log() { return *m_log; }
    QuestionDesk &questions() { return *m_questions; }
    Sensitivity &sensitivity() { return *m_sensitivity; }
    AutoTune &autoTune() { return *m_autoTune; }
    PkTest &pkTest() { return *m_pk; }
    WordListUpload &upload() { return *m_upload; }
    ModeControl &modes() { return *m_modes; }
    Readings &readings() { return *m_readings; }

    // A window beside this one (readings, the wire trace) is reached by the
    // action's shortcut anywhere in the window and from the context menu of
    // every page; the window's own controls stay as they are.
    void addPageAction(QAction *action);
    // A file write that failed, said where the user is: the event window
    // holds it already; on any other page a window beside this one says it
    // too.
    void tellWriteFailure(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    // Tab and Shift+Tab, in reading order through the controls in sight.
    bool focusNextPrevChild(bool next) override;

private:
    // The window's load: word lists, pages shown, gain.
    void load();
    // What the behaviours tell the readings window.
    ReadingSource *feedReadings();

    Form1Controls m_controls;
    FormState m_state;
    DeviceLink *m_link = nullptr;
    Connection *m_connection = nullptr;
    ReceiveRouter *m_receiver = nullptr;
    ComWords *m_comWords = nullptr;
    ReadBack *m_readBack = nullptr;
    ModeControl *m_modes = nullptr;
    InfoWindow *m_info = nullptr;
    PkTest *m_pk = nullptr;
    Sensitivity *m_sensitivity = nullptr;
    AutoTune *m_autoTune = nullptr;
    AboutBrowser *m_about = nullptr;
    TabNavigator *m_tabs = nullptr;
    LogFile *m_log = nullptr;
    QuestionDesk *m_questions = nullptr;
    SayWord *m_sayWord = nullptr;
    VoiceSettings *m_voice = nullptr;
    WordListUpload *m_upload = nullptr;
    KeyboardNavigator *m_keys = nullptr;
    Readings *m_readings = nullptr;
    QMessageBox *m_writeFailure = nullptr;
};

} // namespace kz
