#pragma once

#include <vector>

/// The command line handed to QApplication. In a Wayland session with an X server at hand (XWayland)
/// and no platform chosen by the user (QT_QPA_PLATFORM unset, no -platform argument), it asks for the
/// X11 platform, where a window can stay on top and the tray has an XEmbed area. The choice is made
/// with "-platform xcb" rather than the environment, so that programs the system starts do not inherit it.
class DesktopArguments
{
public:
    DesktopArguments(int argc, char** argv);
    int& argc() { return m_argc; }
    char** argv() { return m_argv.data(); }
    bool prefersX11() const { return m_prefersX11; }

    /// The decision alone, from the environment and the arguments.
    static bool shouldPreferX11(int argc, char** argv);

private:
    std::vector<char*> m_argv;
    int m_argc = 0;
    bool m_prefersX11 = false;
};
