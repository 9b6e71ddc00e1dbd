#include "ui/WindowManager.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(LUMAVO_HAVE_XCB)
#if QT_CONFIG(xcb)
#define LUMAVO_ASK_X_SERVER 1
#endif
#endif

#if defined(LUMAVO_ASK_X_SERVER)
#include <cstdlib>
#include <xcb/xcb.h>

namespace lumavo {

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
    // Managing windows is what makes a window manager: it is the one client
    // that redirects the root window's map and configure requests to itself.
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr);
    if (!attributes)
        return true;
    const bool managed = attributes->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    std::free(attributes);
    return managed;
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
