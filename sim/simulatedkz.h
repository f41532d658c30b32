// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <optional>

class QTimer;

namespace kz::sim {

class PseudoTerminal;

// A KZ behind a pseudo-terminal: the program opens slavePath() (or a COMn
// link to it) as if it were the real serial port and gets the device's
// answers back.
class SimulatedKz : public QObject {
    Q_OBJECT

public:
    enum class ProbeAnswers { Both, SecondOnly, None };
    // Set by the last mode command; a stop ends it.
    enum class Mode { None, Dictionary, Phonetic, ReversePhonetic, Touch, VoiceChange };

    // Flag, volume, speed, pitch and bend as a voice line carries them; the
    // defaults are the voice the device starts with.
    struct Voice {
        int flag = 0;
        int volume = 120;
        int speed = 114;
        int pitch = 89;
        int bend = 6;
        bool operator==(const Voice &) const = default;
    };

    struct SpokenWord {
        int number = 0;
        bool reversed = false;
        bool operator==(const SpokenWord &) const = default;
    };

    // Store address of element 0 of the word rows; each element takes two.
    static constexpr int kWordStoreAddress = 17664;
    static constexpr int kRowLength = 10;
    static constexpr int kSteadyReading = 100;
    // Fixed so that a run without a chosen seed repeats its readings.
    static constexpr quint32 kDefaultSeed = 1977;
    // Design times in milliseconds, run through the pacing scale.
    static constexpr int kReportIntervalMs = 3000;
    static constexpr int kTouchIntervalMs = 200;

    explicit SimulatedKz(QObject *parent = nullptr);
    ~SimulatedKz() override;

    bool start(QString *error = nullptr);
    bool isRunning() const;
    QString slavePath() const;

    // Creates folder/COM<portNumber> pointing at the slave; a link already
    // there is replaced, any other file is left alone and reported.
    bool linkAs(const QString &folder, int portNumber, QString *error = nullptr);
    QStringList links() const;

    QByteArray receivedBytes() const { return m_receivedBytes; }
    QStringList receivedLines() const { return m_receivedLines; }
    // Forgets the byte and line logs only: words said and the store are the
    // device's state and stay.
    void clearReceived();

    void setProbeAnswers(ProbeAnswers answers) { m_probeAnswers = answers; }
    ProbeAnswers probeAnswers() const { return m_probeAnswers; }

    // Readings answer "> 11 n" and stream in Touch Mode. By default every
    // reading is the same steady value.
    void setSteadyReading(int value);
    // Readings come from the sequence, cycling; an empty sequence goes back
    // to the steady reading.
    void setReadings(const QList<int> &sequence);
    // Seeded pseudo-random readings in 0..200, restarted from the seed.
    void setReadingSeed(quint32 seed);
    // Readings that drift as a held KZ's do: a seeded random walk around
    // the steady reading, pulled back towards it, within 0..200.
    void setWanderingReadings(quint32 seed = kDefaultSeed);
    int readingsSent() const { return m_readingsSent; }

    Mode mode() const { return m_mode; }
    // Design time between the words reported in Dictionary, Phonetic and
    // Reverse Phonetic Mode; 0 reports none. Takes effect at once.
    void setReportInterval(int designMs);
    int reportInterval() const { return m_reportIntervalMs; }
    // Reported words come from the list, cycling; an empty list goes back to
    // the seeded pseudo-random words in 1..2047.
    void setReportWords(const QList<int> &words);
    void setReportSeed(quint32 seed);

    // Words said on request and words reported in the modes, in order.
    QList<SpokenWord> spokenWords() const { return m_spoken; }
    QList<int> wordsSaid() const;
    // Replaces the words said in later dumps.
    void setDumpWords(const QList<int> &words) { m_dumpWords = words; }

    QString firmwareVersion() const { return m_firmwareVersion; }
    void setFirmwareVersion(const QString &version) { m_firmwareVersion = version; }

    Voice voice() const { return m_voice; }
    Voice storedVoice() const { return m_storedVoice; }
    bool ampOn() const { return m_ampOn; }

    // Values of the word-list uploads by store address.
    QMap<int, int> store() const { return m_store; }
    // The word rows written so far, by row number: element i of the table
    // sits at kWordStoreAddress + 2 i. A row ends at its last written slot;
    // a slot never written before it reads 0.
    QMap<int, QList<int>> storeRows() const;
    // The codes the device speaks for a word: each element as the last
    // upload wrote it, the built-in phoneme table where none has.
    QList<int> wordRow(int number) const;

    // What the device answers when a block of the word-list upload is full:
    // "^" by default; an empty answer leaves the block unanswered.
    void setBlockAnswer(const QByteArray &answer) { m_blockAnswer = answer; }
    QByteArray blockAnswer() const { return m_blockAnswer; }

    // Delay before answers to commands; 0 writes them at once.
    void setReplyDelayMs(int ms) { m_replyDelayMs = qMax(0, ms); }
    int replyDelayMs() const { return m_replyDelayMs; }

    // Unsolicited output, written at once regardless of the reply delay. A
    // reported word counts as said.
    void sendModeReport(int wordNumber);
    void send(const QByteArray &raw);

signals:
    void lineReceived(const QString &line);
    // The device speaks a word now: said on request or reported in a mode.
    // arrivedNs is the steady-clock time at which the request was read, or
    // the report made.
    void speaks(int number, bool reversed, qint64 arrivedNs);
    // Every piece of text handed to the port, answers and unsolicited alike.
    void sent(const QByteArray &text);

private:
    enum class Context { Idle, UploadOpen, UploadValues, Sensitivity, DumpSelected, DumpArmed };

    void takeBytes(const QByteArray &chunk);
    void handleLine(const QString &line);
    void handleCommand(const QList<int> &fields);
    void handleAddress(const QStringList &fields);
    void handleValue(double value);
    void startMode(Mode mode);
    void sayWord(int number, bool reversed);
    void sendReading();
    void reply(const QByteArray &text);
    void write(const QByteArray &text);
    int nextReading();
    int nextReportWord();
    QByteArray dumpText() const;

    PseudoTerminal *m_terminal;

    QByteArray m_receivedBytes;
    QStringList m_receivedLines;
    QByteArray m_partialLine;
    qint64 m_readAtNs = 0;

    ProbeAnswers m_probeAnswers = ProbeAnswers::Both;
    enum class ReadingSource { Steady, Scripted, Seeded, Wandering };
    ReadingSource m_readingSource = ReadingSource::Steady;
    int m_steadyReading = kSteadyReading;
    double m_wander = kSteadyReading;
    QList<int> m_readings;
    qsizetype m_readingIndex = 0;
    QRandomGenerator m_random;
    int m_readingsSent = 0;

    Mode m_mode = Mode::None;
    QTimer *m_reportTimer = nullptr;
    QTimer *m_touchTimer = nullptr;
    int m_reportIntervalMs = kReportIntervalMs;
    QList<int> m_reportWords;
    qsizetype m_reportIndex = 0;
    QRandomGenerator m_reportRandom;

    QList<SpokenWord> m_spoken;
    std::optional<QList<int>> m_dumpWords;
    QString m_firmwareVersion = QStringLiteral("KZ FIRMWARE 2.10");

    Context m_context = Context::Idle;
    int m_uploadAddress = 0;
    int m_valuesTaken = 0;
    QMap<int, int> m_store;
    QByteArray m_blockAnswer = "^";

    Voice m_voice;
    Voice m_storedVoice;
    bool m_ampOn = true;

    int m_replyDelayMs = 0;
};

} // namespace kz::sim
