#include "OverlayFilter.h"

#include <algorithm>
#include <cmath>
#include <map>

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

}  // namespace

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
            storedBytes += picture.pixels.size();
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
}

OverlayFilter::Picture OverlayFilter::Premultiplied(const DecodedImage& decoded) {
    const int width = decoded.width, height = decoded.height;
    auto alphaAt = [&](int x, int y) {  // y from the top
        return decoded.pixels[(static_cast<size_t>(y) * width + x) * 4 + 3];
    };
    int left = width, right = 0, top = height, bottom = 0;  // visible box, [left, right) etc.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (alphaAt(x, y) != 0) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = y + 1;
            }
        }
    }
    Picture picture;
    picture.width = width;
    picture.height = height;
    if (left >= right) {
        return picture;  // all transparent: it still takes its turn in the sequence
    }
    picture.boxLeft = left;
    picture.boxBottom = height - bottom;
    picture.boxWidth = right - left;
    picture.boxHeight = bottom - top;
    picture.pixels.resize(static_cast<size_t>(picture.boxWidth) * picture.boxHeight * 4);
    picture.spans.assign(picture.boxHeight, {0, 0});
    for (int r = 0; r < picture.boxHeight; ++r) {
        const uint8_t* src =
            decoded.pixels.data() + (static_cast<size_t>(bottom - 1 - r) * width + left) * 4;
        uint8_t* dst = picture.pixels.data() + static_cast<size_t>(r) * picture.boxWidth * 4;
        int first = picture.boxWidth, last = 0;
        for (int x = 0; x < picture.boxWidth; ++x) {
            const int alpha = src[x * 4 + 3];
            for (int c = 0; c < 3; ++c) {
                dst[x * 4 + c] = static_cast<uint8_t>((src[x * 4 + c] * alpha + 127) / 255);
            }
            dst[x * 4 + 3] = static_cast<uint8_t>(255 - alpha);
            if (alpha != 0) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        picture.spans[r] = first < last ? std::make_pair(first, last) : std::make_pair(0, 0);
    }
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
    const int left = static_cast<int>(std::lround(posX_ / 1000.0 * (image.width - picture.width))) +
                     picture.boxLeft;
    const int top = static_cast<int>(std::lround(posY_ / 1000.0 * (image.height - picture.height)));
    // Stored row r of the box lands on frame row `bottom + r` (both bottom first).
    const int bottom = image.height - top - picture.height + picture.boxBottom;
    const int firstRow = std::max(0, -bottom);
    const int lastRow = std::min(picture.boxHeight, image.height - bottom);
    for (int r = firstRow; r < lastRow; ++r) {
        const auto [spanFirst, spanLast] = picture.spans[r];
        const int first = std::max(spanFirst, -left);
        const int last = std::min(spanLast, image.width - left);
        const uint8_t* src = picture.pixels.data() + static_cast<size_t>(r) * picture.boxWidth * 4;
        uint8_t* dst = image.Row(bottom + r);
        for (int x = first; x < last; ++x) {
            const uint8_t* s = src + x * 4;
            const int keep = s[3];
            if (keep == 255) {
                continue;
            }
            uint8_t* d = dst + (left + x) * 3;
            for (int c = 0; c < 3; ++c) {
                d[c] = static_cast<uint8_t>(s[c] + ((d[c] * keep * 257 + 32768) >> 16));
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
        Draw(image, pictures_[sequence_[index]]);
    }
}

}  // namespace EM
