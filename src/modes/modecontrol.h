#pragma once

#include <QObject>

namespace kz {

class DeviceLink;
class ReceiveRouter;
struct FormState;
struct KzPage;

// The KZ page: the words the KZ reports in its modes are listed, newest on
// top.
class ModeControl : public QObject {
    Q_OBJECT
public:
    ModeControl(const KzPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
                QObject *parent = nullptr);

private:
    void takeReport(QString &message);

    const KzPage &m_page;
    FormState &m_state;
    DeviceLink &m_link;
};

} // namespace kz
