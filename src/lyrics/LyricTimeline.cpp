#include "LyricTimeline.h"

#include <algorithm>

#include "TextEncoding.h"

namespace zavreo {

namespace {

int RateOver(int intervalMs) {
    return intervalMs > 0 ? 100000 / intervalMs : kInstantRate;
}

// The progress `seconds` into an entry drawn at `rate`. A file's offset tag can put a line days
// away from the position, so it is worked out wide; every value past 1000 acts alike (the next
// tick starts the entry over), so it stops one past full, where a tick's rate cannot overflow it.
int ProgressAfter(int seconds, int rate) {
    return static_cast<int>(
        std::clamp<long long>(static_cast<long long>(seconds) * rate * 10, 0, 1001));
}

// The second line is indented by as many spaces as the first has characters.
std::shared_ptr<const std::string> PairText(const std::string& first, const std::string& second) {
    return std::make_shared<const std::string>(first + "\r\n" +
                                               std::string(CharacterCount(first), ' ') + second);
}

}  // namespace

void LyricTimeline::Load(const std::vector<LrcLine>& lines) {
    singles_.clear();
    pairs_.clear();
    line_ = pair_ = progress_ = tailTicks_ = earlierShifts_ = posNow_ = posPrev_ = 0;
    const std::size_t count = std::min(lines.size(), kLyricTableSize);
    singles_.reserve(count);
    pairs_.reserve(count / 2 + 1);
    // Rates and pairs follow file order.
    for (std::size_t i = 0; i < count; ++i) {
        const LrcLine& line = lines[i];
        const int before = i > 0 ? singles_.back().startMs : 0;
        singles_.push_back(
            {line.startMs / 1000, line.text, RateOver(line.startMs - before), line.startMs});
        if (i % 2 == 1) {
            const LyricLine& first = singles_[i - 1];
            const int pairBefore = i >= 3 ? singles_[i - 3].startMs : 0;
            pairs_.push_back({first.startSec, PairText(*first.text, line.Text()),
                              RateOver(first.startMs - pairBefore), first.startMs});
        }
    }
    std::stable_sort(singles_.begin(), singles_.end(), [](const LyricLine& a, const LyricLine& b) {
        return a.startSec < b.startSec;
    });
    if (count % 2 == 1) {
        const LyricLine& last = singles_.back();
        const int before = count >= 3 ? singles_[count - 3].startMs : 0;
        pairs_.push_back({last.startSec, last.text, RateOver(last.startMs - before), last.startMs});
    }
}

std::optional<std::string> LyricTimeline::FirstPairText() const {
    if (pairs_.empty()) {
        return std::nullopt;
    }
    return *pairs_.front().text;
}

int LyricTimeline::RateAt(int index) const {
    const std::vector<LyricLine>& entries = Entries();
    if (entries.empty() || index < 0) {
        return 0;
    }
    return entries[std::min<std::size_t>(static_cast<std::size_t>(index), entries.size() - 1)].rate;
}

std::optional<std::string> LyricTimeline::TextAt(int index) const {
    const std::vector<LyricLine>& entries = Entries();
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        return std::nullopt;
    }
    return *entries[static_cast<std::size_t>(index)].text;
}

int LyricTimeline::StartedBefore(int posSec) const {
    int k = 0;
    for (const LyricLine& entry : Entries()) {
        if (entry.startSec < 1 || entry.startSec >= posSec) {
            break;
        }
        ++k;
    }
    return k;
}

LyricDisplay LyricTimeline::Resync(int posSec) {
    posPrev_ = 0;
    tailTicks_ = 0;
    const int k = StartedBefore(posSec);
    Current() = k - 1;
    if (k == 0) {
        progress_ = 0;
        return Show(std::nullopt, 0);
    }
    progress_ =
        ProgressAfter(posSec - Entries()[static_cast<std::size_t>(k - 1)].startSec, RateAt(k));
    return Show(TextAt(k - 1), progress_);
}

