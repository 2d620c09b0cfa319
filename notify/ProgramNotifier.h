#pragma once

#include "core/NotificationResult.h"
#include "notify/KindNotifier.h"

class NotificationHost;
class ProcessLauncher;

/// The program notification: starts the configured program with the addresses filled into its path
/// and arguments. The program text is the program itself (blanks allowed); the argument text is split
/// into words as a shell would, but no shell runs.
class ProgramNotifier : public KindNotifier
{
public:
    ProgramNotifier(NotificationHost& host, ProcessLauncher& launcher) : m_host(host), m_launcher(launcher) {}

    Traits traits(int) const override { return {.name = QStringLiteral("Program"), .deadlineMs = 10000}; }
    void send(const NoticeSend& send, Notifiers::Done done) override;
    void abort(quint64) override {} // nothing is under way after send() returns

    /// Starts the program with @p addresses: delivered once it started, failed with the status shown otherwise.
    NotificationResult startProgram(const NoticeAddresses& addresses);

private:
    NotificationResult fail(const QString& status);

    NotificationHost& m_host;
    ProcessLauncher& m_launcher;
};
