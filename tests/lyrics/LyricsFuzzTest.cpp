// Mutation fuzzing of the parts that read untrusted bytes (lyric files, server content) and of the
// timing fed from them, built with the address and undefined-behaviour sanitizers. Bounded by a
// count and a time so it fits in the suite; the seed is fixed, so a failure repeats.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "LrcParser.h"
#include "LyricClient.h"
#include "LyricTimeline.h"
#include "TextEncoding.h"

namespace {

using namespace zavreo;

const std::vector<std::string>& Seeds() {
    static const std::vector<std::string> seeds = {
        "[ti:x]\n[00:01.50][01:02.30]a b\r\n[offset:-300]\n[0:05:45]<00:05.10>w\n",
        "\xEF\xBB\xBF[00:02.00]\xC4\xE3\xBA\xC3\n[00:01.00] [00:03.00] t\n",
        "[00:31.00] [00:01.00] 你好\n\n[x] y z\n[00:07]\n",
    };
    return seeds;
}

std::string Mutate(std::string input, std::mt19937& random) {
    static const std::string pieces[] = {
        "[", "]", ":", ".",        "<",    ">",           "\n",       "\r",
        " ", "0", "9", "\xE4\xBD", "\xFF", "[99:59.999]", "[offset:", std::string(1, '\0')};
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits; ++i) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 4) {
            case 0:
                input.insert(at, pieces[random() % std::size(pieces)]);
                break;
            case 1:
                if (at < input.size())
                    input.erase(at, 1 + random() % 4);
                break;
            case 2:
                if (at < input.size())
                    input[at] = static_cast<char>(random());
                break;
            default:
                input.insert(at, input.substr(random() % (input.size() + 1), random() % 40));
                break;
        }
    }
    return input.size() > 20000 ? input.substr(0, 20000) : input;
}

template <class Check>
void Fuzz(Check check) {
    std::mt19937 random(20261207);
    const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    std::vector<std::string> pool = Seeds();
    for (int i = 0; i < 40000 && std::chrono::steady_clock::now() < stop; ++i) {
        std::string input = Mutate(pool[random() % pool.size()], random);
        check(input, random);
        if (pool.size() < 200 && random() % 8 == 0) {
            pool.push_back(std::move(input));
        }
    }
}

TEST(LyricsFuzz, ParserAndTimingTakeAnyBytes) {
    Fuzz([](const std::string& input, std::mt19937& random) {
        const std::vector<LrcLine> lines = ParseLrc(input);
        for (const LrcLine& line : lines) {
            ASSERT_GE(line.startMs, 0);
            ASSERT_TRUE(IsValidUtf8(line.Text()));
        }
        LyricTimeline timeline;
        timeline.Load(lines);
        for (int step = 0; step < 30; ++step) {
            const int pos = static_cast<int>(random() % 200);
            switch (random() % 6) {
                case 0:
                    timeline.Resync(pos);
                    break;
                case 1:
                    timeline.ShiftLater(pos);
                    break;
                case 2:
                    timeline.ShiftEarlier(pos);
                    break;
                case 3:
                    timeline.SetSingleLine(!timeline.SingleLine());
                    break;
                default:
                    timeline.Tick(pos);
                    break;
            }
        }
    });
}

TEST(LyricsFuzz, ReshapingTakesAnyContent) {
    Fuzz([](const std::string& input, std::mt19937&) {
        const std::string out = ReshapeLyricText(input);
        std::size_t start = 0;
        while (start < out.size()) {
            const std::size_t end = out.find('\n', start);
            ASSERT_NE(end, std::string::npos);
            const std::string line = out.substr(start, end - start);
            ASSERT_EQ(line.front(), '[');
            const std::size_t space = line.find(' ');
            ASSERT_NE(space, std::string::npos);
            ASSERT_EQ(line[space - 1], ']');
            ASSERT_LT(space + 1, line.size());
            start = end + 1;
        }
    });
}

}  // namespace
