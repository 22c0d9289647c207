#include "Unsharp.h"

#include <algorithm>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace flashx {
namespace {

// Sums stay within 32 bits up to this many halvings of the blur (255 << 24 < 2^32).
constexpr int kMaxScaleBits = 24;
constexpr int kMaxMask = 25;

// Row `size - 1` of Pascal's triangle: a binomial blur of `size` taps.
void BinomialWeights(int size, uint32_t* weights) {
    weights[0] = 1;
    for (int n = 1; n < size; ++n) {
        weights[n] = 1;
        for (int k = n - 1; k > 0; --k) {
            weights[k] += weights[k - 1];
        }
    }
}

// out[x] = sum over k of weights[k] * rows[k][x].
__attribute__((target_clones("avx2", "default"))) void WeightedRows(const uint8_t* const* rows,
                                                                    const uint32_t* weights,
                                                                    int taps,
                                                                    uint32_t* __restrict out,
                                                                    int width) {
    for (int x = 0; x < width; ++x) {
        out[x] = weights[0] * rows[0][x];
    }
    for (int k = 1; k < taps; ++k) {
        const uint8_t* __restrict row = rows[k];
        const uint32_t weight = weights[k];
        for (int x = 0; x < width; ++x) {
            out[x] += weight * row[x];
        }
    }
}

// The horizontal half of the blur over `sums` (padded by taps / 2 on each side), then the
// picture pushed away from the blur by `amount`.
__attribute__((target_clones("avx2", "default"))) void SharpenRow(
    const uint32_t* sums, const uint32_t* weights, int taps, const uint8_t* __restrict in,
    uint8_t* __restrict out, uint32_t* __restrict blur, int width, int scaleBits, int amount) {
    for (int x = 0; x < width; ++x) {
        blur[x] = weights[0] * sums[x];
    }
    for (int k = 1; k < taps; ++k) {
        const uint32_t* __restrict shifted = sums + k;
        const uint32_t weight = weights[k];
        for (int x = 0; x < width; ++x) {
            blur[x] += weight * shifted[x];
        }
    }
    const uint32_t half = 1U << (scaleBits - 1);
    for (int x = 0; x < width; ++x) {
        const int32_t pixel = in[x];
        const auto smooth = static_cast<int32_t>((blur[x] + half) >> scaleBits);
        const int32_t value = pixel + (((pixel - smooth) * amount) >> 16);
        out[x] = static_cast<uint8_t>(std::clamp(value, 0, 255));
    }
}

}  // namespace

std::optional<UnsharpSettings> ParseUnsharpChain(const std::string& chain) {
    const size_t equals = chain.find('=');
    const std::string name = chain.substr(0, chain.find_first_of("=@"));
    const std::string args = equals == std::string::npos ? "" : chain.substr(equals + 1);
    if (name != "unsharp" || chain.find_first_of(",;[]'\\") != std::string::npos) {
        return std::nullopt;
    }
    AVFilterGraph* graph = avfilter_graph_alloc();
    AVFilterContext* filter = nullptr;
    std::optional<UnsharpSettings> settings;
    if (graph != nullptr &&
        avfilter_graph_create_filter(&filter, avfilter_get_by_name("unsharp"), "unsharp",
                                     args.c_str(), nullptr, graph) >= 0) {
        auto read = [filter](const char* prefix, UnsharpPlane* plane) {
            int64_t width = 0, height = 0;
            double amount = 0;
            const std::string p(prefix);
            av_opt_get_int(filter, (p + "_msize_x").c_str(), AV_OPT_SEARCH_CHILDREN, &width);
            av_opt_get_int(filter, (p + "_msize_y").c_str(), AV_OPT_SEARCH_CHILDREN, &height);
            av_opt_get_double(filter, (p + "_amount").c_str(), AV_OPT_SEARCH_CHILDREN, &amount);
            plane->width = static_cast<int>(width);
            plane->height = static_cast<int>(height);
            // As libavfilter converts its float option.
            plane->amount = static_cast<int>(static_cast<float>(amount) * 65536.0);
            return width % 2 == 1 && height % 2 == 1 && width <= kMaxMask && height <= kMaxMask &&
                   width + height - 2 <= kMaxScaleBits;
        };
        UnsharpSettings parsed;
        if (read("luma", &parsed.luma) && read("chroma", &parsed.chroma)) {
            settings = parsed;
        }
    }
    avfilter_graph_free(&graph);
    return settings;
}

void UnsharpFilter::Apply(const AVFrame* in, AVFrame* out) {
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        Plane(in->data[plane], in->linesize[plane], out->data[plane], out->linesize[plane],
              (in->width + shift) >> shift, (in->height + shift) >> shift,
              plane == 0 ? settings_.luma : settings_.chroma);
    }
}

void UnsharpFilter::Plane(const uint8_t* in, int inStride, uint8_t* out, int outStride, int width,
                          int height, const UnsharpPlane& plane) {
    if (plane.amount == 0) {
        av_image_copy_plane(out, outStride, in, inStride, width, height);
        return;
    }
    uint32_t weightsX[kMaxMask], weightsY[kMaxMask];
    BinomialWeights(plane.width, weightsX);
    BinomialWeights(plane.height, weightsY);
    const int stepsX = plane.width / 2, stepsY = plane.height / 2;
    const int scaleBits = plane.width + plane.height - 2;
    columnSums_.resize(static_cast<size_t>(width + 2 * stepsX) * 2);
    uint32_t* sums = columnSums_.data();
    uint32_t* blur = sums + width + 2 * stepsX;
    const uint8_t* rows[kMaxMask];
    for (int y = 0; y < height; ++y) {
        for (int k = 0; k < plane.height; ++k) {
            rows[k] =
                in + static_cast<ptrdiff_t>(std::clamp(y + k - stepsY, 0, height - 1)) * inStride;
        }
        WeightedRows(rows, weightsY, plane.height, sums + stepsX, width);
        std::fill(sums, sums + stepsX, sums[stepsX]);
        std::fill(sums + stepsX + width, sums + 2 * stepsX + width, sums[stepsX + width - 1]);
        SharpenRow(sums, weightsX, plane.width, in + static_cast<ptrdiff_t>(y) * inStride,
                   out + static_cast<ptrdiff_t>(y) * outStride, blur, width, scaleBits,
                   plane.amount);
    }
}

}  // namespace flashx
