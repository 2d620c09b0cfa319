#pragma once

#include <QString>
#include <QtGlobal>

namespace WindowHints {

/// Asks that the top-level window @p window (its native id; created, not yet shown) be left off the task bar and
/// the pager, where the window system says so by a window state: X11's _NET_WM_STATE_SKIP_TASKBAR and
/// _SKIP_PAGER, which the window manager reads when it maps the window (Qt adds its own states to them). Qt's
/// tool windows are only utility windows there, which some task bars list. @p qpaPlatform is Qt's platform
/// plugin ("xcb", "wayland", "windows", ...). False where nothing needs or can be said (Windows keeps tool
/// windows off its task bar by itself).
bool keepOffTaskbar(const QString& qpaPlatform, quintptr window);

} // namespace WindowHints
