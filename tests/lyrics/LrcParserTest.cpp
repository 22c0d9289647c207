#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "LrcParser.h"

namespace zavreo {
void PrintTo(const LrcLine& line, std::ostream* out) {
    *out << "{" << line.startMs << ", \"" << line.Text() << "\"}";
}
}  // namespace zavreo

namespace {

using zavreo::LrcLine;
using zavreo::ParseLrc;
using zavreo::ParseTimeTag;

struct Shape {
    const char* name;
    std::string bytes;
    std::vector<LrcLine> lines;
};

// Files as users have them, each with the lines and milliseconds it must give.
const std::vector<Shape>& Corpus() {
    static const std::vector<Shape> corpus = {
        {"metadata and a title at zero are not lines",
         "[ti:晴天]\n[ar:某歌手]\n[al:专辑]\n[by:制作]\n[00:00.00]晴天 - 某歌手\n"
         "[00:01.50]故事的小黄花\n[00:04.20]从出生那年就飘着\n",
         {{1500, "故事的小黄花"}, {4200, "从出生那年就飘着"}}},
        {"byte order mark and CRLF",
         "\xEF\xBB\xBF[ti:t]\r\n[00:02.00]one\r\n\r\n[00:03.00]two\r\n",
         {{2000, "one"}, {3000, "two"}}},
        {"GBK text is converted",
         "[00:02.00]\xC4\xE3\xBA\xC3\n[00:03.00]\xCA\xC0\xBD\xE7\n",
         {{2000, "你好"}, {3000, "世界"}}},
        {"fractions are fractions",
         "[00:07]a\n[00:08.5]b\n[00:09.45]c\n[00:10.456]d\n[00:11.4567]e\n",
         {{7000, "a"}, {8500, "b"}, {9450, "c"}, {10456, "d"}, {11456, "e"}}},
        {"one-digit minutes and colon hundredths",
         "[1:02.30]a\n[01:03:40]b\n[123:00.00]c\n",
         {{62300, "a"}, {63400, "b"}, {7380000, "c"}}},
        {"several tags per line, in tag order",
         "[00:10.00][01:10.00]chorus\n[00:20.00] [00:40.00] spaced\n",
         {{10000, "chorus"}, {70000, "chorus"}, {20000, " spaced"}, {40000, " spaced"}}},
        {"word-level marks are dropped, other brackets kept",
         "[00:05.00]<00:05.00>Hel<00:05.20>lo <x> [y]\n",
         {{5000, "Hello <x> [y]"}}},
        {"positive offset shows lyrics earlier",
         "[offset:+500]\n[00:02.00]a\n[00:00.90]zero\n[00:01.20]b\n",
         {{1500, "a"}, {700, "b"}}},
        {"negative offset, and never below zero",
         "[offset:-250]\n[00:02.00]a\n[ti:x]\n",
         {{2250, "a"}}},
        {"offset to below zero is zero", "[offset:5000]\n[00:02.00]a\n", {{0, "a"}}},
        {"tag-only, untagged and malformed lines give nothing",
         "[00:05.00]\nplain text\n[xx:05.00]a\n[00:5x]b\n[0005.00]c\n[00:06.00\n]d\n"
         "[00:07.00]  kept spaces\n",
         {{7000, "  kept spaces"}}},
        {"lines keep file order, out of time order",
         "[00:09.00]late\n[00:03.00]early\n",
         {{9000, "late"}, {3000, "early"}}},
    };
    return corpus;
}

TEST(LrcParser, ReadsEveryShapeOfTheCorpus) {
    for (const Shape& shape : Corpus()) {
        EXPECT_EQ(ParseLrc(shape.bytes), shape.lines) << shape.name;
    }
}

TEST(LrcParser, TimeTags) {
    EXPECT_EQ(ParseTimeTag("01:23.45"), 83450);
    EXPECT_EQ(ParseTimeTag("00:07"), 7000);
    EXPECT_EQ(ParseTimeTag(":07.1"), 7100);
    EXPECT_EQ(ParseTimeTag("2:5"), 125000);
    for (const char* bad : {"ti:title", "offset:500", "00-07", "00:", "00:.5", "00:07.", "00:07x",
                            "00:07.5a", "123456:00", ""}) {
        EXPECT_EQ(ParseTimeTag(bad), -1) << bad;
    }
}

TEST(LrcParser, FilesOverTheLimitsAreRefusedWhole) {
    std::string tags;
    for (std::size_t i = 0; i < zavreo::kMaxLrcTagsPerLine; ++i) {
        tags += "[00:01.00]";
    }
    const std::string text(zavreo::kMaxLrcTextBytes, 'x');
    // At the limits: every tag's line shares the one text.
    const std::optional<std::vector<LrcLine>> full =
        zavreo::ParseLyricFile("[00:02.00]a\n" + tags + text + "\n");
    ASSERT_TRUE(full);
    ASSERT_EQ(full->size(), zavreo::kMaxLrcTagsPerLine + 1);
    EXPECT_EQ(full->back().Text(), text);
    EXPECT_EQ(full->at(1).text.get(), full->back().text.get());
    // One past them anywhere refuses the file, not just the line; word marks do not count.
    for (const std::string& over :
         {"[00:02.00]a\n[00:01.00]" + tags + "b\n", "[00:02.00]a\n[00:03.00]" + text + "y\n",
          "[00:02.00]a\n" + std::string(zavreo::kMaxLyricFileBytes, '\n')}) {
        EXPECT_FALSE(zavreo::ParseLyricFile(over)) << over.size();
        EXPECT_TRUE(ParseLrc(over).empty());
    }
    EXPECT_TRUE(zavreo::ParseLyricFile("[00:03.00]<00:03.10>" + text + "\n"));
    // Tags that are no times cost nothing and are not counted.
    EXPECT_EQ(ParseLrc(std::string(5000, '[') + "][ti:x]" + tags + "[ar:y]c\n").size(),
              zavreo::kMaxLrcTagsPerLine);
}

TEST(LrcParser, InvalidTextBecomesValidUtf8) {
    // Neither UTF-8 nor complete GB18030: the stray byte is marked, the rest kept.
    const std::vector<LrcLine> lines = ParseLrc("[00:02.00]ab\x81\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text(), "ab\xEF\xBF\xBD");
}

}  // namespace
