#include "CompositorWatch.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
constexpr char kSelection[] = "_NET_WM_CM_S0";
constexpr int kPollMs = 1000;
}  // namespace

CompositorWatch::CompositorWatch(QObject* parent) : QObject(parent) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    connection_ = x11->connection();
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection_,
                              xcb_intern_atom(connection_, 0, std::strlen(kSelection), kSelection),
                              nullptr),
        &std::free);
    if (!atom) {
        connection_ = nullptr;
        return;
    }
    selection_ = atom->atom;
    composited_ = Ask();
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (const bool now = Ask(); now != composited_) {
            composited_ = now;
            emit Changed(now);
        }
    });
    poll_.start();
}

bool CompositorWatch::Ask() const {
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}
