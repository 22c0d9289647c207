#include "ToolWindow.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
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

// Owned by the window it watches.
class SkipTaskbarOnShow : public QObject {
public:
    SkipTaskbarOnShow(QWidget& window, xcb_connection_t* connection)
        : QObject(&window), connection_(connection) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Sent while the native window exists but is not mapped yet.
        if (event->type() == QEvent::Show) {
            auto* window = static_cast<QWidget*>(watched);
            AddSkipHints(connection_, static_cast<xcb_window_t>(window->winId()));
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
