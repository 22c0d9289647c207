#include <gtest/gtest.h>
#include <poll.h>

#include <xcb/xcb.h>

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <thread>

#include "X11KeyGrab.h"

namespace {

// An X server of the test's own (Xvfb picks a free display and names it on its output).
class XServer {
public:
    XServer() {
        server_.start("Xvfb",
                      {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        if (server_.waitForStarted(5000) && server_.waitForReadyRead(10000)) {
            display_ = ":" + server_.readLine().trimmed().toStdString();
        }
    }
    ~XServer() {
        server_.kill();
        server_.waitForFinished(5000);
    }
    const std::string& Display() const { return display_; }

    // Presses and releases the keys through the server's test extension.
    void Type(const QStringList& keys) const { Run(QStringList{"key", "--delay", "20"} + keys); }
    void Run(const QStringList& arguments) const {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(display_));
        xdotool.setProcessEnvironment(env);
        xdotool.start("xdotool", arguments);
        xdotool.waitForFinished(10000);
    }

private:
    QProcess server_;
    std::string display_;
};

// Swaps the symbols of two key codes, as a keyboard layout switch moves symbols between keys.
void SwapKeys(const std::string& display, xcb_keycode_t a, xcb_keycode_t b) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    std::vector<xcb_keysym_t> rows[2];
    uint8_t perCode = 0;
    for (int i = 0; i < 2; ++i) {
        xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, i == 0 ? a : b, 1), nullptr);
        ASSERT_NE(mapping, nullptr);
        perCode = mapping->keysyms_per_keycode;
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        rows[i].assign(symbols, symbols + perCode);
        std::free(mapping);
    }
    xcb_change_keyboard_mapping(connection, 1, a, perCode, rows[1].data());
    xcb_change_keyboard_mapping(connection, 1, b, perCode, rows[0].data());
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

// The presses that arrive within `ms` milliseconds.
std::vector<int> PressesWithin(zavreo::X11KeyGrab& grab, int ms) {
    std::vector<int> all;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        pollfd readable{grab.FileDescriptor(), POLLIN, 0};
        poll(&readable, 1, 50);
        for (const int number : grab.TakePresses()) {
            all.push_back(number);
        }
    }
    return all;
}

}  // namespace

TEST(X11KeyGrab, TakesTheNineKeysFromEveryWindowAndGivesThemBack) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    zavreo::X11KeyGrab grab(server.Display().c_str());
    ASSERT_TRUE(grab.Connected());
    EXPECT_TRUE(grab.Grab().empty());

    // Both keyboard parts, Caps Lock on as well; other keys and Shift+digit are not taken.
    server.Type({"1", "KP_Add", "a", "shift+3", "Num_Lock", "KP_7", "Caps_Lock", "9"});
    EXPECT_EQ(PressesWithin(grab, 1500), (std::vector<int>{1, 7, 9}));

    // A key held down counts once, however long the keyboard repeats it.
    server.Run({"keydown", "4"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    server.Run({"keyup", "4"});
    server.Type({"4"});
    EXPECT_EQ(PressesWithin(grab, 1500), (std::vector<int>{4, 4}));

    grab.Release();
    server.Type({"2"});
    EXPECT_TRUE(PressesWithin(grab, 800).empty());
}

TEST(X11KeyGrab, KeysAnotherClientHoldsAreReportedAndLeftToIt) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    zavreo::X11KeyGrab other(server.Display().c_str());
    ASSERT_TRUE(other.Grab().empty());
    zavreo::X11KeyGrab grab(server.Display().c_str());
    EXPECT_EQ(grab.Grab(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    server.Type({"5"});
    EXPECT_EQ(PressesWithin(other, 1000), (std::vector<int>{5}));
    EXPECT_TRUE(PressesWithin(grab, 300).empty());

    // Gone with its connection, the other client's keys are free for the taking.
    other.Release();
    EXPECT_TRUE(grab.Grab().empty());
    server.Type({"5"});
    EXPECT_EQ(PressesWithin(grab, 1000), (std::vector<int>{5}));
}

// After a layout switch the keys are taken by their new codes: the digit goes where its symbol is.
TEST(X11KeyGrab, FollowsTheKeymapWhenItChanges) {
    XServer server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    zavreo::X11KeyGrab grab(server.Display().c_str());
    ASSERT_TRUE(grab.Grab().empty());
    // Key codes 10 and 18 carry 1 and 9 on the server's default keyboard.
    SwapKeys(server.Display(), 10, 18);
    PressesWithin(grab, 500);
    server.Type({"9", "1"});
    EXPECT_EQ(PressesWithin(grab, 1500), (std::vector<int>{9, 1}));
}
