#pragma once
// The "unsharp" video filter for YUV 4:2:0 pictures, the same bytes as libavfilter's but
// vectorised: per plane a separable binomial blur of the mask's size (edges repeated), and the
// picture moved away from (amount > 0) or towards (amount < 0) it by the amount in 16.16 fixed
// point.
//
// Threads: one recording thread uses a filter.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace flashx {

struct UnsharpPlane {
    int width = 5, height = 5;  // odd mask sizes
    int amount = 0;             // 16.16 fixed point
};

struct UnsharpSettings {
    UnsharpPlane luma, chroma;
};

// The settings of a filter chain that is one "unsharp" element (positional or named options,
// read by libavfilter itself); nothing for any other chain, or a mask too large for 32-bit sums.
std::optional<UnsharpSettings> ParseUnsharpChain(const std::string& chain);

class UnsharpFilter {
public:
    explicit UnsharpFilter(const UnsharpSettings& settings) : settings_(settings) {}

    // Filters the YUV 4:2:0 picture `in` into `out` (allocated, same size and format).
    void Apply(const AVFrame* in, AVFrame* out);

private:
    void Plane(const uint8_t* in, int inStride, uint8_t* out, int outStride, int width, int height,
               const UnsharpPlane& plane);

    UnsharpSettings settings_;
    std::vector<uint32_t> columnSums_;  // one row of vertical sums, edges repeated
};

}  // namespace flashx
