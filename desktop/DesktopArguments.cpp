#include "desktop/DesktopArguments.h"

#include <QString>

#include <cstring>

namespace {

char platformOption[] = "-platform";
char platformXcb[] = "xcb";

} // namespace

bool DesktopArguments::shouldPreferX11(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    }
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

DesktopArguments::DesktopArguments(int argc, char** argv) : m_prefersX11(shouldPreferX11(argc, argv))
{
    m_argv.assign(argv, argv + argc);
    if (m_prefersX11) {
        m_argv.push_back(platformOption);
        m_argv.push_back(platformXcb);
    }
    m_argc = static_cast<int>(m_argv.size());
    m_argv.push_back(nullptr);
}
