#include "harness.h"

#include "device/connection.h"
#include "device/pacing.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace kz::test {

RecordingPort::RecordingPort(const PortLocator &locator)
    : m_port(new SystemSerialPort(locator, this))
{
    connect(m_port, &SerialPort::lost, this, &SerialPort::lost);
}

bool RecordingPort::open(int portNumber)
{
    opens << portNumber;
    return m_port->open(portNumber);
}

void RecordingPort::write(const QByteArray &data)
{
    written += data;
    m_port->write(data);
}

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

Harness::Harness(double timeScale)
{
    Pacing::setTimeScale(timeScale);
}

Harness::~Harness()
{
    m_window.reset();
    m_devices.clear();
}

sim::SimulatedKz *Harness::addDevice(int portNumber)
{
    auto device = std::make_unique<sim::SimulatedKz>();
    QString error;
    if (!device->start(&error) || !device->linkAs(m_dir.path(), portNumber, &error))
        qFatal("cannot start a simulated KZ: %s", qPrintable(error));
    m_devices.push_back(std::move(device));
    return m_devices.back().get();
}

Form1 *Harness::createWindow()
{
    m_port = new RecordingPort(PortLocator::forFolder(m_dir.path()));
    m_window = std::make_unique<Form1>(m_port);
    m_window->show();
    return m_window.get();
}

bool Harness::connectWindow()
{
    if (!m_window)
        createWindow();
    QTest::mouseClick(controls().Command1, Qt::LeftButton);
    return waitUntil([this] { return m_window->connection().isConnected(); });
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

} // namespace kz::test
