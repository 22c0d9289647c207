#pragma once
// The timed lines of the playing song and the karaoke timing over them: one table with a line per
// entry and one with two lines per entry, the current entry of each, the highlight progress and
// the one-second shifts. The caller feeds it the playing position (whole seconds) every 100 ms
// and shows what it returns. Plain C++; the lyrics controller owns it on the interface thread.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LrcParser.h"

namespace zavreo {

struct LyricLine {
    int startSec = 0;
    std::shared_ptr<const std::string> text;  // shared with the parsed lines
    // Progress (thousandths) added per 100 ms tick while the entry before this one is current:
    // 100000 over the time between the two entries' starts in ms.
    int rate = 0;
    int startMs = 0;
};

// What the window is to show: a text (none leaves it empty) and a progress of 0..1000.
struct LyricDisplay {
    std::optional<std::string> text;
    int progress = 0;
};

inline constexpr std::size_t kLyricTableSize = 1000;
// Rate of an entry that starts with the one before it (or at 0): shown in full at once.
inline constexpr int kInstantRate = 1000;

class LyricTimeline {
public:
    // Refills both tables (a longer file is cut at kLyricTableSize entries) and resets the current
    // entries to the first, the progress, the tail and the shift counter.
    void Load(const std::vector<LrcLine>& lines);

    // Single-line display (true) or two-line display; chooses the table the timing walks.
    void SetSingleLine(bool single) { single_ = single; }
    bool SingleLine() const { return single_; }

    // Text of the first two-line entry, none when there is none.
    std::optional<std::string> FirstPairText() const;

    // Makes the entry current that holds the position `posSec`.
    LyricDisplay Resync(int posSec);
    // One 100 ms tick at `posSec`; none means the window keeps what it shows.
    std::optional<LyricDisplay> Tick(int posSec);
    // Every line one second later / earlier, then re-synchronised. Earlier is refused (none) once
    // the first line's start minus the number of earlier requests would be negative.
    std::optional<LyricDisplay> ShiftLater(int posSec);
    std::optional<LyricDisplay> ShiftEarlier(int posSec);

    const std::vector<LyricLine>& SingleLines() const { return singles_; }
    const std::vector<LyricLine>& PairLines() const { return pairs_; }
    int Line() const { return line_; }
    int Pair() const { return pair_; }
    int EarlierShifts() const { return earlierShifts_; }

private:
    const std::vector<LyricLine>& Entries() const { return single_ ? singles_ : pairs_; }
    int& Current() { return single_ ? line_ : pair_; }
    // Rate used while entry `index` - 1 is current; past the last entry, the last one's.
    int RateAt(int index) const;
    std::optional<std::string> TextAt(int index) const;
    // Number of leading entries that started before `posSec`.
    int StartedBefore(int posSec) const;
    // Moves every start by `seconds` and recomputes the first rates.
    void ShiftAll(int seconds);
    // What drawing a text does: at full progress in a new second, the next entry becomes current.
    LyricDisplay Show(std::optional<std::string> text, int progress);
    void Advance();

    std::vector<LyricLine> singles_;
    std::vector<LyricLine> pairs_;
    bool single_ = true;
    int line_ = 0;
    int pair_ = 0;
    int progress_ = 0;
    int tailTicks_ = 0;
    int earlierShifts_ = 0;
    int posNow_ = 0;
    int posPrev_ = 0;
};

}  // namespace zavreo
