#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "LyricTimeline.h"

namespace {

using zavreo::LrcLine;
using zavreo::LyricDisplay;
using zavreo::LyricTimeline;

// What the window shows at each tick of a fake clock (100 ms apart, from 0 to `endMs`).
struct Frame {
    std::optional<std::string> text;
    int progress;
};
std::map<int, Frame> Play(LyricTimeline& timeline, int fromMs, int endMs) {
    std::map<int, Frame> shown;
    for (int ms = fromMs; ms <= endMs; ms += 100) {
        if (const std::optional<LyricDisplay> display = timeline.Tick(ms / 1000)) {
            shown[ms] = {display->text, display->progress};
        }
    }
    return shown;
}

TEST(LyricTimeline, TablesFollowFileOrderAndTimesSortTheSingles) {
    LyricTimeline timeline;
    // A chorus tagged twice and a line out of order.
    timeline.Load({{10000, "副歌"}, {70000, "副歌"}, {20000, "ab"}, {5500, "x"}, {5500, "y"}});
    const auto& singles = timeline.SingleLines();
    ASSERT_EQ(singles.size(), 5u);
    std::vector<std::string> texts;
    for (const auto& line : singles) {
        texts.push_back(*line.text + "@" + std::to_string(line.startSec));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"x@5", "y@5", "副歌@10", "ab@20", "副歌@70"}));
    // Rates travel with their lines: "ab" was measured against 70 s, "y" against "x" (zero:
    // shown in full at once).
    EXPECT_EQ(singles[3].rate, zavreo::kInstantRate);
    EXPECT_EQ(singles[1].rate, zavreo::kInstantRate);
    EXPECT_EQ(singles[2].rate, 100000 / 10000);

    const auto& pairs = timeline.PairLines();
    ASSERT_EQ(pairs.size(), 3u);
    // Pairs are formed in file order; the indent counts characters, not bytes.
    EXPECT_EQ(*pairs[0].text, "副歌\r\n  副歌");
    EXPECT_EQ(pairs[0].startMs, 10000);
    EXPECT_EQ(*pairs[1].text, "ab\r\n  x");
    EXPECT_EQ(pairs[1].rate, 100000 / 10000);
    // The odd last single stands alone (the latest after sorting).
    EXPECT_EQ(*pairs[2].text, "副歌");
    EXPECT_EQ(timeline.FirstPairText(), "副歌\r\n  副歌");
}

TEST(LyricTimeline, LongFilesAreCutAtTheTableSize) {
    std::vector<LrcLine> lines;
    for (int i = 0; i < 1500; ++i) {
        lines.push_back({1000 + i * 100, "l"});
    }
    LyricTimeline timeline;
    timeline.Load(lines);
    EXPECT_EQ(timeline.SingleLines().size(), zavreo::kLyricTableSize);
    EXPECT_EQ(timeline.PairLines().size(), zavreo::kLyricTableSize / 2);
    EXPECT_FALSE(Play(timeline, 0, 200000).empty());
}

TEST(LyricTimeline, EmptyTablesShowNothing) {
    LyricTimeline timeline;
    timeline.Load({});
    EXPECT_FALSE(timeline.Tick(3));
    EXPECT_FALSE(timeline.Resync(3).text);
    EXPECT_FALSE(timeline.ShiftLater(3));
    EXPECT_FALSE(timeline.ShiftEarlier(3));
    EXPECT_FALSE(timeline.FirstPairText());
}

TEST(LyricTimeline, AWholeSongOnAFakeClock) {
    LyricTimeline timeline;
    timeline.Load({{5000, "A"}, {8000, "B"}, {12000, "C"}});
    const std::map<int, Frame> shown = Play(timeline, 0, 16000);
    // The first line is current from the start.
    EXPECT_EQ(shown.at(0).text, "A");
    // Each line turns full on the tick its next line's second arrives, then the next one starts.
    EXPECT_EQ(shown.at(7900).text, "A");
    EXPECT_EQ(shown.at(8000).text, "A");
    EXPECT_EQ(shown.at(8000).progress, 1000);
    EXPECT_EQ(shown.at(8100).text, "B");
    EXPECT_EQ(shown.at(8100).progress, 0);
    // Halfway through B's four seconds the highlight is about half way.
    EXPECT_NEAR(shown.at(10000).progress, 500, 30);
    // B's highlight only grows until C.
    for (int ms = 8200; ms < 12000; ms += 100) {
        EXPECT_GT(shown.at(ms).progress, shown.at(ms - 100).progress) << ms;
    }
    EXPECT_EQ(shown.at(12000).progress, 1000);
    EXPECT_EQ(shown.at(12100).text, "C");
    // Past the last line it stays shown, full.
    EXPECT_EQ(shown.at(16000).text, "C");
    EXPECT_EQ(shown.at(16000).progress, 1000);
}

