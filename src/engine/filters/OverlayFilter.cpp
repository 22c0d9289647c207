#include "OverlayFilter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "ImageCodec.h"

namespace EM {
namespace {

constexpr size_t kMaxPictures = 1000;
// Over ten seconds of full-frame animation at 10 frames a second. A longer list is cut short
// rather than holding the chain's lock for seconds while it takes gigabytes.
constexpr size_t kMaxStoredBytes = 160u << 20;
// A few times a frame; a small file can claim a huge picture.
constexpr size_t kMaxPicturePixels = size_t{2048} * 2048;
// Decoding is what costs: two hundred large pictures took forty seconds under the chain's lock,
// even when little of each was kept. Pictures beyond this many decoded pixels are refused.
constexpr size_t kMaxDecodedPixelsPerList = size_t{32} << 20;
// Scaled for a large frame, the pictures take more room than as designed; past this the rest are
// left out (empty) rather than taking gigabytes.
constexpr size_t kMaxScaledBytes = 4 * kMaxStoredBytes;

// Source position of each of `outSize` samples over `size` as an index and the weight of the next
// sample in 1/256, edge-clamped: bilinear sampling with pixel centres aligned.
void SampleSteps(int size, int outSize, std::vector<int>& index, std::vector<int>& weight) {
    index.resize(outSize);
    weight.resize(outSize);
    const double step = static_cast<double>(size) / outSize;
    for (int d = 0; d < outSize; ++d) {
        const double pos = std::clamp((d + 0.5) * step - 0.5, 0.0, size - 1.0);
        index[d] = std::min(static_cast<int>(pos), size - 1);
        weight[d] = index[d] + 1 < size ? static_cast<int>(std::lround((pos - index[d]) * 256)) : 0;
    }
}

// One frame byte under a premultiplied picture byte: s + round(d * keep / 255), with the
// rounding of (d * keep * 257 + 32768) >> 16. The sum never exceeds 255.
inline uint8_t Over(uint8_t s, uint8_t d, int keep) {
    return static_cast<uint8_t>(s + ((d * keep * 257 + 32768) >> 16));
}

// Four pixels: 16 picture bytes (B, G, R, keep each) over the 12 frame bytes at `d`, in 16-bit
// lanes. (p * 257 + 32768) >> 16 is the high half of p * 257 plus the top bit of its low half.
inline void OverFour(const uint8_t* s, uint8_t* d) {
    const __m128i picture = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i colour = _mm_shuffle_epi8(
        picture, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m128i keep = _mm_shuffle_epi8(
        picture, _mm_setr_epi8(3, 3, 3, 7, 7, 7, 11, 11, 11, 15, 15, 15, -1, -1, -1, -1));
    const __m128i frame = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(257);
    auto half = [&](__m128i f, __m128i k) {
        const __m128i product = _mm_mullo_epi16(f, k);
        return _mm_add_epi16(_mm_mulhi_epu16(product, factor),
                             _mm_srli_epi16(_mm_mullo_epi16(product, factor), 15));
    };
    const __m128i low = half(_mm_unpacklo_epi8(frame, zero), _mm_unpacklo_epi8(keep, zero));
    const __m128i high = half(_mm_unpackhi_epi8(frame, zero), _mm_unpackhi_epi8(keep, zero));
    const __m128i out = _mm_add_epi8(colour, _mm_packus_epi16(low, high));
    // Exactly the 12 bytes of the four pixels: the bytes after them may be the next run's.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), out);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(out, 8));
    std::memcpy(d + 8, &last, 4);
}

}  // namespace

void OverlayFilter::Prepare(int width, int height) {
    if (width == frameWidth_ && height == frameHeight_) {
        return;
    }
    frameWidth_ = width;
    frameHeight_ = height;
    ScaleAll();
}

void OverlayFilter::ScaleAll() {
    scaled_.clear();
    if (frameWidth_ == kDesignWidth && frameHeight_ == kDesignHeight) {
        scaled_.shrink_to_fit();
        return;
    }
    scaled_.reserve(pictures_.size());
    size_t storedBytes = 0;
    for (const Picture& picture : pictures_) {
        scaled_.push_back(storedBytes <= kMaxScaledBytes
                              ? Scaled(picture, frameWidth_, frameHeight_)
                              : Picture{});
        storedBytes += scaled_.back().pixels.size() + scaled_.back().runs.size() * sizeof(Run);
    }
}

OverlayFilter::Picture OverlayFilter::Scaled(const Picture& design, int frameWidth,
                                             int frameHeight) {
    const int w = design.width, h = design.height;
    Picture out;
    out.width = std::max(
        1, static_cast<int>(std::lround(static_cast<double>(w) * frameWidth / kDesignWidth)));
    out.height = std::max(
        1, static_cast<int>(std::lround(static_cast<double>(h) * frameHeight / kDesignHeight)));
    // The design's visible pixels laid out densely as premultiplied blue, green, red and alpha,
    // with the columns each row has content in.
    std::vector<uint8_t> dense(static_cast<size_t>(w) * h * 4, 0);
    std::vector<std::pair<int, int>> spans(h, {w, 0});
    const uint8_t* src = design.pixels.data();
    for (const Run& run : design.runs) {
        uint8_t* d = dense.data() + (static_cast<size_t>(run.row) * w + run.first) * 4;
        for (int i = 0; i < run.count; ++i, src += 4, d += 4) {
            d[0] = src[0], d[1] = src[1], d[2] = src[2], d[3] = static_cast<uint8_t>(255 - src[3]);
        }
        spans[run.row].first = std::min(spans[run.row].first, run.first);
        spans[run.row].second = std::max(spans[run.row].second, run.first + run.count);
    }
    std::vector<int> xIndex, xWeight, yIndex, yWeight;
    SampleSteps(w, out.width, xIndex, xWeight);
    SampleSteps(h, out.height, yIndex, yWeight);
    std::vector<uint8_t> row(static_cast<size_t>(out.width) * 4);
    for (int y = 0; y < out.height; ++y) {
        const int r0 = yIndex[y], wy = yWeight[y];
        const int r1 = wy ? r0 + 1 : r0;
        const int first = std::min(spans[r0].first, spans[r1].first);
        const int last = std::max(spans[r0].second, spans[r1].second);
        if (first >= last) {
            continue;
        }
        // Only the columns whose two samples can reach the row's content.
        const int xBegin = static_cast<int>(
            std::lower_bound(xIndex.begin(), xIndex.end(), first - 1) - xIndex.begin());
        const int xEnd =
            static_cast<int>(std::lower_bound(xIndex.begin(), xIndex.end(), last) - xIndex.begin());
        const uint8_t* a = dense.data() + static_cast<size_t>(r0) * w * 4;
        const uint8_t* b = dense.data() + static_cast<size_t>(r1) * w * 4;
        for (int x = xBegin; x < xEnd; ++x) {
            const int c0 = xIndex[x] * 4, wx = xWeight[x];
            const int c1 = wx ? c0 + 4 : c0;
            uint8_t* o = row.data() + x * 4;
            for (int c = 0; c < 4; ++c) {
                const int top = a[c0 + c] * (256 - wx) + a[c1 + c] * wx;
                const int bottom = b[c0 + c] * (256 - wx) + b[c1 + c] * wx;
                o[c] = static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
            }
        }
        for (int x = xBegin; x < xEnd;) {
            if (row[x * 4 + 3] == 0) {
                ++x;
                continue;
            }
            Run run{y, x, 0};
            for (; x < xEnd && row[x * 4 + 3] != 0; ++x) {
                const uint8_t* o = row.data() + x * 4;
                const uint8_t alpha = o[3];
                // Rounding must not lift a colour above its alpha: the blend relies on it.
                for (int c = 0; c < 3; ++c) {
                    out.pixels.push_back(std::min(o[c], alpha));
                }
                out.pixels.push_back(static_cast<uint8_t>(255 - alpha));
                ++run.count;
            }
            out.runs.push_back(run);
        }
    }
    out.pixels.shrink_to_fit();
    out.runs.shrink_to_fit();
    return out;
}

void OverlayFilter::OnParamsChanged() {
    fps_ = IntParam("fps", 10, 1, 240);
    loop_ = BoolParam("loop", false);
    delayMs_ = IntParam("delay", 0, 0, 24 * 3600 * 1000);
    posX_ = IntParam("pos_x", 500, 0, 1000);
    posY_ = IntParam("pos_y", 500, 0, 1000);
    const std::string list = StringParam("pictures", "");
    if (!loaded_ || list != loadedList_) {
        Load(list);
    }
}

void OverlayFilter::Load(const std::string& list) {
    loaded_ = true;
    loadedList_ = list;
    pictures_.clear();
    sequence_.clear();
    started_ = false;
    // A path named again (a picture held for several steps) is decoded once.
    std::map<std::string, std::optional<size_t>> decodedPaths;
    size_t storedBytes = 0;
    size_t decodedPixels = 0;
    size_t begin = 0;
    while (begin <= list.size() && sequence_.size() < kMaxPictures) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string path = list.substr(begin, end - begin);
        begin = end + 1;
        if (path.empty()) {
            continue;
        }
        auto [known, added] = decodedPaths.try_emplace(path);
        if (added) {
            std::optional<DecodedImage> decoded = DecodeImageFile(path, 4, kMaxPicturePixels);
            if (!decoded || decoded->width <= 0 || decoded->height <= 0) {
                continue;
            }
            decodedPixels += static_cast<size_t>(decoded->width) * decoded->height;
            if (decodedPixels > kMaxDecodedPixelsPerList) {
                break;
            }
            Picture picture = Premultiplied(*decoded);
            storedBytes += picture.pixels.size() + picture.runs.size() * sizeof(Run);
            if (storedBytes > kMaxStoredBytes) {
                break;
            }
            known->second = pictures_.size();
            pictures_.push_back(std::move(picture));
        }
        if (known->second) {
            sequence_.push_back(*known->second);
        }
    }
    ScaleAll();
}

OverlayFilter::Picture OverlayFilter::Premultiplied(const DecodedImage& decoded) {
    const int width = decoded.width, height = decoded.height;
    Picture picture;
    picture.width = width;
    picture.height = height;
    size_t visible = 0;
    for (size_t i = 3; i < decoded.pixels.size(); i += 4) {
        visible += decoded.pixels[i] != 0;
    }
    picture.pixels.reserve(visible * 4);
    // An all-transparent picture keeps no runs; it still takes its turn in the sequence.
    for (int row = 0; row < height; ++row) {
        const uint8_t* src =
            decoded.pixels.data() + static_cast<size_t>(height - 1 - row) * width * 4;
        for (int x = 0; x < width;) {
            if (src[x * 4 + 3] == 0) {
                ++x;
                continue;
            }
            Run run{row, x, 0};
            for (; x < width && src[x * 4 + 3] != 0; ++x) {
                const int alpha = src[x * 4 + 3];
                for (int c = 0; c < 3; ++c) {
                    picture.pixels.push_back(
                        static_cast<uint8_t>((src[x * 4 + c] * alpha + 127) / 255));
                }
                picture.pixels.push_back(static_cast<uint8_t>(255 - alpha));
                ++run.count;
            }
            picture.runs.push_back(run);
        }
    }
    picture.runs.shrink_to_fit();
    return picture;
}

int OverlayFilter::PictureAt(uint32_t elapsedMs) const {
    const int count = static_cast<int>(sequence_.size());
    if (count == 0) {
        return -1;
    }
    const double runMs = count * 1000.0 / fps_;
    double t = elapsedMs;
    if (loop_) {
        t = std::fmod(t, runMs + delayMs_);
        if (t >= runMs) {
            return -1;  // the pause between two runs
        }
    } else if (t >= runMs) {
        return count - 1;
    }
    return std::min(static_cast<int>(t * fps_ / 1000.0), count - 1);
}

void OverlayFilter::Draw(EffectImage& image, const Picture& picture) const {
    const int left = static_cast<int>(std::lround(posX_ / 1000.0 * (image.width - picture.width)));
    const int top = static_cast<int>(std::lround(posY_ / 1000.0 * (image.height - picture.height)));
    // Picture row r (bottom first) lands on frame row `bottom + r` (also bottom first).
    const int bottom = image.height - top - picture.height;
    const uint8_t* src = picture.pixels.data();
    for (const Run& run : picture.runs) {
        const uint8_t* runPixels = src;
        src += static_cast<size_t>(run.count) * 4;
        const int y = bottom + run.row;
        if (y < 0 || y >= image.height) {
            continue;
        }
        const int first = std::max(run.first, -left);
        const int last = std::min(run.first + run.count, image.width - left);
        uint8_t* dst = image.Row(y);
        int x = first;
        // Four pixels at a time while the 16-byte frame load stays inside the row.
        for (; x + 4 <= last && (left + x) * 3 + 16 <= image.width * 3; x += 4) {
            OverFour(runPixels + (x - run.first) * 4, dst + (left + x) * 3);
        }
        for (; x < last; ++x) {
            const uint8_t* s = runPixels + (x - run.first) * 4;
            uint8_t* d = dst + (left + x) * 3;
            for (int c = 0; c < 3; ++c) {
                d[c] = Over(s[c], d[c], s[3]);
            }
        }
    }
}

void OverlayFilter::Process(EffectImage& image) {
    if (sequence_.empty()) {
        return;
    }
    if (!started_) {
        started_ = true;
        startMs_ = image.timeMs;
    }
    const int32_t elapsed = static_cast<int32_t>(image.timeMs - startMs_);
    if (elapsed < 0) {
        startMs_ = image.timeMs;  // the clock stepped back: start over
    }
    const int index = PictureAt(elapsed < 0 ? 0u : static_cast<uint32_t>(elapsed));
    if (index >= 0) {
        Prepare(image.width, image.height);
        Draw(image, Shown()[sequence_[index]]);
    }
}

}  // namespace EM
