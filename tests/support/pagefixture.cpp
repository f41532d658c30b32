// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagefixture.h"

#include "device/devicelink.h"
#include "device/pacing.h"

#include <QGroupBox>

namespace kz::test {

PageFixture::PageFixture(Page page, double timeScale)
{
    Pacing::setTimeScale(timeScale);
    buildPageAlone(&m_form, m_controls, page);
    for (QGroupBox *frame : m_form.findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly))
        frame->show();
    m_port = new MemoryPort(&m_form);
    m_port->open(1);
    m_link = std::make_unique<DeviceLink>(m_port, m_controls.form.Timer3, m_controls.form.Timer4);
    m_form.show();
}

PageFixture::~PageFixture()
{
    m_link.reset();
    Pacing::setTimeScale(1.0);
}

} // namespace kz::test
