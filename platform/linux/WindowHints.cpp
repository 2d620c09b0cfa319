#include "platform/WindowHints.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return result;
}

} // namespace

bool WindowHints::keepOffTaskbar(const QString& qpaPlatform, quintptr window)
{
    if (qpaPlatform != QLatin1String("xcb") || window == 0)
        return false;
    // A connection of its own: the property is the server's, and the atoms' replies below make sure the change
    // is done before Qt's connection maps the window.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool done = false;
    if (!xcb_connection_has_error(connection)) {
        const std::array<xcb_atom_t, 2> states{atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                               atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
        const xcb_atom_t property = atom(connection, "_NET_WM_STATE");
        if (property != XCB_ATOM_NONE && states[0] != XCB_ATOM_NONE && states[1] != XCB_ATOM_NONE) {
            const xcb_void_cookie_t change =
                xcb_change_property_checked(connection, XCB_PROP_MODE_APPEND, xcb_window_t(window), property,
                                            XCB_ATOM_ATOM, 32, uint32_t(states.size()), states.data());
            xcb_generic_error_t* error = xcb_request_check(connection, change); // waits until it is done
            done = error == nullptr;
            std::free(error);
        }
    }
    xcb_disconnect(connection);
    return done;
}
