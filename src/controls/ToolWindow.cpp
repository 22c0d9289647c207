#include "ToolWindow.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Adds the two hints to the window's state, keeping what Qt or the window put there.
void AddSkipHints(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t hints[] = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || hints[0] == XCB_ATOM_NONE || hints[1] == XCB_ATOM_NONE) {
        return;
    }
    std::vector<xcb_atom_t> atoms;
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024),
            nullptr),
        &std::free);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* held = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        atoms.assign(held, held + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const xcb_atom_t hint : hints) {
        if (std::find(atoms.begin(), atoms.end(), hint) == atoms.end()) {
            atoms.push_back(hint);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

// Asks the window manager to add the two hints to a mapped window's state. A window manager
// still finishing the window's last unmapping may drop the state written before the mapping; this
// request comes after the mapping and is handled once the window is managed.
void RequestSkipHints(xcb_connection_t* connection, xcb_window_t window) {
    const ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    if (!geometry) {
        return;
    }
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = Atom(connection, "_NET_WM_STATE");
    constexpr uint32_t kAdd = 1;
    constexpr uint32_t kFromApplication = 1;
    request.data.data32[0] = kAdd;
    request.data.data32[1] = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    request.data.data32[2] = Atom(connection, "_NET_WM_STATE_SKIP_PAGER");
    request.data.data32[3] = kFromApplication;
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection);
}

// Owned by the window it watches.
class SkipTaskbarOnShow : public QObject {
public:
    SkipTaskbarOnShow(QWidget& window, xcb_connection_t* connection)
        : QObject(&window), connection_(connection) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Show is sent while the native window exists but is not mapped yet. Qt may still make a
        // new native window as it maps (after a change of the stay-on-top flag, for one), so the
        // request after the mapping goes to the window's id as it is then.
        if (event->type() == QEvent::Show) {
            auto* window = static_cast<QWidget*>(watched);
            AddSkipHints(connection_, static_cast<xcb_window_t>(window->winId()));
            QMetaObject::invokeMethod(
                this,
                [this, window] {
                    if (const QWindow* handle = window->windowHandle();
                        handle != nullptr && window->isVisible()) {
                        RequestSkipHints(connection_, static_cast<xcb_window_t>(handle->winId()));
                    }
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    xcb_connection_t* connection_;
};

}  // namespace

namespace ToolWindow {

void KeepOutOfTaskbar(QWidget& window) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    new SkipTaskbarOnShow(window, x11->connection());
}

}  // namespace ToolWindow
