#pragma once
// Camera frames that arrive as Motion JPEG, decoded straight into the frame callback's layout:
// libjpeg-turbo converts the colours and writes the rows bottom first in the same pass, so each
// frame is converted once and never copied or flipped after. Chroma is upsampled by the fast
// merged path and the fast integer transform is used: a video frame is seen for a thirtieth of a
// second, and they halve the cost. Frames missing their Huffman tables (as many cameras send
// them) get the standard ones.
//
// Threads: one streaming thread at a time. Allocates only when the picture's size changes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zavreo {

class MjpegDecoder {
public:
    MjpegDecoder();
    ~MjpegDecoder();
    MjpegDecoder(const MjpegDecoder&) = delete;
    MjpegDecoder& operator=(const MjpegDecoder&) = delete;

    // Decodes one frame into `bgr` (resized to width x height x 3, bottom row first); false, with
    // `bgr` unchanged in size, for data that is not a whole picture of at most 4096 x 4096.
    // A frame with damaged data decodes as far as it goes.
    bool Decode(const uint8_t* data, size_t size, std::vector<uint8_t>* bgr, int* width,
                int* height);

private:
    void* handle_;
};

}  // namespace zavreo
