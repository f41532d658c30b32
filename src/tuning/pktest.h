#pragma once

#include <QObject>

namespace kz {

class DeviceLink;
class ReceiveRouter;
struct FormState;
struct PkPage;

// The PK page: each reading the KZ sends lands in the reading box.
class PkTest : public QObject {
    Q_OBJECT
public:
    PkTest(const PkPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
           QObject *parent = nullptr);

private:
    const PkPage &m_page;
    FormState &m_state;
    DeviceLink &m_link;
};

} // namespace kz
