// SPDX-License-Identifier: GPL-3.0-or-later
#include "allophones.h"
#include "simulatedkz.h"
#include "speaker.h"
#include "speechrenderer.h"
#include "words/phonetable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>

using kz::sim::Audio;
using kz::sim::SimulatedKz;
using kz::sim::SpeechRenderer;
using kz::sim::SpeechStep;

namespace {

constexpr int kTimeoutMs = 5000;
// Speech sits near 3000 RMS; quieter than this is no word.
constexpr double kAudibleRms = 300;
// eSpeak's timing varies by a few pitch periods from one call to the next.
constexpr double kJitterMs = 20;
constexpr char kMarkerAnswer[] = "KZ FIRMWARE 2.10^";

// In a _data function it skips the whole test once.
#define REQUIRE_SPEECH()                                                                           \
    do {                                                                                           \
        QString why;                                                                               \
        if (!SpeechRenderer::isAvailable(&why))                                                    \
            QSKIP(qPrintable(QStringLiteral("no speech renderer: ") + why));                       \
    } while (false)

double rms(const std::vector<qint16> &samples, std::size_t from = 0, std::size_t count = SIZE_MAX)
{
    const std::size_t end = std::min(samples.size(), from + std::min(count, samples.size()));
    double sum = 0;
    for (std::size_t i = from; i < end; ++i)
        sum += double(samples[i]) * samples[i];
    return end > from ? std::sqrt(sum / double(end - from)) : 0.0;
}

int peak(const Audio &audio)
{
    int most = 0;
    for (const qint16 sample : audio.samples)
        most = std::max(most, std::abs(int(sample)));
    return most;
}

// The voice's pitch, averaged over the middle of the audio, from where each
// stretch of it best matches itself one period later.
double meanPitchHz(const Audio &audio)
{
    const auto &x = audio.samples;
    const int rate = audio.sampleRate;
    const int length = rate / 40;
    const int maxLag = rate / 60;
    const int n = static_cast<int>(x.size());
    double sum = 0;
    int windows = 0;
    for (int from = n / 5; from + length + maxLag < n * 4 / 5; from += n / 20) {
        int bestLag = 0;
        double best = -2;
        for (int lag = rate / 400; lag <= maxLag; ++lag) {
            double cross = 0, a = 0, b = 0;
            for (int k = 0; k < length; ++k) {
                cross += double(x[from + k]) * x[from + k + lag];
                a += double(x[from + k]) * x[from + k];
                b += double(x[from + k + lag]) * x[from + k + lag];
            }
            const double score = cross / std::sqrt(a * b + 1);
            if (score > best) {
                best = score;
                bestLag = lag;
            }
        }
        sum += double(rate) / bestLag;
        ++windows;
    }
    return windows > 0 ? sum / windows : 0.0;
}

QString describe(const QList<SpeechStep> &steps)
{
    QStringList parts;
    for (const SpeechStep &step : steps) {
        if (step.isPause()) {
            parts << QStringLiteral("pause %1").arg(step.pauseMs);
            continue;
        }
        QString part = QString::number(step.code);
        if (step.length != 1.0)
            part += QStringLiteral(" x%1").arg(step.length);
        if (step.stress == SpeechStep::Stress::Stressed)
            part += QStringLiteral(" stressed");
        if (step.stress == SpeechStep::Stress::Relaxed)
            part += QStringLiteral(" relaxed");
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

struct Rendered {
    Audio audio;
    QString error;
    bool ok = false;
    double ms() const { return audio.seconds() * 1000; }
};

Rendered render(const QList<int> &codes, bool reversed = false)
{
    Rendered result;
    if (const auto audio = SpeechRenderer().render(codes, reversed, &result.error)) {
        result.audio = *audio;
        result.ok = true;
    }
    return result;
}

// Speech goes here instead of to a sound card.
class CapturingOutput : public kz::sim::AudioOutput {
public:
    explicit CapturingOutput(QList<Audio> *played, bool ready = true)
        : m_played(played), m_ready(ready)
    {
    }
    bool isReady(QString *why) const override
    {
        if (!m_ready && why)
            *why = QStringLiteral("none here");
        return m_ready;
    }
    void play(const Audio &audio) override { m_played->append(audio); }

private:
    QList<Audio> *m_played;
    bool m_ready;
};

// The program's side of the line, with the simulated KZ's speech captured.
struct Bench {
    explicit Bench(bool outputReady = true)
        : speaker(&kz, std::make_unique<CapturingOutput>(&played, outputReady))
    {
    }
    bool open()
    {
        port.setPortName(kz.start() ? kz.slavePath() : QString());
        QObject::connect(&port, &QSerialPort::readyRead, [this] { answers += port.readAll(); });
        return port.open(QIODevice::ReadWrite);
    }
    // Everything before the firmware answer has then been handled.
    bool settle(const QByteArray &lines)
    {
        answers.clear();
        port.write(lines + "\r> 27 10 10\r");
        return QTest::qWaitFor([this] { return answers.endsWith(kMarkerAnswer); }, kTimeoutMs);
    }
    static QByteArray say(int number, bool reversed)
    {
        return "> 26  10  10  " + QByteArray::number(number) + "\r@  " + QByteArray::number(number)
            + (reversed ? " 1" : " 0");
    }
    // One upload block of 32 values from element first on.
    static QByteArray upload(int first, const QList<int> &values)
    {
        QByteArray block
            = ">  4 2\r@  " + QByteArray::number(SimulatedKz::kWordStoreAddress + 2 * first);
        for (int i = 0; i < 32; ++i)
            block += "\r*  " + QByteArray::number(values.value(i, kz::kEmptySlot));
        return block;
    }

    SimulatedKz kz;
    QList<Audio> played;
    kz::sim::Speaker speaker;
    QSerialPort port;
    QByteArray answers;
};

} // namespace

class TestSpeech : public QObject {
    Q_OBJECT

private slots:
    void stepsOfARow_data();
    void stepsOfARow();
    void stretchKeepsPitchAndLevel_data();
    void stretchKeepsPitchAndLevel();

    void everySoundIsHeard_data();
    void everySoundIsHeard();
    void museIsAWordLong();
    void emptyRowIsSilent();
    void wholeTableRendersInTime();
    void pauseLengthensTheRow_data();
    void pauseLengthensTheRow();
    void fastAndSlowChangeTheNextSound();
    void stressAndRelaxMoveThePitch_data();
    void stressAndRelaxMoveThePitch();

    void saidWordIsSpokenFromTheStore_data();
    void saidWordIsSpokenFromTheStore();
    void amplifierOffIsSilent();
    void withoutOutputSaysSoOnce();
    void kzSimWritesARowAsWav_data();
    void kzSimWritesARowAsWav();
};

void TestSpeech::stepsOfARow_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<QString>("steps");
    QTest::newRow("slow acts on the next sound")
        << QList<int> {140, 8, 160, 167, 48, 48} << false << "140, 160 x1.5, 167";
    QTest::newRow("fast, stress, relax")
        << QList<int> {7, 195, 14, 147, 15, 129} << false << "195 x0.5, 147 stressed, 129 relaxed";
    QTest::newRow("the pause codes") << QList<int> {1, 2, 3, 4, 5, 6, 128} << false
                                     << "pause 100, pause 200, pause 700, pause 30, pause 60, "
                                        "pause 90, 128";
    QTest::newRow("a control waits past a pause for its sound")
        << QList<int> {8, 2, 128} << false << "pause 200, 128 x1.5";
    QTest::newRow("pause 0, empty slots and stray values say nothing")
        << QList<int> {0, 48, 10, 79, 18, 200, -1, 128, 48} << false << "128";
    QTest::newRow("reversed, each sound keeps its controls")
        << QList<int> {140, 8, 160, 2, 14, 167} << true << "167 stressed, pause 200, 160 x1.5, 140";
}

void TestSpeech::stepsOfARow()
{
    QFETCH(QList<int>, codes);
    QFETCH(bool, reversed);
    QFETCH(QString, steps);
    QCOMPARE(describe(kz::sim::speechSteps(codes, reversed)), steps);
}

void TestSpeech::stretchKeepsPitchAndLevel_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("ms");
    QTest::newRow("fast") << kz::sim::kFastLength << 300;
    QTest::newRow("slow") << kz::sim::kSlowLength << 300;
    QTest::newRow("slow, shorter than two windows") << kz::sim::kSlowLength << 30;
}

