#pragma once
// The pad's nine keys, taken from the whole X display: a passive grab on the root window of each
// of the keys 1 to 9 of the main keyboard and of the numeric pad, with every state of Caps Lock
// and Num Lock, so that a press reaches this program whichever window has the focus. A key that
// another client already holds is left to it and reported. Has a connection of its own; closing
// it (Release, the destructor) gives every key back. One thread at a time.

#include <xcb/xcb.h>

#include <map>
#include <vector>

namespace zavreo {

class X11KeyGrab {
public:
    // Connects to the display named by DISPLAY (or `display`).
    explicit X11KeyGrab(const char* display = nullptr);
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab&) = delete;
    X11KeyGrab& operator=(const X11KeyGrab&) = delete;

    bool Connected() const { return connection_ != nullptr; }

    // Takes the keys; returns the effect numbers, ascending, whose key (or one of its states)
    // another client holds. Grabbing again first gives back what was taken.
    std::vector<int> Grab();
    void Release();
    bool Grabbed() const { return grabbed_; }

    // Readable when presses may have arrived.
    int FileDescriptor() const;
    // The effect numbers pressed since the last call, in order; a key held down counts once,
    // however long the keyboard repeats it. Takes the keys again, by their new codes, after the
    // keymap changed.
    std::vector<int> TakePresses();

private:
    struct Key {
        xcb_keycode_t code;
        bool keypad;
    };
    // The keys of each effect number in the keyboard mapping.
    std::map<int, std::vector<Key>> FindKeys(const xcb_get_keyboard_mapping_reply_t& mapping) const;
    // The modifier Num Lock sets, 0 when no key carries it.
    uint16_t NumLockMask(const xcb_get_keyboard_mapping_reply_t& mapping) const;

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    uint8_t xkbFirstEvent_ = 0;  // XKB's event code; 0 without XKB
    bool grabbed_ = false;
    // Key codes of the grabbed keys and their effect numbers; those held down now.
    std::map<xcb_keycode_t, int> numbers_;
    std::vector<xcb_keycode_t> down_;
};

}  // namespace zavreo
