#!/usr/bin/env python3
"""Clicks on a wlroots compositor (sway) through its virtual pointer protocol
(zwlr_virtual_pointer_v1), speaking the Wayland wire format directly.

Usage: wayland_pointer.py WIDTH HEIGHT click X Y [click X Y ...] | move X Y
WIDTH x HEIGHT is the layout's size; X, Y are layout pixels. $WAYLAND_DISPLAY and
$XDG_RUNTIME_DIR name the compositor's socket."""
import os
import socket
import struct
import sys
import time

BTN_LEFT = 0x110


class Connection:
    def __init__(self):
        name = os.environ.get("WAYLAND_DISPLAY", "wayland-0")
        path = name if name.startswith("/") else os.path.join(os.environ["XDG_RUNTIME_DIR"], name)
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id = 2  # 1 is wl_display
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, object_id, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", object_id, (8 + len(payload)) << 16 | opcode) + payload)

    def events(self):
        """Reads what has arrived until the socket stays quiet for a moment."""
        self.sock.settimeout(0.3)
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                self.buffer += chunk
        except socket.timeout:
            pass
        while len(self.buffer) >= 8:
            object_id, word = struct.unpack("<II", self.buffer[:8])
            size = word >> 16
            if len(self.buffer) < size:
                break
            yield object_id, word & 0xFFFF, self.buffer[8:size]
            self.buffer = self.buffer[size:]


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def read_string(payload, at):
    (length,) = struct.unpack_from("<I", payload, at)
    text = payload[at + 4:at + 4 + length - 1].decode()
    return text, at + 4 + length + (-length % 4)


def main():
    width, height = int(sys.argv[1]), int(sys.argv[2])
    actions = sys.argv[3:]
    wl = Connection()
    registry = wl.new_id()
    wl.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
    globals_ = {}
    for object_id, opcode, payload in wl.events():
        if object_id == registry and opcode == 0:  # wl_registry.global
            (name,) = struct.unpack_from("<I", payload, 0)
            interface, at = read_string(payload, 4)
            (version,) = struct.unpack_from("<I", payload, at)
            globals_[interface] = (name, version)
    if "zwlr_virtual_pointer_manager_v1" not in globals_:
        sys.exit("the compositor offers no virtual pointer")
    name, _ = globals_["zwlr_virtual_pointer_manager_v1"]
    manager = wl.new_id()
    wl.send(registry, 0, struct.pack("<I", name) + string("zwlr_virtual_pointer_manager_v1") +
            struct.pack("<II", 1, manager))  # wl_registry.bind
    pointer = wl.new_id()
    wl.send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer(no seat)
    # The compositor adds the device to the seat; clients get their pointer a moment later.
    time.sleep(0.3)

    def now():
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(x, y):
        wl.send(pointer, 1, struct.pack("<IIIII", now(), x, y, width, height))  # motion_absolute
        wl.send(pointer, 4)  # frame

    while actions:
        verb, x, y = actions[0], int(actions[1]), int(actions[2])
        actions = actions[3:]
        # Twice: a client that only now learns of the new pointer may miss the first motion.
        move(x, y)
        time.sleep(0.2)
        move(x, y)
        time.sleep(0.15)
        if verb == "click":
            for state in (1, 0):
                wl.send(pointer, 2, struct.pack("<III", now(), BTN_LEFT, state))  # button
                wl.send(pointer, 4)
                time.sleep(0.08)
    # A round trip, so everything sent is handled before the pointer goes.
    callback = wl.new_id()
    wl.send(1, 0, struct.pack("<I", callback))  # wl_display.sync
    for object_id, opcode, payload in wl.events():
        if object_id == 1 and opcode == 0:
            sys.exit("protocol error: %r" % payload)
    wl.send(pointer, 8)  # destroy


if __name__ == "__main__":
    main()