void TestSpeech::stretchKeepsPitchAndLevel()
{
    QFETCH(double, factor);
    QFETCH(int, ms);
    const int rate = 22050;
    const double hz = 150;
    std::vector<qint16> tone(static_cast<std::size_t>(rate * ms / 1000));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = qint16(std::lround(10000 * std::sin(2 * std::numbers::pi * hz * i / rate)));

    const std::vector<qint16> out
        = kz::sim::stretchSpeech(tone.data(), int(tone.size()), factor, rate);
    QCOMPARE(qsizetype(out.size()), qsizetype(std::lround(tone.size() * factor)));
    if (ms < 100)
        return; // a burst that short is resampled, its pitch not kept

    int crossings = 0;
    for (std::size_t i = 1; i < out.size(); ++i)
        crossings += (out[i - 1] < 0) != (out[i] < 0);
    const double outHz = crossings / 2.0 / (double(out.size()) / rate);
    QVERIFY2(std::abs(outHz - hz) < hz * 0.03, qPrintable(QString::number(outHz)));
    // Pieces overlapped out of step would cancel out.
    const std::size_t block = rate / 50;
    for (std::size_t from = 0; from + block <= out.size(); from += block) {
        const double level = rms(out, from, block) / rms(tone);
        QVERIFY2(level > 0.85 && level < 1.15,
                 qPrintable(QStringLiteral("level %1 at sample %2").arg(level).arg(from)));
    }
}

