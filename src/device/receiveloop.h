#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace kz {

class DeviceLink;
struct Form1Controls;
struct FormState;

// Everything the KZ sends comes in here, on every tick of Timer1: it is
// gathered until a message ends with "^", then handed to the page shown.
// On the COM page readings become words that the KZ is made to say.
class ReceiveLoop : public QObject {
    Q_OBJECT
public:
    static constexpr int kRecentRing = 20;
    static constexpr int kHighestWord = 2048;

    ReceiveLoop(const Form1Controls &controls, FormState &state, DeviceLink &link,
                QObject *parent = nullptr);

    void tick();

    QString buffer() const { return m_buffer; }
    int readingPhase() const { return m_readingPhase; }
    int recentIndex() const { return m_recentIndex; }
    // A tick is running (it may be inside the waits after a word).
    bool isBusy() const { return m_inTick; }

    // The lines of a dump of the words spoken: they end at a carriage return,
    // a carriage return and line feed, or the end of the text.
    static QStringList dumpLines(const QString &dump);

signals:
    // A word passed the repeat filter and its say request is about to go out.
    void wordAnnounced(int wordNumber);

private:
    void takeReadingPhase();
    void showDump();
    void showModeReport();
    void announceWord();

    const Form1Controls &c;
    FormState &m_state;
    DeviceLink &m_link;

    QString m_buffer;
    int m_readingPhase = 0;
    QString m_reading1;
    QString m_reading2;
    QString m_reading3;
    int m_recentIndex = 0;
    bool m_inTick = false;
};

} // namespace kz