std::optional<LyricDisplay> LyricTimeline::Tick(int posSec) {
    const std::vector<LyricLine>& entries = Entries();
    if (entries.empty()) {
        return std::nullopt;
    }
    posNow_ = posSec;
    std::optional<LyricDisplay> shown;
    const LyricLine& last = entries.back();
    if (last.startSec < posSec) {
        // Past the last line.
        ++tailTicks_;
        progress_ += last.rate;
        if (progress_ <= 1000) {
            shown = Show(*last.text, 1000);
        } else if (tailTicks_ == 1) {
            progress_ = 0;
            shown = Show(*last.text, 0);
        } else {
            progress_ = 1000;
            shown = Show(*last.text, 1000);
        }
    } else {
        const int i = Current();
        const bool hasNext = static_cast<std::size_t>(i + 1) < entries.size();
        const int nextStart =
            hasNext ? entries[static_cast<std::size_t>(i + 1)].startSec : posSec + 1;
        if (posSec < nextStart) {
            progress_ += RateAt(i + 1);
            if (progress_ > 1000) {
                progress_ = 0;
            }
            shown = Show(TextAt(i), progress_);
        } else if (posSec == nextStart) {
            progress_ = 1000;
            shown = Show(TextAt(i), 1000);
        } else {
            // A second went by unseen (several lines in one second, a late tick): catch up with
            // the last entry that has started instead of waiting for a second that has passed.
            int j = i + 1;
            while (static_cast<std::size_t>(j + 1) < entries.size() &&
                   entries[static_cast<std::size_t>(j + 1)].startSec <= posSec) {
                ++j;
            }
            Current() = j;
            progress_ = 0;
            shown = Show(TextAt(j), 0);
        }
    }
    posPrev_ = posSec;
    return shown;
}

void LyricTimeline::ShiftAll(int seconds) {
    for (std::vector<LyricLine>* table : {&singles_, &pairs_}) {
        for (LyricLine& entry : *table) {
            entry.startSec += seconds;
            entry.startMs += seconds * 1000;
        }
        if (!table->empty()) {
            table->front().rate = RateOver(table->front().startMs);
        }
    }
}

std::optional<LyricDisplay> LyricTimeline::ShiftLater(int posSec) {
    if (singles_.empty()) {
        return std::nullopt;
    }
    ShiftAll(1);
    posPrev_ = 0;
    tailTicks_ = 0;
    const int current = std::max(StartedBefore(posSec) - 1, 0);
    Current() = current;
    const int start = Entries()[static_cast<std::size_t>(current)].startSec;
    progress_ = ProgressAfter(posSec - start - 1, RateAt(current + 1));
    return Show(TextAt(current), progress_);
}

std::optional<LyricDisplay> LyricTimeline::ShiftEarlier(int posSec) {
    if (singles_.empty()) {
        return std::nullopt;
    }
    ++earlierShifts_;
    if (singles_.front().startSec - earlierShifts_ < 0) {
        return std::nullopt;
    }
    ShiftAll(-1);
    posPrev_ = 0;
    tailTicks_ = 0;
    const int current = std::max(StartedBefore(posSec) - 1, 0);
    Current() = current;
    const int start = Entries()[static_cast<std::size_t>(current)].startSec;
    progress_ = ProgressAfter(posSec - start + 1, RateAt(current + 1));
    return Show(TextAt(current), progress_);
}

LyricDisplay LyricTimeline::Show(std::optional<std::string> text, int progress) {
    const int shown = std::clamp(progress, 0, 1000);
    if (shown >= 1000 && posNow_ != posPrev_) {
        Advance();
    }
    return {std::move(text), shown};
}

void LyricTimeline::Advance() {
    const int lastLine = static_cast<int>(singles_.size()) - 1;
    const int lastPair = static_cast<int>(pairs_.size()) - 1;
    if (single_) {
        line_ = std::min(line_ + 1, lastLine);
        if (line_ % 2 != 0) {
            pair_ = std::min(pair_ + 1, lastPair);
        }
    } else {
        pair_ = std::min(pair_ + 1, lastPair);
        line_ = std::min(line_ + 2, lastLine);
    }
}

}  // namespace zavreo
