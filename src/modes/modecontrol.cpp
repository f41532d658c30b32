#include "modes/modecontrol.h"

#include "device/format.h"
#include "window/pages.h"
#include "window/receiverouter.h"
#include "window/widgets.h"

#include <QGroupBox>

namespace kz {

namespace {
const QString kReportMark = QStringLiteral("AA = ");
// Messages that start with a larger number are not reports.
constexpr double kReportBelow = 256;
} // namespace

ModeControl::ModeControl(const KzPage &page, FormState &state, DeviceLink &link,
                         ReceiveRouter &router, QObject *parent)
    : QObject(parent), m_page(page), m_state(state), m_link(link)
{
    router.route(ReceiveRouter::Step::KzReports, m_page.KZframe, [this](QString &message) {
        takeReport(message);
        return ReceiveRouter::Next::Continue;
    });
}

void ModeControl::takeReport(QString &message)
{
    if (numericValue(message) >= kReportBelow)
        return;
    const int at = message.indexOf(kReportMark);
    message = at >= 0 ? message.mid(at + kReportMark.size()) : message.mid(4);
    const std::optional<qint16> pos = toInt16(numericValue(message.left(3)));
    if (!pos || !m_page.List2->selectIndex(*pos))
        return;
    m_page.Text10->prependEntry(m_page.List2->selectedText());
}

} // namespace kz
