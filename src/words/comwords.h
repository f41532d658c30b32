// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "words/readinggroups.h"

#include <QObject>
#include <QString>

#include <utility>

namespace kz {

class DeviceLink;
class ReceiveRouter;
struct ComPage;
struct FormState;

// The COM page's side of what the KZ sends: readings become words, each is
// added to the answer being collected and the KZ is made to say it.
class ComWords : public QObject {
    Q_OBJECT
public:
    ComWords(const ComPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
             QObject *parent = nullptr);

    const ReadingGroups &groups() const { return m_groups; }
    // The words announced since the last answer was taken, each after a
    // blank.
    const QString &answer() const { return m_answer; }
    // Hands those words over as an answer; the next answer starts empty.
    QString takeAnswer() { return std::exchange(m_answer, {}); }

signals:
    // A word passed the repeat filter and its say request is about to go out.
    void wordAnnounced(int wordNumber);
    // A message was taken as one of a group's readings.
    void readingTaken(double reading);
    // A group named a word number; `word` is the word's text when it is
    // announced, empty when the number is out of range or was said lately.
    void groupNamed(int wordNumber, const QString &word);

private:
    void announce(QString &groupText);

    const ComPage &m_page;
    FormState &m_state;
    DeviceLink &m_link;
    ReceiveRouter &m_router;
    ReadingGroups m_groups;
    QString m_answer;
};

} // namespace kz
