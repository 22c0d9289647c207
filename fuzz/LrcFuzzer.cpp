// A lyric file as any bytes, then the timing walked over its lines as the player does: times are
// never negative, there are never more lines than time tags in the input, texts stay valid UTF-8
// within their bound, a refused file is one over the limits, and the timing's current entries and
// progress stay in range whatever the positions, shifts and line modes.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "LrcParser.h"
#include "LyricTimeline.h"
#include "TextEncoding.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckShown(const zavreo::LyricDisplay& shown) {
    Check(shown.progress >= 0 && shown.progress <= 1000);
    Check(!shown.text || zavreo::IsValidUtf8(*shown.text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<std::vector<zavreo::LrcLine>> lines = zavreo::ParseLyricFile(bytes);
    if (!lines) {
        // Refusing takes over a hundred tags on a line or a text of over 1 KB (a stray byte
        // converts to three): never a file this small.
        Check(size >= 300);
        return 0;
    }
    // Every line needs a time tag of its own, and converting from GB18030 never adds a bracket.
    Check(lines->size() <= static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ']')));
    for (const zavreo::LrcLine& line : *lines) {
        Check(line.startMs >= 0);
        Check(line.Text().size() <= zavreo::kMaxLrcTextBytes);
        Check(zavreo::IsValidUtf8(line.Text()));
    }

    zavreo::LyricTimeline timeline;
    timeline.Load(*lines);
    const std::size_t singles = timeline.SingleLines().size();
    const std::size_t pairs = timeline.PairLines().size();
    Check(singles == std::min(lines->size(), zavreo::kLyricTableSize));
    Check(pairs == (singles + 1) / 2);
    // The positions and commands come from the input's bytes read backwards.
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 64); ++i) {
        const uint8_t step = data[size - 1 - i];
        const int pos = step % 120;
        switch (step % 5) {
            case 0:
                CheckShown(timeline.Resync(pos));
                break;
            case 1:
                if (const auto shown = timeline.ShiftLater(pos)) {
                    CheckShown(*shown);
                }
                break;
            case 2:
                if (const auto shown = timeline.ShiftEarlier(pos)) {
                    CheckShown(*shown);
                }
                break;
            case 3:
                timeline.SetSingleLine(!timeline.SingleLine());
                break;
            default:
                if (const auto shown = timeline.Tick(pos)) {
                    CheckShown(*shown);
                }
                break;
        }
        Check(timeline.Line() >= -1 && timeline.Line() < std::max(static_cast<int>(singles), 1));
        Check(timeline.Pair() >= -1 && timeline.Pair() < std::max(static_cast<int>(pairs), 1));
    }
    return 0;
}
