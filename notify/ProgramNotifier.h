#pragma once

class NotificationHost;
class ProcessLauncher;

/// The program notification: starts the configured program with the addresses filled into its path
/// and arguments. The program text is the program itself (blanks allowed); the argument text is split
/// into words as a shell would, but no shell runs.
class ProgramNotifier
{
public:
    ProgramNotifier(NotificationHost& host, ProcessLauncher& launcher) : m_host(host), m_launcher(launcher) {}

    /// Returns whether the program was started.
    bool doLauchProg();

private:
    NotificationHost& m_host;
    ProcessLauncher& m_launcher;
};
