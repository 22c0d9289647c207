"""The test picture a browser test writes into the shared frame, and what a camera client must
see of it: four coloured corners that tell up from down, left from right and red from blue, and
a white block that moves along the middle band every time the picture is written.

Run as a program, it writes the picture into the shared frame named by its argument ten times a
second until stopped."""

import os
import sys
import time

WIDTH, HEIGHT = 640, 480
# Colours as seen (red, green, blue), with the points where a client probes them.
CORNERS = {
    "topLeft": ((160, 80), (255, 0, 0)),
    "topRight": ((480, 80), (0, 255, 0)),
    "bottomLeft": ((160, 400), (0, 0, 255)),
    "bottomRight": ((480, 400), (255, 255, 0)),
}
BAND = (160, 320)  # rows of the moving block
BLOCK = 80  # its width
STEP = 16  # how far it moves between two pictures


def _pixel(rgb):
    return bytes((rgb[2], rgb[1], rgb[0]))


def frame(step):
    """The shared frame's bytes of picture `step`: BGR, bottom row first."""
    half = WIDTH // 2
    top = _pixel(CORNERS["topLeft"][1]) * half + _pixel(CORNERS["topRight"][1]) * half
    bottom = _pixel(CORNERS["bottomLeft"][1]) * half + _pixel(CORNERS["bottomRight"][1]) * half
    x = step * STEP % (WIDTH - BLOCK)
    grey = _pixel((64, 64, 64))
    band = grey * x + _pixel((255, 255, 255)) * BLOCK + grey * (WIDTH - BLOCK - x)
    rows = [top] * BAND[0] + [band] * (BAND[1] - BAND[0]) + [bottom] * (HEIGHT - BAND[1])
    return b"".join(reversed(rows))


def write_forever(name):
    pictures = [frame(step) for step in range((WIDTH - BLOCK) // STEP)]
    fd = os.open("/dev/shm" + name, os.O_RDWR | os.O_CREAT, 0o600)
    step = 0
    while True:
        os.pwrite(fd, pictures[step % len(pictures)], 0)
        step += 1
        time.sleep(0.1)


if __name__ == "__main__":
    write_forever(sys.argv[1])
