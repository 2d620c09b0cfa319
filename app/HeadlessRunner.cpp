#include "app/HeadlessRunner.h"

#include "core/AddressWatcher.h"
#include "core/RefreshCycle.h"
#include "core/Settings.h"
#include "app/LookupHealth.h"
#include "app/StartUp.h"
#include "app/TestHooks.h"
#include "app/WatcherMetrics.h"
#include "app/WatcherHistory.h"
#include "app/WatcherNotifications.h"
#include "history/HistoryText.h"
#include "platform/HandOver.h"
#include "platform/InstanceLock.h"
#include "core/MessageBox.h"
#include "platform/NetworkChangeMonitor.h"
#include "platform/StatusLog.h"
#include "platform/UnixSignals.h"
#include "platform/WatcherTask.h"
#include "router/RouterQuery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <utility>

namespace {
// After SIGTERM: how long a mail under way may take to finish before it is given up.
constexpr int ShutdownGraceMs = 4500;
// The longest --once runs, whatever the servers do: above the lookup (8 s), a keyring that is slow to answer (25 s)
// and the longest notice (a mail session, 120 s). What has not ended by then is given up and stays pending.
constexpr int OnceLimitMs = 180000;

/// What the window would show in a message box becomes a status line.
class LogMessageBox : public MessageBox
{
public:
    explicit LogMessageBox(StatusLog& log) : m_log(log) {}
    void show(const QString& text, Icon, const QString&) override { m_log.write(text); }
    bool ask(const QString& text, const QString&) override
    {
        m_log.write(text);
        return false; // nobody to answer
    }

private:
    StatusLog& m_log;
};

int exitStatus(AddressWatcher::Outcome outcome)
{
    switch (outcome) {
    case AddressWatcher::Outcome::Unchanged:
        return CommandLine::ExitUnchanged;
    case AddressWatcher::Outcome::Notified:
        return CommandLine::ExitChanged;
    case AddressWatcher::Outcome::NotifyFailed:
        return CommandLine::ExitNotifyFailed;
    case AddressWatcher::Outcome::NotSaved:
        return CommandLine::ExitConfig;
    case AddressWatcher::Outcome::LookupFailed:
        break;
    }
    return CommandLine::ExitLookupFailed;
}
// --history: the whole file read first (a reader holds the watcher's writes off only while it reads), then printed.
int printHistory(const QString& path, bool csv)
{
    HistoryStore store(path, HistoryStore::Access::ReadOnly);
    QString error;
    if (!store.open(&error)) {
        if (!store.exists()) {
            std::printf("%s\n", qPrintable(error));
            return CommandLine::ExitUnchanged;
        }
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return CommandLine::ExitConfig;
    }
    const QList<HistoryEntry> entries = store.all();
    if (!store.lastError().isEmpty()) {
        std::fprintf(stderr, "The history %s cannot be read: %s\n", qPrintable(path), qPrintable(store.lastError()));
        return CommandLine::ExitConfig;
    }
    const QByteArray text = (csv ? HistoryText::csv(entries) : HistoryText::table(entries)).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? CommandLine::ExitUnchanged : CommandLine::ExitConfig;
}

// --install-task, --remove-task: the system's scheduler starts the program without the window at logon, through
// the windowed executable, which hands --headless on to this one (on Windows without a console window).
int changeTask(bool install)
{
    const QFileInfo self(QCoreApplication::applicationFilePath());
    const QString suffix = self.suffix().isEmpty() ? QString() : QLatin1Char('.') + self.suffix();
    WatcherTask task(self.dir().filePath(QStringLiteral("tarnwick-ip-vistrel") + suffix));
    QString error;
    if (!(install ? task.install(&error) : task.remove(&error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return CommandLine::ExitConfig;
    }
    std::printf("%s\n", install ? "The watcher starts without the window at logon." : "The watcher's task is removed.");
    return CommandLine::ExitUnchanged;
}
} // namespace

int HeadlessRunner::run(const CommandLine& command, const QString& settingsPath, int argc, char** argv)
{
    const CommandLine::Mode mode = command.mode;
    QCoreApplication app(argc, argv);
    StartUp::nameApplication();
    const QString historyPath = WatcherHistory::pathFor(settingsPath, StartUp::defaultSettingsPath());
    if (mode == CommandLine::Mode::History)
        return printHistory(historyPath, command.historyCsv);
    if (mode == CommandLine::Mode::Health) {
        const int interval = RefreshCycle::secondsForSelection(Settings(settingsPath).readInt(Key::RefreshRate), 60);
        return LookupHealth::report(LookupHealth::pathFor(historyPath), LookupHealth::maxAgeFor(interval));
    }
    if (mode == CommandLine::Mode::InstallTask || mode == CommandLine::Mode::RemoveTask)
        return changeTask(mode == CommandLine::Mode::InstallTask);

    InstanceLock lock(settingsPath, InstanceLock::Role::Headless);
    if (const int status = StartUp::takeLock(lock); status >= 0)
        return status;

    StatusLog log;
    StatusLog::captureQtMessages(&log);
    // A service's log holds what happened, not the debugging detail (QT_LOGGING_RULES still turns it on).
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const auto restoreMessages = qScopeGuard([] { StatusLog::captureQtMessages(nullptr); });
    Settings settings(settingsPath);
    for (const QString& line : settings.tidyUp())
        log.write(line);
    RouterQuery router;
    AddressWatcher watcher(settings);
    StartUp::askRouter(watcher, router);
    QObject::connect(&watcher, &AddressWatcher::statusChanged, [&log](const QString& text) { log.write(text); });
    // What changed, one line per address: "External: 198.51.100.1 -> 203.0.113.7".
    QObject::connect(&watcher, &AddressWatcher::addressesChanged, [&log](const QList<AddressChange>& changes) {
        for (const AddressChange& change : changes)
            log.write(QStringLiteral("%1: %2 -> %3").arg(change.name, change.before, change.after));
    });
    // The machine's own IPv6 address and prefix when they are new: "Internal IPv6: 2001:db8:1::5 (2001:db8:1::/64)".
    QObject::connect(&watcher, &AddressWatcher::addressesUpdated, [&log, &watcher, last = QString()]() mutable {
        if (watcher.internalIPv6Address() == QLatin1String("none"))
            return;
        const QString line =
            QStringLiteral("Internal IPv6: %1 (%2)%3")
                .arg(watcher.internalIPv6Address(), watcher.ipv6Prefix(),
                     watcher.isExternalIPv6Temporary() ? QStringLiteral("; the internet sees a temporary address")
                                                       : QString());
        if (line != std::exchange(last, line))
            log.write(line);
    });
    // The router's answer when it is new: a service's log does not repeat it at every lookup.
    QObject::connect(&watcher, &AddressWatcher::routerAnswered, [&log, last = QString()](const QString& line) mutable {
        if (line != std::exchange(last, line))
            log.write(line);
    });
    LogMessageBox messageBox(log);
    WatcherNotifications notifications(watcher, settings, &messageBox);
    WatcherHistory history(watcher, historyPath, Qt::DirectConnection); // a status line at once, even in --once
    LookupHealth::record(watcher, LookupHealth::pathFor(historyPath), log);
    watcher.load();
    watcher.loadRefreshSettings(mode == CommandLine::Mode::Headless);
    notifications.startSecrets(); // a mail started before the keyring answered waits for it
    TestHooks::install(watcher.refreshCycle(), &watcher);

    int status = CommandLine::ExitUnchanged;
    bool ending = false;
    const auto end = [&] {
        watcher.shutdown();
        QCoreApplication::quit();
    };
    QObject::connect(&watcher, &AddressWatcher::cycleFinished, &app, [&](AddressWatcher::Outcome outcome) {
        // Also after SIGTERM: a cycle that ended within the grace says how; one given up counts its notices failed.
        if (mode == CommandLine::Mode::Once)
            status = exitStatus(outcome);
        if (const QString pending = watcher.pendingNotices().summary(); ending && !pending.isEmpty())
            log.write(QStringLiteral("Stopped with a notice left pending: %1").arg(pending));
        if (mode == CommandLine::Mode::Once || ending)
            end();
    });

    UnixSignals unixSignals;
    if (QString error; !unixSignals.start(&error))
        log.write(QStringLiteral("Signals are not handled: %1").arg(error));
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&grace, &QTimer::timeout, &app, end);
    QObject::connect(&unixSignals, &UnixSignals::terminate, &app, [&] {
        if (ending)
            return;
        ending = true;
        // A lookup cut short ends no cycle; notices given up end theirs as failed (see cycleFinished above).
        if (mode == CommandLine::Mode::Once)
            status = CommandLine::ExitLookupFailed;
        if (!watcher.isCycleRunning()) {
            end();
            return;
        }
        // A lookup or a mail under way may end by itself; after the grace it is given up.
        watcher.setAutoRefresh(false);
        grace.start(ShutdownGraceMs);
    });
    QObject::connect(&unixSignals, &UnixSignals::reload, &app, [&] {
        watcher.load();
        watcher.loadRefreshSettings(true);
        log.write(QStringLiteral("Settings read again from %1").arg(settingsPath));
    });

    if (mode == CommandLine::Mode::Once) {
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &app, [&] {
            log.write(QStringLiteral("Stopped: not done within %1 s; what is left is tried again by the next run")
                          .arg(limit.interval() / 1000.0));
            status = CommandLine::ExitLookupFailed; // the lookup's end (notices given up: 2) replaces it
            ending = true;
            end();
        });
        limit.start(TestHooks::onceLimitMs(OnceLimitMs));
        QTimer::singleShot(0, &watcher, &AddressWatcher::lookUp);
        app.exec();
        return status;
    }

    std::optional<WatcherMetrics> metrics;
    if (!command.metricsListen.isEmpty()) {
        metrics.emplace(watcher, notifications);
        if (QString error; !metrics->listen(command.metricsListen, &error)) {
            log.write(QStringLiteral("The metrics cannot be served on %1: %2").arg(command.metricsListen, error));
            return CommandLine::ExitConfig;
        }
    }
    NetworkChangeMonitor networkChanges;
    QObject::connect(&networkChanges, &NetworkChangeMonitor::changed, &watcher, &AddressWatcher::networkChanged);
    if (QString error; !networkChanges.start(&error))
        log.write(QStringLiteral("Network changes are not watched: %1").arg(error));
    QTimer::singleShot(0, &watcher, &AddressWatcher::lookUp); // as the window does when it starts
    app.exec();
    return status;
}

void HeadlessRunner::handOver(char** argv)
{
    HandOver::toSibling("tarnwick-ip-vistrel-headless", argv);
}
