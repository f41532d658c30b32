// SPDX-License-Identifier: GPL-3.0-or-later
#include "support.h"

#include "device/pacing.h"
#include "kit/receiverouter.h"
#include "window/connection.h"
#include "window/tabnavigator.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

namespace kz::test {

MessageBoxCloser::MessageBoxCloser(std::function<void()> snapshot, bool accept)
    : m_snapshot(std::move(snapshot)), m_accept(accept)
{
    m_poll.setInterval(5);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || seen)
            return;
        seen = true;
        text = box->text();
        title = box->windowTitle();
        if (m_snapshot)
            m_snapshot();
        m_poll.stop();
        box->done(m_accept ? QMessageBox::Ok : QMessageBox::Cancel);
    });
    m_poll.start();
}

void enterUnwritableFolder(QTemporaryDir &dir)
{
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QDir::setCurrent(dir.path());
    QFile probe(QStringLiteral("probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        dir.remove();
    }
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

TickClock::TickClock(int tickDesignMs) : m_tickDesignMs(tickDesignMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(Pacing::scaled(tickDesignMs));
    connect(&m_timer, &QTimer::timeout, this, [this] { ++m_ticks; });
    restart();
}

void TickClock::restart()
{
    m_ticks = 0;
    m_timer.start();
    m_wall.start();
}

QString TickClock::checkEnded(int deadlineDesignMs, bool atDeadline) const
{
    const bool early = atDeadline && m_wall.elapsed() < Pacing::scaled(deadlineDesignMs);
    if (early || designMs() >= (atDeadline ? 2 : 1) * deadlineDesignMs)
        return QStringLiteral("%1 ms on the wall, %2 design ms in ticks, for a deadline of %3")
            .arg(m_wall.elapsed())
            .arg(designMs())
            .arg(deadlineDesignMs);
    return {};
}

bool clickConnect(Form1 &window)
{
    QTest::mouseClick(window.controls().connect.Command1, Qt::LeftButton);
    return waitUntil([&] { return window.connection().isConnected(); });
}

bool showPage(Form1 &window, const QString &caption, const std::function<bool()> &quiet)
{
    // Choosing the tab already chosen changes nothing and sends nothing.
    bool sent = window.tabs().captionOf(caption)
        == window.controls().form.TabStrip1->tabText(window.controls().form.TabStrip1->currentIndex());
    const QMetaObject::Connection noted
        = QObject::connect(&window.tabs(), &TabNavigator::switched, [&sent] { sent = true; });
    const bool chosen = window.tabs().choose(caption);
    const ReceiveRouter &router = window.receiver();
    const bool settled = chosen && waitUntil([&] {
        return sent && (!quiet || quiet()) && !router.isBusy() && router.pending().isEmpty();
    });
    QObject::disconnect(noted);
    return settled;
}

WindowHarnessBase::WindowHarnessBase(double timeScale)
{
    Pacing::setTimeScale(timeScale);
}

WindowHarnessBase::~WindowHarnessBase()
{
    m_window.reset();
    Pacing::setTimeScale(1.0);
}

Form1 *WindowHarnessBase::createWindow()
{
    m_window = std::make_unique<Form1>(makePort());
    m_window->show();
    return m_window.get();
}

bool WindowHarnessBase::connectWindow()
{
    return clickConnect(m_window ? *m_window : *createWindow());
}

bool WindowHarnessBase::start(const QString &caption)
{
    return connectWindow() && showPage(caption);
}

bool WindowHarnessBase::showPage(const QString &caption)
{
    const bool settled = test::showPage(*m_window, caption, [this] { return quiet(); });
    forgetTraffic();
    return settled;
}

SerialPort *WindowHarness::makePort()
{
    m_port = new MemoryPort;
    m_port->setScript([this](const QString &line) {
        return line == QStringLiteral("@ 2 2") && m_port->portNumber() == 1 ? QByteArray("^")
                                                                            : QByteArray();
    });
    return m_port;
}

} // namespace kz::test