void TestSpeech::everySoundIsHeard_data()
{
    REQUIRE_SPEECH();
    QTest::addColumn<int>("code");
    for (int code = kz::sim::kFirstSound; code <= kz::sim::kLastSound; ++code)
        QTest::addRow("%d %s", code, kz::sim::allophoneSound(code)->name) << code;
}

// A phoneme name eSpeak does not know is skipped without a word.
void TestSpeech::everySoundIsHeard()
{
    QFETCH(int, code);
    const Rendered sound = render({code});
    QVERIFY2(sound.ok, qPrintable(sound.error));
    QVERIFY2(peak(sound.audio) > kAudibleRms, qPrintable(QString::number(peak(sound.audio))));
}

void TestSpeech::museIsAWordLong()
{
    REQUIRE_SPEECH();
    const QList<int> row = SimulatedKz().wordRow(3);
    QCOMPARE(row.mid(0, 4), QList<int>({140, 8, 160, 167}));
    const Rendered muse = render(row);
    QVERIFY2(muse.ok, qPrintable(muse.error));
    QVERIFY2(rms(muse.audio.samples) > kAudibleRms,
             qPrintable(QString::number(rms(muse.audio.samples))));
    QVERIFY2(muse.audio.seconds() >= 0.2 && muse.audio.seconds() <= 2.0,
             qPrintable(QString::number(muse.audio.seconds())));
}

void TestSpeech::emptyRowIsSilent()
{
    REQUIRE_SPEECH();
    const QList<int> row = SimulatedKz().wordRow(2048);
    QCOMPARE(row, QList<int>(kz::kPhoneSlots, kz::kEmptySlot));
    for (const bool reversed : {false, true}) {
        const Rendered empty = render(row, reversed);
        QVERIFY2(empty.ok, qPrintable(empty.error));
        QCOMPARE(peak(empty.audio), 0);
    }
}

void TestSpeech::wholeTableRendersInTime()
{
    REQUIRE_SPEECH();
    const SimulatedKz kz;
    SpeechRenderer renderer;
    QElapsedTimer clock;
    clock.start();
    double seconds = 0;
    for (int n = 0; n <= 2047; ++n) {
        QString error;
        const auto audio = renderer.render(kz.wordRow(n), false, &error);
        QVERIFY2(audio, qPrintable(QStringLiteral("row %1: %2").arg(n).arg(error)));
        QVERIFY2(peak(*audio) > kAudibleRms, qPrintable(QStringLiteral("row %1 is silent").arg(n)));
        seconds += audio->seconds();
    }
    const qint64 ms = clock.elapsed();
    qInfo("2048 words, %.0f s of speech, rendered in %lld ms", seconds, ms);
    // Far quicker than it speaks, so that the speaking KZ keeps up however
    // loaded the machine; the time itself is the speech benchmark's.
    QVERIFY2(ms < seconds * 1000 / 10, qPrintable(QString::number(ms)));
}

