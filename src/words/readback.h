// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace kz {

class DeviceLink;
class ListBox;
class ReceiveRouter;
struct WordListPage;

// The words the KZ has spoken, read back: Read Words Spoken asks for them,
// and the KZ's dump is decoded into a numbered list on the Word List page.
class ReadBack : public QObject {
    Q_OBJECT
public:
    // `wordList` is the internal word list that turns numbers into words.
    ReadBack(const WordListPage &page, ListBox *wordList, DeviceLink &link, ReceiveRouter &router,
             QObject *parent = nullptr);

    // The lines of a dump: they end at a carriage return, a carriage return
    // and line feed, or the end of the text.
    static QStringList dumpLines(const QString &dump);
    // The word number a dump line names: read from its last ten characters,
    // after the first "d" among them when there is one.
    static std::optional<int> lineNumber(const QString &line);

private:
    // Sends the request and returns; the answer comes through the receive loop.
    void request();
    void takeMessage(const QString &message);

    const WordListPage &m_page;
    ListBox *m_wordList;
    DeviceLink &m_link;
};

} // namespace kz
