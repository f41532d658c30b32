// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the simulated KZ's speech costs: the time to render each word
// of the phoneme table, and the delay from a say request reaching the
// simulated KZ to its samples being handed to the audio output.
//
//   build/bench/kz-speech-bench [REQUESTS]
#include "simulatedkz.h"
#include "speaker.h"
#include "speechrenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using kz::sim::Audio;

// Takes the samples and plays nothing: the hand-over is what is timed.
class NullOutput : public kz::sim::AudioOutput {
public:
    bool isReady(QString *) const override { return true; }
    void play(const Audio &) override { }
};

double percentile(std::vector<double> values, double part)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(part * double(values.size())))];
}

void printSpread(const char *what, const std::vector<double> &ms)
{
    std::printf("%s: median %.3f ms, 90th percentile %.3f ms, max %.3f ms (%zu)\n", what,
                percentile(ms, 0.5), percentile(ms, 0.9), percentile(ms, 1.0), ms.size());
}

bool renderTable()
{
    const kz::sim::SimulatedKz kz;
    kz::sim::SpeechRenderer renderer;
    std::vector<double> ms;
    double seconds = 0;
    QElapsedTimer total;
    total.start();
    for (int n = 0; n <= 2047; ++n) {
        QElapsedTimer clock;
        clock.start();
        QString error;
        const auto audio = renderer.render(kz.wordRow(n), false, &error);
        ms.push_back(clock.nsecsElapsed() / 1e6);
        if (!audio) {
            std::fprintf(stderr, "row %d: %s\n", n, qPrintable(error));
            return false;
        }
        seconds += audio->seconds();
    }
    std::printf("whole table: 2048 words, %.0f s of speech, rendered in %lld ms\n", seconds,
                total.elapsed());
    printSpread("render one word", ms);
    return true;
}

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool timeRequests(int requests)
{
    kz::sim::SimulatedKz kz;
    std::unique_ptr<kz::sim::AudioOutput> output = kz::sim::systemAudioOutput();
    QString why;
    if (output->isReady(&why)) {
        std::printf("output: the system's audio output\n");
    } else {
        std::printf("output: none (%s); a null output takes the samples\n", qPrintable(why));
        output = std::make_unique<NullOutput>();
    }
    kz::sim::Speaker speaker(&kz, std::move(output));
    QSerialPort port;
    port.setPortName(kz.start() ? kz.slavePath() : QString());
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open the simulated KZ\n");
        return false;
    }

    std::vector<double> inSim;
    std::vector<double> fromWrite;
    qint64 writtenNs = 0;
    QObject::connect(&speaker, &kz::sim::Speaker::spoken, [&](int, const Audio &, qint64 delayNs) {
        inSim.push_back(delayNs / 1e6);
        fromWrite.push_back((steadyNowNs() - writtenNs) / 1e6);
    });
    QRandomGenerator words(1977);
    for (int i = 0; i < requests; ++i) {
        const QByteArray number = QByteArray::number(words.bounded(2048));
        port.write("> 26  10  10  " + number + "\r");
        port.waitForBytesWritten(1000);
        const std::size_t before = inSim.size();
        writtenNs = steadyNowNs();
        port.write("@  " + number + " 0\r");
        // An event loop, not QTest::qWaitFor, which sleeps 10 ms at a time.
        QEventLoop loop;
        const auto quit = QObject::connect(&speaker, &kz::sim::Speaker::spoken, &loop,
                                           &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(quit);
        if (inSim.size() == before) {
            std::fprintf(stderr, "word %s was not spoken\n", number.constData());
            return false;
        }
    }
    printSpread("say request read by the simulated KZ -> samples handed to the output", inSim);
    printSpread("say line written by the program -> samples handed to the output", fromWrite);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString why;
    if (!kz::sim::SpeechRenderer::isAvailable(&why)) {
        std::fprintf(stderr, "kz-speech-bench: no speech: %s\n", qPrintable(why));
        return 1;
    }
    const int requests = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 200;
    return renderTable() && timeRequests(requests) ? 0 : 1;
}
