#include "X11KeyGrab.h"

// The XKB header names a member `explicit`, which C++ reserves.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace zavreo {

namespace {

constexpr xcb_keysym_t kDigitOne = 0x31;     // XK_1
constexpr xcb_keysym_t kKeypadOne = 0xffb1;  // XK_KP_1
constexpr xcb_keysym_t kNumLock = 0xff7f;    // XK_Num_Lock
constexpr uint8_t kBadAccess = 10;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

}  // namespace

X11KeyGrab::X11KeyGrab(const char* display) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Without this a held key arrives as release and press again, over and over; with it, as
    // presses only, which TakePresses counts once.
    ReplyPtr<xcb_xkb_use_extension_reply_t> xkb(
        xcb_xkb_use_extension_reply(connection_, xcb_xkb_use_extension(connection_, 1, 0), nullptr),
        &std::free);
    if (xkb != nullptr && xkb->supported) {
        // A client using XKB is told of a new keymap (another layout, XWayland taking a
        // keyboard's) by XKB's events instead of the core MappingNotify.
        xkbFirstEvent_ = xcb_get_extension_data(connection_, &xcb_xkb_id)->first_event;
        constexpr uint16_t kKeymapEvents =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr uint16_t kAllMapParts = 0xff;
        xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, kKeymapEvents, 0, kKeymapEvents,
                              kAllMapParts, kAllMapParts, nullptr);
        std::free(xcb_xkb_per_client_flags_reply(
            connection_,
            xcb_xkb_per_client_flags(connection_, XCB_XKB_ID_USE_CORE_KBD,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
    }
}

X11KeyGrab::~X11KeyGrab() {
    if (connection_ != nullptr) {
        xcb_disconnect(connection_);
    }
}

int X11KeyGrab::FileDescriptor() const {
    return connection_ != nullptr ? xcb_get_file_descriptor(connection_) : -1;
}

std::map<int, std::vector<X11KeyGrab::Key>> X11KeyGrab::FindKeys(
    const xcb_get_keyboard_mapping_reply_t& mapping) const {
    std::map<int, std::vector<Key>> keys;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(&mapping);
    const int perCode = mapping.keysyms_per_keycode;
    for (int i = 0; i < count; ++i) {
        // The first two columns: the key without and with Shift (the pad's digits need Num Lock,
        // which reads the second).
        for (int column = 0; column < std::min(perCode, 2); ++column) {
            const xcb_keysym_t symbol = symbols[i * perCode + column];
            const auto code = static_cast<xcb_keycode_t>(setup->min_keycode + i);
            if (column == 0 && symbol >= kDigitOne && symbol < kDigitOne + 9) {
                keys[static_cast<int>(symbol - kDigitOne) + 1].push_back({code, false});
            } else if (symbol >= kKeypadOne && symbol < kKeypadOne + 9) {
                keys[static_cast<int>(symbol - kKeypadOne) + 1].push_back({code, true});
                break;
            }
        }
    }
    return keys;
}

uint16_t X11KeyGrab::NumLockMask(const xcb_get_keyboard_mapping_reply_t& mapping) const {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    ReplyPtr<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr),
        &std::free);
    if (modifiers == nullptr) {
        return 0;
    }
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(&mapping);
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int perModifier = modifiers->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int j = 0; j < perModifier; ++j) {
            const int code = codes[modifier * perModifier + j] - setup->min_keycode;
            if (code < 0 || code >= count) {
                continue;
            }
            for (int column = 0; column < mapping.keysyms_per_keycode; ++column) {
                if (symbols[code * mapping.keysyms_per_keycode + column] == kNumLock) {
                    return static_cast<uint16_t>(1u << modifier);
                }
            }
        }
    }
    return 0;
}

std::vector<int> X11KeyGrab::Grab() {
    Release();
    std::vector<int> heldElsewhere;
    if (connection_ == nullptr) {
        return heldElsewhere;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    ReplyPtr<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(
            connection_,
            xcb_get_keyboard_mapping(connection_, setup->min_keycode,
                                     setup->max_keycode - setup->min_keycode + 1),
            nullptr),
        &std::free);
    if (mapping == nullptr) {
        return heldElsewhere;
    }
    const uint16_t numLock = NumLockMask(*mapping);
    for (const auto& [number, keys] : FindKeys(*mapping)) {
        bool refused = false;
        for (const Key& key : keys) {
            // The pad's digits only with Num Lock on; the main keyboard's in either state.
            std::vector<uint16_t> states;
            if (key.keypad && numLock != 0) {
                states = {numLock, static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK)};
            } else {
                states = {0, XCB_MOD_MASK_LOCK};
                if (numLock != 0) {
                    states.push_back(numLock);
                    states.push_back(static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK));
                }
            }
            for (const uint16_t state : states) {
                std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
                    xcb_request_check(connection_, xcb_grab_key_checked(
                                                       connection_, 1, root_, state, key.code,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
                    &std::free);
                if (error == nullptr) {
                    numbers_[key.code] = number;
                } else if (error->error_code == kBadAccess) {
                    refused = true;
                }
            }
        }
        if (refused) {
            heldElsewhere.push_back(number);
        }
    }
    grabbed_ = true;
    return heldElsewhere;
}

void X11KeyGrab::Release() {
    if (connection_ == nullptr || !grabbed_) {
        return;
    }
    for (const auto& [code, number] : numbers_) {
        xcb_ungrab_key(connection_, code, root_, XCB_MOD_MASK_ANY);
    }
    xcb_flush(connection_);
    numbers_.clear();
    down_.clear();
    grabbed_ = false;
}

std::vector<int> X11KeyGrab::TakePresses() {
    std::vector<int> presses;
    if (connection_ == nullptr) {
        return presses;
    }
    bool remap = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const uint8_t type = event->response_type & 0x7f;
        if (xkbFirstEvent_ != 0 && type == xkbFirstEvent_) {
            remap = true;
        }
        switch (type) {
            case XCB_KEY_PRESS: {
                const xcb_keycode_t code = reinterpret_cast<xcb_key_press_event_t*>(event)->detail;
                const auto found = numbers_.find(code);
                if (found != numbers_.end() &&
                    std::find(down_.begin(), down_.end(), code) == down_.end()) {
                    down_.push_back(code);
                    presses.push_back(found->second);
                }
                break;
            }
            case XCB_KEY_RELEASE: {
                const xcb_keycode_t code =
                    reinterpret_cast<xcb_key_release_event_t*>(event)->detail;
                down_.erase(std::remove(down_.begin(), down_.end(), code), down_.end());
                break;
            }
            case XCB_MAPPING_NOTIFY:
                remap = true;
                break;
            default:
                break;
        }
        std::free(event);
    }
    if (remap && grabbed_) {
        Grab();
    }
    return presses;
}

}  // namespace zavreo
