#include "support.h"

#include "device/pacing.h"
#include "window/connection.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
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

WindowHarness::WindowHarness(double timeScale)
{
    Pacing::setTimeScale(timeScale);
}

WindowHarness::~WindowHarness()
{
    m_window.reset();
    Pacing::setTimeScale(1.0);
}

Form1 *WindowHarness::createWindow()
{
    m_port = new MemoryPort;
    m_port->setScript([this](const QString &line) {
        return line == QStringLiteral("@ 2 2") && m_port->portNumber() == 1 ? QByteArray("^")
                                                                            : QByteArray();
    });
    m_window = std::make_unique<Form1>(m_port);
    m_window->show();
    return m_window.get();
}

bool clickConnect(Form1 &window)
{
    QTest::mouseClick(window.controls().connect.Command1, Qt::LeftButton);
    return waitUntil([&] { return window.connection().isConnected(); });
}

bool WindowHarness::connectWindow()
{
    return clickConnect(m_window ? *m_window : *createWindow());
}

} // namespace kz::test
