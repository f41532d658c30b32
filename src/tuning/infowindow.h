// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace kz {

class ReceiveRouter;
struct SetupPage;

// The SET UP page's information window shows what the KZ sends while the
// page is shown, except completion notices.
class InfoWindow : public QObject {
    Q_OBJECT
public:
    InfoWindow(const SetupPage &page, ReceiveRouter &router, QObject *parent = nullptr);

private:
    const SetupPage &m_page;
};

} // namespace kz
