#include "PlatformChoice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace zavreo {

namespace {

constexpr char kNeedsDesktop[] = "Zavreo直播助手需要在图形桌面会话中启动。\n";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool XAnswers(const std::string& display) {
    if (display.empty()) {
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// The compositor's socket: WAYLAND_DISPLAY itself when it is a path, else in the runtime folder.
bool WaylandAnswers(const std::string& display) {
    if (display.empty()) {
        return false;
    }
    const std::string path =
        display[0] == '/' ? display : Environment("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool answers =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return answers;
}

}  // namespace

PlatformDecision ChoosePlatform(const DisplayOffer& offer) {
    PlatformDecision decision;
    if (!offer.userPlatform.empty()) {
        return decision;
    }
    if (offer.xAnswers) {
        decision.platform = "xcb";
        return decision;
    }
    if (offer.waylandAnswers && offer.waylandPlugin) {
        decision.platform = "wayland";
        return decision;
    }
    if (offer.waylandAnswers) {
        decision.missing = "zavreo：只有 Wayland 显示（WAYLAND_DISPLAY=" + offer.waylandDisplay +
                           "），缺少 Qt 的 Wayland 支持：请安装 qt6-wayland，或在 X 会话中启动。\n";
        return decision;
    }
    if (offer.xDisplay.empty() && offer.waylandDisplay.empty()) {
        decision.missing = "zavreo：没有显示（DISPLAY 和 WAYLAND_DISPLAY 都没有设置）。" +
                           std::string(kNeedsDesktop);
        return decision;
    }
    std::string named;
    if (!offer.xDisplay.empty()) {
        named = "DISPLAY=" + offer.xDisplay;
    }
    if (!offer.waylandDisplay.empty()) {
        named +=
            (named.empty() ? "" : "、") + std::string("WAYLAND_DISPLAY=") + offer.waylandDisplay;
    }
    decision.missing = "zavreo：无法连接显示（" + named + "）。" + kNeedsDesktop;
    return decision;
}

DisplayOffer ProbeDisplays(bool waylandPlugin) {
    DisplayOffer offer;
    offer.userPlatform = Environment("QT_QPA_PLATFORM");
    offer.xDisplay = Environment("DISPLAY");
    offer.waylandDisplay = Environment("WAYLAND_DISPLAY");
    offer.waylandPlugin = waylandPlugin;
    // A platform the user named is not second-guessed: no display is knocked at.
    if (offer.userPlatform.empty()) {
        offer.xAnswers = XAnswers(offer.xDisplay);
        offer.waylandAnswers = WaylandAnswers(offer.waylandDisplay);
    }
    return offer;
}

}  // namespace zavreo
