// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace kz {

class AboutBrowser;
class DeviceLink;
struct Form1Controls;

// The tab strip, the one behaviour that knows every page: a click hides every page, shows the
// chosen one and stops the device twice (and on the KZ page sends it one more line).
class TabNavigator : public QObject {
    Q_OBJECT
public:
    TabNavigator(const Form1Controls &controls, DeviceLink &link, AboutBrowser &about,
                 QObject *parent = nullptr);

    // The click handler; the caption of the selected tab decides the page.
    void tabClicked();
    // Chooses the tab with this caption, in any case, as a click on it would.
    // False when there is none.
    bool choose(const QString &caption);
    // The tab's own caption for a caption given in any case; empty when no
    // tab has it.
    QString captionOf(const QString &caption) const;
    // Every tab's caption, in the strip's order.
    QStringList captions() const;

signals:
    // A page change has sent all its lines, or ended without them (the
    // program ends, the KZ went away).
    void switched();

private:

    const Form1Controls &m_controls;
    DeviceLink &m_link;
    AboutBrowser &m_about;
};

} // namespace kz
