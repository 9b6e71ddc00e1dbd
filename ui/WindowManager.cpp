#include "ui/WindowManager.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(LUMAVO_HAVE_XCB) && QT_CONFIG(xcb)
#include <cstdlib>
#include <string>
#include <xcb/xcb.h>

namespace lumavo {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

bool HasWindowManager(QWidget* window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window)
        return true;
    xcb_query_tree_reply_t* tree
        = xcb_query_tree_reply(connection, xcb_query_tree(connection, xcb_window_t(window->winId())), nullptr);
    if (!tree)
        return true;
    const xcb_window_t root = tree->root;
    std::free(tree);

    // A window manager owns the selection WM_S<screen> (the older rule) or
    // names its check window on the root (the newer one); either will do.
    int screen = 0;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it), ++screen) {
        if (it.data->root == root)
            break;
    }
    bool found = false;
    if (const xcb_atom_t selection = Atom(connection, "WM_S" + std::to_string(screen)); selection != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* owner
            = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
        found = owner && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
    }
    if (!found) {
        if (const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK"); check != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* property = xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
            found = property && xcb_get_property_value_length(property) >= 4;
            std::free(property);
        }
    }
    return found;
}

} // namespace lumavo

#else

namespace lumavo {

bool HasWindowManager(QWidget*)
{
    return true;
}

} // namespace lumavo

#endif
