// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/devicelink.h"

#include <QObject>
#include <QString>

namespace kz {

class ReceiveRouter;
struct FormParts;
struct HiddenBoxes;
struct WordListPage;

// Writes the phoneme table into the KZ's store, so that the device says word
// n from row n. The values go in blocks of 32, each answered by the device
// before the next opens; the window's title shows the progress. While it
// runs, no word can be said and no other page chosen.
class WordListUpload : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Complete,
        NoAnswer, // a block went unanswered for kAnswerWaitMs
        Cancelled,
        Lost, // the KZ went away during the run
        Ending, // the window was closed
    };
    Q_ENUM(Outcome)

    static constexpr int kBlockValues = 32;
    static constexpr int kFirstAddress = 17664;
    // Each value takes two addresses.
    static constexpr int kBlockStride = 2 * kBlockValues;
    static constexpr int kBlocks = 641;
    // The pace of a value once the first block is open; the first two holds
    // go at Timer4's start-up interval.
    static constexpr int kValueHoldMs = 15;
    // Design time without an answer that ends the upload.
    static constexpr int kAnswerWaitMs = 5000;

    WordListUpload(const WordListPage &page, const HiddenBoxes &hidden, const FormParts &form,
                   DeviceLink &link, ReceiveRouter &router, QObject *parent = nullptr);

    // The click handler of "Re-Load Word List": the upload runs on from the
    // event loop until `finished`. Refused while another sequence holds the
    // wire.
    void run();
    bool isRunning() const { return m_running; }

    // The title after `values` values with `passes` blocks answered: the
    // words written in tenths, " 1.1" or " 2".
    static QString progressTitle(int values, int passes);
    static QString blockAddressLine(int block);
    static QString valueLine(int element);

signals:
    // The upload has the wire and begins to write.
    void started();
    // `block` is the block that was being sent when the upload ended.
    void finished(kz::WordListUpload::Outcome outcome, int block);

private:
    void begin();
    // The lines of one block, its answer, and the next block when its turn comes.
    void addBlock(CommandSequence &s, int block);
    void forgetAnswer();
    void blocksEnded(WaitResult r);
    void restorePage();

    const WordListPage &m_page;
    const HiddenBoxes &m_hidden;
    const FormParts &m_form;
    DeviceLink &m_link;
    bool m_running = false;
    // The block being sent.
    int m_block = 0;
    // The KZ has sent text since the last block was answered: any text is
    // its answer.
    bool m_answered = false;
};

} // namespace kz
