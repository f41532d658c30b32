// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace kz {

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
    // The request itself; the caller holds the wire.
    void say();

    const WordListPage &m_page;
    ListBox *m_wordList;
    DeviceLink &m_link;
};

} // namespace kz
