// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/formstate.h"
#include "kit/pages.h"
#include "memoryport.h"
#include "window/form1layout.h"

#include <QWidget>

#include <memory>

namespace kz {
class DeviceLink;
}

namespace kz::test {

// One page of the window alone, shown, with the window's timers, a device
// link on a port in memory (open on port 1) and the state the behaviours
// share: what a behaviour is built from, without the rest of the window.
class PageFixture {
public:
    explicit PageFixture(Page page, double timeScale = 0.1);
    ~PageFixture();
    Q_DISABLE_COPY_MOVE(PageFixture)

    QWidget *form() { return &m_form; }
    const Form1Controls &controls() const { return m_controls; }
    FormState &state() { return m_state; }
    DeviceLink &link() { return *m_link; }
    MemoryPort *port() const { return m_port; }

private:
    QWidget m_form;
    Form1Controls m_controls;
    FormState m_state;
    MemoryPort *m_port = nullptr;
    std::unique_ptr<DeviceLink> m_link;
};

} // namespace kz::test
