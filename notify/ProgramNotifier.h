#pragma once

#include "core/NotificationResult.h"

class NotificationHost;
class ProcessLauncher;

/// The program notification: starts the configured program with the addresses filled into its path
/// and arguments. The program text is the program itself (blanks allowed); the argument text is split
/// into words as a shell would, but no shell runs.
class ProgramNotifier
{
public:
    ProgramNotifier(NotificationHost& host, ProcessLauncher& launcher) : m_host(host), m_launcher(launcher) {}

    /// Starts the program: delivered once it started, failed with the status shown otherwise.
    NotificationResult startProgram();

private:
    NotificationResult fail(const QString& status);

    NotificationHost& m_host;
    ProcessLauncher& m_launcher;
};
