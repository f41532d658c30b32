#include "tuning/pktest.h"

#include "device/format.h"
#include "window/pages.h"
#include "window/receiverouter.h"
#include "window/widgets.h"

#include <QGroupBox>

namespace kz {

namespace {
// Readings are at most three digits long.
constexpr int kReadingDigits = 3;
} // namespace

PkTest::PkTest(const PkPage &page, FormState &state, DeviceLink &link, ReceiveRouter &router,
               QObject *parent)
    : QObject(parent), m_page(page), m_state(state), m_link(link)
{
    router.route(ReceiveRouter::Step::PkReading, m_page.pkframe, [this](QString &message) {
        if (!message.isEmpty())
            m_page.pktext->setText(digitsOnly(message).left(kReadingDigits));
        return ReceiveRouter::Next::Continue;
    });
}

} // namespace kz
