// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "words/upload.h"

#include <QObject>
#include <QString>

namespace kz {

// What the readings window hears of the behaviours, and nothing more: the
// window that builds them connects each signal here to the one that takes
// the reading or tells the event.
class ReadingSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // A connection was made: times count from the first.
    void connected();
    void comReading(double reading);
    void comWord(int wordNumber, const QString &word);
    void touchReading(double reading);
    void pkReading(double reading);
    void pkLineMoved(double offsetTwips);
    void tunePassMeasured(int pass, double level);
    void tuned(double low, double mid, double high);
    void questionAsked(const QString &question, int seconds);
    void answered(const QString &answer);
    void modeStarted(qint16 mode, const QString &caption);
    void uploadStarted();
    void uploadFinished(kz::WordListUpload::Outcome outcome, int block);
};

} // namespace kz
