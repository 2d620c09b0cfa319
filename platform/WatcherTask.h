#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// The watcher without the window (`--headless`), started by the system from the user's logon on: on Linux the
/// systemd user unit (the one installed with the program, else one written under ~/.config/systemd/user/), on
/// Windows a Task Scheduler task of the current user, made and removed by schtasks.exe.
class WatcherTask
{
public:
    /// @p program: the absolute path of the executable the task starts.
    explicit WatcherTask(QString program);

    /// What the system is given: the unit's text, or the task's XML.
    QByteArray definition() const;
    /// Where definition() is written for the system to read.
    QString definitionPath() const;

    /// Makes the task and starts it (on Linux at once, on Windows at the next logon). False and @p error on failure.
    [[nodiscard]] bool install(QString* error);
    /// Stops and removes the task; one that does not exist is no failure.
    [[nodiscard]] bool remove(QString* error);
    /// Whether the system has the task, enabled.
    bool isInstalled() const;

private:
    /// Runs the system's tool @p program with @p args and waits for it; false and @p error (with what it said)
    /// unless it exits with 0. What it said goes to @p said too.
    [[nodiscard]] static bool run(const QString& program, const QStringList& args, QString* error,
                                  QString* said = nullptr);

    QString m_program;
};
