// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulatedkz.h"

#include "device/format.h"
#include "device/pacing.h"
#include "words/phonetable.h"

#include "pseudoterminal.h"

#include <QLoggingCategory>
#include <QTimer>

#include <chrono>

Q_LOGGING_CATEGORY(lcSim, "kz.sim", QtInfoMsg)

namespace kz::sim {

namespace {

constexpr int kMaxReading = 200;
// Each wandering reading steps up to this far from the last, and comes back
// this share of the way to the steady reading: some 20 either side of it.
constexpr double kWanderStep = 10;
constexpr double kWanderPull = 0.05;
constexpr int kMaxWordNumber = 2050;
constexpr int kMaxReportedWord = 2047;
constexpr int kUploadValueCount = 32;
constexpr int kSensitivityValueCount = 4;

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The integers of a line's fields after its leading character; empty when
// any field is not an integer, since such a line is no command.
std::optional<QList<int>> integerFields(const QStringList &fields)
{
    QList<int> numbers;
    for (const QString &field : fields) {
        bool ok = false;
        const int number = field.toInt(&ok);
        if (!ok)
            return std::nullopt;
        numbers.append(number);
    }
    return numbers;
}

bool reportsWords(SimulatedKz::Mode mode)
{
    return mode == SimulatedKz::Mode::Dictionary || mode == SimulatedKz::Mode::Phonetic
        || mode == SimulatedKz::Mode::ReversePhonetic;
}

} // namespace

SimulatedKz::SimulatedKz(QObject *parent)
    : QObject(parent), m_terminal(new PseudoTerminal(this)), m_random(kDefaultSeed),
      m_reportTimer(new QTimer(this)), m_touchTimer(new QTimer(this)), m_reportRandom(kDefaultSeed)
{
    connect(m_terminal, &PseudoTerminal::received, this, &SimulatedKz::takeBytes);
    m_reportTimer->setTimerType(Qt::PreciseTimer);
    connect(m_reportTimer, &QTimer::timeout, this, [this] { sendModeReport(nextReportWord()); });
    m_touchTimer->setTimerType(Qt::PreciseTimer);
    connect(m_touchTimer, &QTimer::timeout, this, &SimulatedKz::sendReading);
}

SimulatedKz::~SimulatedKz() = default;

bool SimulatedKz::start(QString *error)
{
    return m_terminal->start(error);
}

bool SimulatedKz::isRunning() const
{
    return m_terminal->isRunning();
}

QString SimulatedKz::slavePath() const
{
    return m_terminal->slavePath();
}

bool SimulatedKz::linkAs(const QString &folder, int portNumber, QString *error)
{
    return m_terminal->linkAs(folder, portNumber, error);
}

QStringList SimulatedKz::links() const
{
    return m_terminal->links();
}

void SimulatedKz::clearReceived()
{
    m_receivedBytes.clear();
    m_receivedLines.clear();
}

void SimulatedKz::setSteadyReading(int value)
{
    m_readingSource = ReadingSource::Steady;
    m_steadyReading = value;
}

void SimulatedKz::setReadings(const QList<int> &sequence)
{
    m_readingSource = sequence.isEmpty() ? ReadingSource::Steady : ReadingSource::Scripted;
    m_readings = sequence;
    m_readingIndex = 0;
}

void SimulatedKz::setReadingSeed(quint32 seed)
{
    m_readingSource = ReadingSource::Seeded;
    m_random.seed(seed);
}

void SimulatedKz::setWanderingReadings(quint32 seed)
{
    m_readingSource = ReadingSource::Wandering;
    m_random.seed(seed);
    m_wander = m_steadyReading;
}

void SimulatedKz::setReportInterval(int designMs)
{
    m_reportIntervalMs = qMax(0, designMs);
    if (m_mode != Mode::Touch)
        startMode(m_mode);
}

void SimulatedKz::setReportWords(const QList<int> &words)
{
    m_reportWords = words;
    m_reportIndex = 0;
}

void SimulatedKz::setReportSeed(quint32 seed)
{
    m_reportWords.clear();
    m_reportRandom.seed(seed);
}

QList<int> SimulatedKz::wordsSaid() const
{
    QList<int> numbers;
    numbers.reserve(m_spoken.size());
    for (const SpokenWord &word : m_spoken)
        numbers.append(word.number);
    return numbers;
}

QMap<int, QList<int>> SimulatedKz::storeRows() const
{
    QMap<int, QList<int>> rows;
    for (auto it = m_store.lowerBound(kWordStoreAddress); it != m_store.cend(); ++it) {
        const int offset = it.key() - kWordStoreAddress;
        if (offset % 2 != 0)
            continue;
        const int element = offset / 2;
        QList<int> &row = rows[element / kRowLength];
        const int slot = element % kRowLength;
        if (row.size() <= slot)
            row.resize(slot + 1);
        row[slot] = it.value();
    }
    return rows;
}

QList<int> SimulatedKz::wordRow(int number) const
{
    QList<int> row;
    row.reserve(kRowLength);
    for (int slot = 0; slot < kRowLength; ++slot) {
        const int element = number * kRowLength + slot;
        const auto stored = m_store.constFind(kWordStoreAddress + 2 * element);
        row.append(stored != m_store.cend() ? stored.value() : kz::phone(element));
    }
    return row;
}

void SimulatedKz::sendModeReport(int wordNumber)
{
    m_spoken.append({wordNumber, false});
    emit speaks(wordNumber, false, steadyNowNs());
    write("AA = " + QByteArray::number(wordNumber) + '^');
}

void SimulatedKz::send(const QByteArray &raw)
{
    write(raw);
}

void SimulatedKz::takeBytes(const QByteArray &chunk)
{
    m_readAtNs = steadyNowNs();
    m_receivedBytes += chunk;
    for (const char c : chunk) {
        if (c == '\r') {
            const QByteArray line = m_partialLine;
            m_partialLine.clear();
            handleLine(QString::fromLatin1(line));
        } else if (c != '\n') {
            m_partialLine += c;
        }
    }
}

void SimulatedKz::handleLine(const QString &line)
{
    m_receivedLines.append(line);
    qCDebug(lcSim) << "received" << line;
    emit lineReceived(line);

    const QString text = line.trimmed();
    if (text.isEmpty())
        return;
    const QChar lead = text.front();
    const QStringList fields = text.mid(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);

    if (lead == QLatin1Char('>')) {
        if (const auto numbers = integerFields(fields))
            handleCommand(*numbers);
        else
            m_context = Context::Idle;
    } else if (text == QLatin1String("@ 2 2")) {
        // The program writes its stop and probe as fixed text; a say-word
        // request for word 1 reversed has the same numbers but two blanks
        // after the at sign, so it is told apart by the text alone.
        startMode(Mode::None);
        if (m_probeAnswers == ProbeAnswers::Both)
            reply("^");
    } else if (text == QLatin1String("@ 1 1")) {
        if (m_probeAnswers != ProbeAnswers::None)
            reply("!");
    } else if (lead == QLatin1Char('@')) {
        handleAddress(fields);
    } else if (lead == QLatin1Char('*')) {
        handleValue(kz::numericValue(text.mid(1)));
    }
}

// A ">" line starts a new command, so it ends whatever block was open.
void SimulatedKz::handleCommand(const QList<int> &fields)
{
    const Context previous = m_context;
    m_context = Context::Idle;

    if (fields.size() == 2 && fields[0] == 11 && fields[1] >= 1 && fields[1] <= 3) {
        ++m_readingsSent;
        reply(QByteArray::number(nextReading()) + '^');
    } else if (fields == QList<int> {18, 2}) {
        startMode(Mode::Dictionary);
    } else if (fields == QList<int> {15, 2}) {
        startMode(Mode::Phonetic);
    } else if (fields == QList<int> {16, 2}) {
        startMode(Mode::ReversePhonetic);
    } else if (fields == QList<int> {17, 2}) {
        startMode(Mode::Touch);
    } else if (fields == QList<int> {20, 1, 1}) {
        startMode(Mode::VoiceChange);
    } else if (fields == QList<int> {12, 0} || fields == QList<int> {12, 1}) {
        m_ampOn = fields[1] == 0;
    } else if (fields == QList<int> {23, 10, 10}) {
        m_storedVoice = m_voice;
    } else if (fields == QList<int> {4, 2}) {
        m_context = Context::UploadOpen;
    } else if (fields == QList<int> {40, 2}) {
        m_context = Context::Sensitivity;
        m_valuesTaken = 0;
    } else if (fields == QList<int> {14, 1}) {
        m_context = Context::DumpSelected;
    } else if (fields == QList<int> {2, 1}) {
        if (previous == Context::DumpArmed)
            reply(dumpText());
    } else if (fields == QList<int> {27, 10, 10}) {
        reply(m_firmwareVersion.toLatin1() + '^');
    }
}

void SimulatedKz::handleAddress(const QStringList &fields)
{
    const auto numbers = integerFields(fields);
    if (!numbers)
        return;

    if (numbers->size() == 1) {
        if (m_context == Context::UploadOpen || m_context == Context::UploadValues) {
            m_context = Context::UploadValues;
            m_uploadAddress = numbers->front();
            m_valuesTaken = 0;
        }
        return;
    }
    // Neither line waits for its header ("> 24 22", "> 26  10  10 "): the
    // program pumps events between the two, and a poll may go out meanwhile.
    if (numbers->size() == 5) {
        const QList<int> &n = *numbers;
        m_voice = Voice {n[0], n[1], n[2], n[3], n[4]};
    } else if (numbers->size() == 2) {
        sayWord(numbers->at(0), numbers->at(1) != 0);
    }
}

void SimulatedKz::sayWord(int number, bool reversed)
{
    if (number < 0 || number > kMaxWordNumber)
        return;
    m_spoken.append({number, reversed});
    emit speaks(number, reversed, m_readAtNs);
}

void SimulatedKz::handleValue(double value)
{
    switch (m_context) {
    case Context::UploadValues:
        m_store.insert(m_uploadAddress + 2 * m_valuesTaken, qRound(value));
        if (++m_valuesTaken == kUploadValueCount) {
            m_context = Context::Idle;
            reply(m_blockAnswer);
        }
        break;
    case Context::Sensitivity:
        if (++m_valuesTaken == kSensitivityValueCount)
            m_context = Context::Idle;
        break;
    case Context::DumpSelected:
        m_context = qRound(value) == 800 ? Context::DumpArmed : Context::Idle;
        break;
    case Context::Idle:
    case Context::UploadOpen:
    case Context::DumpArmed:
        m_context = Context::Idle;
        break;
    }
}

void SimulatedKz::startMode(Mode mode)
{
    m_mode = mode;
    m_reportTimer->stop();
    m_touchTimer->stop();
    if (mode == Mode::Touch)
        m_touchTimer->start(Pacing::scaled(kTouchIntervalMs));
    else if (reportsWords(mode) && m_reportIntervalMs > 0)
        m_reportTimer->start(Pacing::scaled(m_reportIntervalMs));
}

void SimulatedKz::sendReading()
{
    ++m_readingsSent;
    write(QByteArray::number(nextReading()) + '^');
}

void SimulatedKz::reply(const QByteArray &text)
{
    if (m_replyDelayMs == 0) {
        write(text);
        return;
    }
    QTimer::singleShot(m_replyDelayMs, this, [this, text] { write(text); });
}

void SimulatedKz::write(const QByteArray &text)
{
    if (!isRunning() || text.isEmpty())
        return;
    qCDebug(lcSim) << "sent" << text;
    emit sent(text);
    m_terminal->write(text);
}

int SimulatedKz::nextReading()
{
    switch (m_readingSource) {
    case ReadingSource::Steady:
        break;
    case ReadingSource::Seeded:
        return static_cast<int>(m_random.bounded(kMaxReading + 1));
    case ReadingSource::Wandering:
        m_wander += kWanderStep * (2 * m_random.generateDouble() - 1)
            + kWanderPull * (m_steadyReading - m_wander);
        m_wander = qBound(0.0, m_wander, double(kMaxReading));
        return qRound(m_wander);
    case ReadingSource::Scripted: {
        const int reading = m_readings.at(m_readingIndex);
        m_readingIndex = (m_readingIndex + 1) % m_readings.size();
        return reading;
    }
    }
    return m_steadyReading;
}

int SimulatedKz::nextReportWord()
{
    if (m_reportWords.isEmpty())
        return static_cast<int>(m_reportRandom.bounded(1, kMaxReportedWord + 1));
    const int word = m_reportWords.at(m_reportIndex);
    m_reportIndex = (m_reportIndex + 1) % m_reportWords.size();
    return word;
}

QByteArray SimulatedKz::dumpText() const
{
    const QList<int> words = m_dumpWords ? *m_dumpWords : wordsSaid();
    // The program recognises a dump by "Word 1 PROM", so an empty one must
    // not carry it.
    if (words.isEmpty())
        return "No words^";
    // The end mark closes the last line rather than standing on a line of its
    // own, which a reader taking each line's number would count as word 0.
    QByteArrayList lines;
    for (qsizetype i = 0; i < words.size(); ++i)
        lines << "Word " + QByteArray::number(i + 1) + " PROM d " + QByteArray::number(words.at(i));
    return lines.join("\r\n") + '^';
}

} // namespace kz::sim
