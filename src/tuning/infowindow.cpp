// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/infowindow.h"

#include "device/format.h"
#include "kit/pages.h"
#include "kit/receiverouter.h"
#include "kit/widgets.h"

#include <QGroupBox>

namespace kz {

InfoWindow::InfoWindow(const SetupPage &page, ReceiveRouter &router, QObject *parent)
    : QObject(parent), m_page(page)
{
    router.route(ReceiveRouter::Step::SetupInfo, m_page.Controlframe, [this](QString &message) {
        if (!message.contains(QStringLiteral("Done")))
            m_page.Text9->setText(trimBlanks(message));
        return ReceiveRouter::Next::Continue;
    });
}

} // namespace kz
