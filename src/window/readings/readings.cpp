// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/readings/readings.h"

#include "window/pluginsearch.h"
#include "window/readings/readingsource.h"
#include "window/readings/readingsview.h"
#include "window/shortcuts.h"

#include <QAction>
#include <QMessageBox>
#include <QPluginLoader>

namespace kz {

const QString Readings::kActionText = QStringLiteral("Show readings");

namespace {

constexpr auto kPluginBaseName = "kzreadings";

// Loaded once for the life of the program, as every plugin is.
ReadingsPlugin *g_plugin = nullptr;
QString g_pluginPath;

ReadingsPlugin *loadPlugin(QString *error)
{
    if (g_plugin)
        return g_plugin;
    QStringList problems;
    for (const QString &dir : pluginSearchPath()) {
        const QString file = pluginCandidate(dir, QLatin1StringView(kPluginBaseName),
                                             QLatin1StringView(KZ_READINGS_PLUGIN_IID), &problems);
        if (file.isEmpty())
            continue;
        QPluginLoader loader(file);
        if (auto *plugin = qobject_cast<ReadingsPlugin *>(loader.instance())) {
            g_plugin = plugin;
            g_pluginPath = file;
            return plugin;
        }
        problems << QStringLiteral("%1: %2").arg(file, loader.errorString());
    }
    *error = problems.join(QLatin1Char('\n'));
    return nullptr;
}

QString outcomeText(WordListUpload::Outcome outcome)
{
    switch (outcome) {
    case WordListUpload::Outcome::Complete:
        return QStringLiteral("complete");
    case WordListUpload::Outcome::NoAnswer:
        return QStringLiteral("no answer");
    case WordListUpload::Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case WordListUpload::Outcome::Lost:
        return QStringLiteral("lost the KZ");
    case WordListUpload::Outcome::Ending:
        break;
    }
    return QStringLiteral("program ending");
}

} // namespace

ReadingsView *createReadingsView(const ReadingHistory &history, QWidget *parent, QString *error)
{
    ReadingsPlugin *plugin = loadPlugin(error);
    return plugin ? plugin->createView(history, parent) : nullptr;
}

Readings::Readings(const ReadingSource &source, QWidget *window)
    : QObject(window), m_window(window), m_action(new QAction(kActionText, this))
{
    m_action->setObjectName(QStringLiteral("showReadings"));
    m_action->setShortcut(readingsKey());
    connect(m_action, &QAction::triggered, this, &Readings::show);
    feed(source);
}

Readings::~Readings()
{
    delete m_view;
}

void Readings::feed(const ReadingSource &source)
{
    using S = Reading::Source;
    auto to
        = [this](S source) { return [this, source](double value) { m_log.add(source, value); }; };

    connect(&source, &ReadingSource::connected, this, [this] { m_log.startClock(); });
    connect(&source, &ReadingSource::comReading, this, to(S::ComReading));
    connect(&source, &ReadingSource::comWord, this,
            [this](int number, const QString &word) { m_log.add(S::ComWord, number, word); });
    connect(&source, &ReadingSource::touchReading, this, to(S::TouchReading));
    connect(&source, &ReadingSource::pkReading, this, to(S::PkReading));
    connect(&source, &ReadingSource::pkLineMoved, this, to(S::PkLine));
    connect(&source, &ReadingSource::tunePassMeasured, this,
            [this](int, double level) { m_log.add(S::TunePass, level); });
    connect(&source, &ReadingSource::tuned, this, [this](double low, double mid, double high) {
        m_log.add(S::TuneLow, low);
        m_log.add(S::TuneMid, mid);
        m_log.add(S::TuneHigh, high);
    });

    // The events that explain the readings around them.
    connect(&source, &ReadingSource::questionAsked, this,
            [this](const QString &question, int seconds) {
                m_log.add(S::Question, seconds, question);
            });
    connect(&source, &ReadingSource::answered, this,
            [this](const QString &answer) { m_log.add(S::Answer, 0, answer.trimmed()); });
    connect(
        &source, &ReadingSource::modeStarted, this,
        [this](qint16 mode, const QString &caption) { m_log.add(S::ModeStarted, mode, caption); });
    connect(&source, &ReadingSource::uploadStarted, this,
            [this] { m_log.add(S::UploadStarted, 0); });
    connect(&source, &ReadingSource::uploadFinished, this,
            [this](WordListUpload::Outcome outcome, int block) {
                const bool complete = outcome == WordListUpload::Outcome::Complete;
                m_log.add(S::UploadEnded, complete ? WordListUpload::kBlocks : block,
                          outcomeText(outcome));
            });
}

bool Readings::show()
{
    if (!m_view) {
        QString error;
        m_view = createReadingsView(m_log, m_window, &error);
        if (!m_view) {
            explainMissing(error);
            return false;
        }
        // A window of its own beside the main one, which closing only hides.
        m_view->setWindowFlag(Qt::Window);
        m_view->setObjectName(QStringLiteral("readingsWindow"));
    }
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
    return true;
}

void Readings::explainMissing(const QString &error)
{
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Readings"),
                                QStringLiteral("The readings window is not installed (Debian "
                                               "package kz-readings)."),
                                QMessageBox::Ok, m_window);
    if (!error.isEmpty())
        box->setDetailedText(error);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal to the application: the window goes on taking readings.
    box->open();
}

ReadingsView *Readings::view() const
{
    return m_view;
}

QString Readings::findPlugin()
{
    return kz::findPlugin(pluginSearchPath(), QLatin1StringView(kPluginBaseName),
                          QLatin1StringView(KZ_READINGS_PLUGIN_IID));
}

QString Readings::loadedPluginPath()
{
    return g_pluginPath;
}

} // namespace kz