void TestSpeech::pauseLengthensTheRow_data()
{
    REQUIRE_SPEECH();
    QTest::addColumn<QList<int>>("without");
    QTest::addColumn<QList<int>>("with");
    QTest::addColumn<int>("ms");
    const int lengths[] = {0, 100, 200, 700, 30, 60, 90};
    for (int code = 1; code <= 6; ++code) {
        const int ms = lengths[code];
        QTest::addRow("%d before", code)
            << QList<int> {140, 160, 167} << QList<int> {code, 140, 160, 167} << ms;
        QTest::addRow("%d between", code)
            << QList<int> {140, 160, 167} << QList<int> {140, code, 160, 167} << ms;
        QTest::addRow("%d after", code)
            << QList<int> {140, 160, 167} << QList<int> {140, 160, 167, code} << ms;
    }
}

void TestSpeech::pauseLengthensTheRow()
{
    QFETCH(QList<int>, without);
    QFETCH(QList<int>, with);
    QFETCH(int, ms);
    const Rendered plain = render(without);
    const Rendered paused = render(with);
    QVERIFY2(plain.ok && paused.ok, qPrintable(plain.error + paused.error));
    const double added = paused.ms() - plain.ms();
    QVERIFY2(std::abs(added - ms) < kJitterMs, qPrintable(QString::number(added)));
}

void TestSpeech::fastAndSlowChangeTheNextSound()
{
    REQUIRE_SPEECH();
    const Rendered plain = render({140, 160, 167});
    const Rendered fast = render({140, kz::sim::kFastCode, 160, 167});
    const Rendered slow = render({140, kz::sim::kSlowCode, 160, 167});
    QVERIFY2(plain.ok && fast.ok && slow.ok, qPrintable(plain.error + fast.error + slow.error));
    // Half the sound taken away, half of it added: the same amount.
    const double cut = plain.ms() - fast.ms();
    const double added = slow.ms() - plain.ms();
    QVERIFY2(cut > 80, qPrintable(QString::number(cut)));
    QVERIFY2(std::abs(added - cut) < kJitterMs,
             qPrintable(QStringLiteral("cut %1 ms, added %2 ms").arg(cut).arg(added)));
}

void TestSpeech::stressAndRelaxMoveThePitch_data()
{
    REQUIRE_SPEECH();
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("sound");
    QTest::addColumn<double>("pitchRatio");
    for (const int sound : {135, 160}) {
        QTest::addRow("stress %d", sound) << kz::sim::kStressCode << sound << 1.12;
        QTest::addRow("relax %d", sound) << kz::sim::kRelaxCode << sound << 1 / 1.12;
    }
}

void TestSpeech::stressAndRelaxMoveThePitch()
{
    QFETCH(int, control);
    QFETCH(int, sound);
    QFETCH(double, pitchRatio);
    const Rendered plain = render({sound});
    const Rendered changed = render({control, sound});
    QVERIFY2(plain.ok && changed.ok, qPrintable(plain.error + changed.error));
    const double pitch = meanPitchHz(changed.audio) / meanPitchHz(plain.audio);
    QVERIFY2(std::abs(pitch - pitchRatio) < 0.04, qPrintable(QString::number(pitch)));
    const double level = rms(changed.audio.samples) / rms(plain.audio.samples);
    QVERIFY2(pitchRatio > 1 ? level > 1.1 : level < 0.9, qPrintable(QString::number(level)));
}

void TestSpeech::saidWordIsSpokenFromTheStore_data()
{
    REQUIRE_SPEECH();
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<QList<int>>("row");
    QTest::newRow("built-in row") << QByteArray() << false << QList<int> {140, 8, 160, 167};
    QTest::newRow("uploaded row") << Bench::upload(30, {128}) << false << QList<int> {128};
    // The long pause puts the sound at one end or the other.
    QTest::newRow("uploaded row, forwards")
        << Bench::upload(30, {3, 128}) << false << QList<int> {3, 128};
    QTest::newRow("uploaded row, reversed")
        << Bench::upload(30, {3, 128}) << true << QList<int> {128, 3};
}

