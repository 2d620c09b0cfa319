#pragma once

#include <functional>

class DesktopIntegration;
class HistoryWindows;
class Form1;
class NetTools;
class NotificationWindows;

/// The windows beside the main window. One left null leaves the commands that reach it inert (tests leave some out).
struct WindowParts
{
    DesktopIntegration* desktop = nullptr;
    NetTools* netTools = nullptr;
    NotificationWindows* configuration = nullptr;
    /// What ending the process means, once the main window and the windows beside it have unloaded.
    std::function<void()> quit;
    HistoryWindows* history = nullptr;
};

/// Connects what the main window asks for to the window that owns it, and what those windows report back to
/// the main window. The parts must outlive @p form's connections (they are made with @p form as context).
void connectMainWindow(Form1& form, const WindowParts& parts);
