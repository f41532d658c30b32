// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

namespace kz {

class CommandSequence;
class DeviceLink;
class ListBox;
struct WordListPage;

// The Word List page's Say Word controls: the KZ says the word picked in the
// list or set on the scroll bar, forwards or reversed.
class SayWord : public QObject {
    Q_OBJECT
public:
    // `wordList` is the internal word list, where the word said is selected.
    SayWord(const WordListPage &page, ListBox *wordList, DeviceLink &link,
            QObject *parent = nullptr);

private:
    void pick(int index);
    void sayClicked();
    // The request's lines, once `wordSet` has put the word on the scroll
    // bar; nothing goes out when it could not.
    CommandSequence request(std::function<bool()> wordSet);

    const WordListPage &m_page;
    ListBox *m_wordList;
    DeviceLink &m_link;
};

} // namespace kz