void TestSpeech::saidWordIsSpokenFromTheStore()
{
    QFETCH(QByteArray, upload);
    QFETCH(bool, reversed);
    QFETCH(QList<int>, row);
    Bench bench;
    QVERIFY(bench.open());
    if (!upload.isEmpty())
        QVERIFY(bench.settle(upload));
    QSignalSpy spoken(&bench.speaker, &kz::sim::Speaker::spoken);
    QVERIFY(bench.settle(Bench::say(3, reversed)));
    QCOMPARE(bench.played.size(), 1);
    QCOMPARE(spoken.size(), 1);
    QCOMPARE(spoken.front().front().toInt(), 3);

    const Rendered expected = render(row);
    QVERIFY2(expected.ok, qPrintable(expected.error));
    const Audio &heard = bench.played.front();
    QVERIFY2(std::abs(heard.seconds() - expected.audio.seconds()) * 1000 < kJitterMs,
             qPrintable(QStringLiteral("%1 s, expected %2 s")
                            .arg(heard.seconds())
                            .arg(expected.audio.seconds())));
    const std::size_t tenth = heard.samples.size() / 10;
    const std::size_t head = expected.audio.samples.size() / 10;
    QCOMPARE(rms(heard.samples, 0, tenth) > kAudibleRms,
             rms(expected.audio.samples, 0, head) > kAudibleRms);
}

void TestSpeech::amplifierOffIsSilent()
{
    REQUIRE_SPEECH();
    Bench bench;
    QVERIFY(bench.open());
    QVERIFY(bench.settle(">  12  1\r" + Bench::say(3, false)));
    QVERIFY(bench.played.isEmpty());
    QVERIFY(bench.settle(">  12  0\r" + Bench::say(3, false)));
    QCOMPARE(bench.played.size(), 1);
}

void TestSpeech::withoutOutputSaysSoOnce()
{
    REQUIRE_SPEECH();
    Bench bench(false);
    QSignalSpy notices(&bench.speaker, &kz::sim::Speaker::notice);
    QSignalSpy spoken(&bench.speaker, &kz::sim::Speaker::spoken);
    QVERIFY(bench.open());
    QVERIFY(bench.settle(Bench::say(3, false)));
    bench.kz.sendModeReport(5);
    QVERIFY(bench.settle(Bench::say(7, false)));
    QCOMPARE(spoken.size(), 3);
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.front().front().toString().contains(QStringLiteral("none here")),
             qPrintable(notices.front().front().toString()));
}

void TestSpeech::kzSimWritesARowAsWav_data()
{
    REQUIRE_SPEECH();
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("written");
    QTest::newRow("MUSE") << "3" << true;
    QTest::newRow("last row") << "2054" << true;
    QTest::newRow("past the table") << "2055" << false;
    QTest::newRow("not a number") << "three" << false;
}

void TestSpeech::kzSimWritesARowAsWav()
{
    QFETCH(QString, row);
    QFETCH(bool, written);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("row.wav"));
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_PATH), {QStringLiteral("--wav"), row, file});
    QVERIFY(sim.waitForFinished(kTimeoutMs));
    QCOMPARE(sim.exitCode() == 0, written);
    QCOMPARE(QFile::exists(file), written);
    if (!written)
        return;

    QFile wav(file);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    QVERIFY(bytes.size() >= 44);
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    QCOMPARE(bytes.mid(0, 4), QByteArray("RIFF"));
    QCOMPARE(u32(4), quint32(bytes.size() - 8));
    QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u16(20), quint16(1)); // PCM
    QCOMPARE(u16(22), quint16(1)); // mono
    QCOMPARE(u16(34), quint16(16));
    QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
    QCOMPARE(u32(40), quint32(bytes.size() - 44));

    Audio audio;
    audio.sampleRate = int(u32(24));
    for (int at = 44; at + 1 < bytes.size(); at += 2)
        audio.samples.push_back(qint16(u16(at)));
    if (row == QLatin1String("3")) {
        QVERIFY(audio.seconds() >= 0.2 && audio.seconds() <= 2.0);
        QVERIFY(rms(audio.samples) > kAudibleRms);
    } else {
        QCOMPARE(peak(audio), 0); // rows past the word list are empty
    }
}

QTEST_GUILESS_MAIN(TestSpeech)
#include "tst_speech.moc"
