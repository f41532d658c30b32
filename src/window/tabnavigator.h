#pragma once

#include <QObject>

namespace kz {

class AboutPage;
class DeviceLink;
struct Form1Controls;

// The tab strip: a click hides every page, shows the chosen one and stops
// the device twice (and on the KZ page sends it one more line).
class TabNavigator : public QObject {
    Q_OBJECT
public:
    TabNavigator(const Form1Controls &controls, DeviceLink &link, AboutPage &about,
                 QObject *parent = nullptr);

    // The click handler; the caption of the selected tab decides the page.
    void tabClicked();

private:
    const Form1Controls &c;
    DeviceLink &m_link;
    AboutPage &m_about;
};

} // namespace kz
