#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <optional>

class QSocketNotifier;
class QTimer;

namespace kz::sim {

// A KZ behind a pseudo-terminal: the program opens slavePath() (or a COMn
// link to it) as if it were the real serial port and gets the device's
// answers back.
class SimulatedKz : public QObject {
    Q_OBJECT

public:
    enum class ProbeAnswers { Both, SecondOnly, None };

    explicit SimulatedKz(QObject *parent = nullptr);
    ~SimulatedKz() override;

    bool start(QString *error = nullptr);
    bool isRunning() const { return m_masterFd >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Creates folder/COM<portNumber> pointing at the slave; a link already
    // there is replaced, any other file is left alone and reported.
    bool linkAs(const QString &folder, int portNumber, QString *error = nullptr);
    QStringList links() const { return m_links; }

    QByteArray receivedBytes() const { return m_receivedBytes; }
    QStringList receivedLines() const { return m_receivedLines; }
    // Forgets the byte and line logs only: words said and the store are the
    // device's state and stay.
    void clearReceived();

    void setProbeAnswers(ProbeAnswers answers) { m_probeAnswers = answers; }
    ProbeAnswers probeAnswers() const { return m_probeAnswers; }

    // Readings come from the sequence, cycling; an empty sequence goes back
    // to the seeded pseudo-random readings.
    void setReadings(const QList<int> &sequence);
    // Seeded pseudo-random readings in 0..200, restarted from the seed.
    void setReadingSeed(quint32 seed);
    int readingsSent() const { return m_readingsSent; }

    QList<int> wordsSaid() const { return m_wordsSaid; }
    // Replaces the words said in later dumps.
    void setDumpWords(const QList<int> &words) { m_dumpWords = words; }

    QString firmwareVersion() const { return m_firmwareVersion; }
    void setFirmwareVersion(const QString &version) { m_firmwareVersion = version; }

    // Values of the word-list uploads by store address.
    QMap<int, int> store() const { return m_store; }

    // Delay before answers to commands; 0 writes them at once.
    void setReplyDelayMs(int ms) { m_replyDelayMs = qMax(0, ms); }
    int replyDelayMs() const { return m_replyDelayMs; }

    // Unsolicited output, written at once regardless of the reply delay.
    void sendModeReport(int wordNumber);
    void send(const QByteArray &raw);

signals:
    void lineReceived(const QString &line);
    // Every piece of text handed to the port, answers and unsolicited alike.
    void sent(const QByteArray &text);

private:
    enum class Context { Idle, UploadOpen, UploadValues, Sensitivity, DumpSelected, DumpArmed };

    void readMaster();
    void resumeReading();
    void handleLine(const QString &line);
    void handleCommand(const QList<int> &fields);
    void handleAddress(const QStringList &fields);
    void handleValue(double value);
    void reply(const QByteArray &text);
    void write(const QByteArray &text);
    void flushOutput();
    int nextReading();
    QByteArray dumpText() const;
    void closeAll();

    int m_masterFd = -1;
    // Held open for the simulator's whole life so that the master never sees
    // a hang-up when the program closes its side.
    int m_slaveFd = -1;
    QString m_slavePath;
    QStringList m_links;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_resumeTimer = nullptr;

    QByteArray m_receivedBytes;
    QStringList m_receivedLines;
    QByteArray m_partialLine;
    QByteArray m_pendingOutput;

    ProbeAnswers m_probeAnswers = ProbeAnswers::Both;
    QList<int> m_readings;
    qsizetype m_readingIndex = 0;
    QRandomGenerator m_random;
    int m_readingsSent = 0;

    QList<int> m_wordsSaid;
    std::optional<QList<int>> m_dumpWords;
    QString m_firmwareVersion = QStringLiteral("KZ FIRMWARE 2.10");

    Context m_context = Context::Idle;
    int m_uploadAddress = 0;
    int m_valuesTaken = 0;
    QMap<int, int> m_store;

    int m_replyDelayMs = 0;
};

} // namespace kz::sim
