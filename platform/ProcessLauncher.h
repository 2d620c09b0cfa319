#pragma once

#include <QString>
#include <QStringList>

/// Starting a program without waiting for it, behind an interface so tests can stand in for it.
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;
    /// Starts @p program detached, never through a shell. Returns false and fills @p error on failure.
    [[nodiscard]] virtual bool startDetached(const QString& program, const QStringList& args, QString* error) = 0;
};

/// Starts programs with QProcess::startDetached; a program without a slash is searched on PATH.
class DetachedProcessLauncher : public ProcessLauncher
{
public:
    [[nodiscard]] bool startDetached(const QString& program, const QStringList& args, QString* error) override;
};