TEST(LyricTimeline, LinesInOneSecondOrALateTickDoNotStopTheLyrics) {
    LyricTimeline timeline;
    timeline.Load({{5000, "A"}, {8200, "B1"}, {8700, "B2"}, {12000, "C"}, {20000, "D"}});
    std::map<int, Frame> shown = Play(timeline, 0, 13000);
    EXPECT_EQ(shown.at(9000).text, "B2");
    EXPECT_EQ(shown.at(12100).text, "C");
    // A timer that stalls for three seconds picks up at the right line.
    timeline.Load({{5000, "A"}, {8000, "B"}, {12000, "C"}, {20000, "D"}});
    Play(timeline, 0, 8500);
    shown = Play(timeline, 13000, 13000);
    EXPECT_EQ(shown.at(13000).text, "C");
}

TEST(LyricTimeline, ResyncFindsTheLineAtThePosition) {
    LyricTimeline timeline;
    timeline.Load({{5000, "A"}, {8000, "B"}, {12000, "C"}, {14000, "D"}});
    LyricDisplay display = timeline.Resync(10);
    EXPECT_EQ(display.text, "B");
    EXPECT_EQ(display.progress, (10 - 8) * (100000 / 4000) * 10);
    EXPECT_EQ(timeline.Line(), 1);
    // Before the first line nothing shows; the first line comes in on its second.
    display = timeline.Resync(3);
    EXPECT_FALSE(display.text);
    EXPECT_EQ(timeline.Line(), -1);
    const std::map<int, Frame> shown = Play(timeline, 3000, 6000);
    EXPECT_FALSE(shown.at(4900).text);
    EXPECT_EQ(shown.at(5100).text, "A");

    // Two-line display walks the pairs.
    timeline.SetSingleLine(false);
    display = timeline.Resync(13);
    EXPECT_EQ(display.text, "C\r\n D");
    EXPECT_EQ(timeline.Pair(), 1);
    EXPECT_EQ(timeline.Line(), 0);
}

TEST(LyricTimeline, ShiftsMoveEveryLineBySecond) {
    LyricTimeline timeline;
    timeline.Load({{2000, "A"}, {5000, "B"}, {9000, "C"}});
    ASSERT_TRUE(timeline.ShiftLater(6));
    EXPECT_EQ(timeline.SingleLines()[0].startMs, 3000);
    EXPECT_EQ(timeline.SingleLines()[0].rate, 100000 / 3000);
    EXPECT_EQ(timeline.PairLines()[1].startSec, 10);
    // At 6 s the later-shifted B (now at 6) has not started: A is current again.
    EXPECT_EQ(timeline.Line(), 0);

    ASSERT_TRUE(timeline.ShiftEarlier(6));
    ASSERT_TRUE(timeline.ShiftEarlier(6));
    EXPECT_EQ(timeline.SingleLines()[0].startSec, 1);
    // The first line at 1 s minus three requests is negative: refused, the count stays up.
    EXPECT_FALSE(timeline.ShiftEarlier(6));
    EXPECT_EQ(timeline.EarlierShifts(), 3);
    EXPECT_EQ(timeline.SingleLines()[0].startSec, 1);

    // Shifted lines play on the shifted clock.
    timeline.Resync(0);
    const std::map<int, Frame> shown = Play(timeline, 0, 9000);
    EXPECT_EQ(shown.at(4000).text, "A");
    EXPECT_EQ(shown.at(4100).text, "B");
}

// A line a millisecond after the one before it runs at the highest rate; seen from hours later
// (an offset tag moves lines that far) its progress is full, not a product that overflowed.
TEST(LyricTimeline, AFastLineFarBehindThePositionIsFull) {
    LyricTimeline timeline;
    timeline.Load({{1000, "A"}, {1001, "B"}});
    LyricDisplay display = timeline.Resync(30000);
    EXPECT_EQ(display.text, "B");
    EXPECT_EQ(display.progress, 1000);
    std::optional<LyricDisplay> shifted = timeline.ShiftLater(30000);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->progress, 1000);
    shifted = timeline.ShiftEarlier(30000);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->progress, 1000);
}

TEST(LyricTimeline, AShiftToZeroHasARate) {
    LyricTimeline timeline;
    timeline.Load({{1000, "A"}, {3000, "B"}});
    ASSERT_TRUE(timeline.ShiftEarlier(0));
    EXPECT_EQ(timeline.SingleLines()[0].startMs, 0);
    EXPECT_EQ(timeline.SingleLines()[0].rate, zavreo::kInstantRate);
    EXPECT_EQ(timeline.PairLines()[0].rate, zavreo::kInstantRate);
}

}  // namespace
