#pragma once
// The LRC lyric format, read from a file's bytes into timed lines. Needs no window and no tables:
// any caller may use it. Safe on any thread.
//
// What it accepts: a UTF-8 byte order mark; LF or CRLF line ends; UTF-8, else GBK/GB18030 text;
// several time tags before one text ("[00:10.00][01:10.00]chorus"); one- or more-digit minutes;
// fractions after "." or ":" read as fractions of a second ("[00:07]" 7000 ms, ".5" 500 ms,
// ".45" 450 ms, ".456" 456 ms); "[offset:+/-ms]" (positive shows the lyrics earlier); word-level
// "<mm:ss.xx>" marks, dropped from the text. Metadata tags ([ti:], [ar:], [al:], [by:], ...) and
// lines holding only tags give no lines, nor do times within the first second (a title timed at
// [00:00.00]).
//
// A file larger than kMaxLyricFileBytes, or with a line of more than kMaxLrcTagsPerLine time tags
// or a text longer than kMaxLrcTextBytes, is refused as a whole: no lyric needs that much, and
// every tag would otherwise cost the window a line to lay out.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zavreo {

inline constexpr std::size_t kMaxLyricFileBytes = 1u << 20;
inline constexpr std::size_t kMaxLrcTagsPerLine = 100;
// About 340 Chinese characters: several times what the lyrics window can show on one line.
inline constexpr std::size_t kMaxLrcTextBytes = 1024;

struct LrcLine {
    LrcLine(int start, std::shared_ptr<const std::string> shared)
        : startMs(start), text(std::move(shared)) {}
    LrcLine(int start, std::string own)
        : startMs(start), text(std::make_shared<const std::string>(std::move(own))) {}

    int startMs = 0;
    // UTF-8, as the file has it after the tags (leading spaces kept). The lines of one file line's
    // tags share one text.
    std::shared_ptr<const std::string> text;

    const std::string& Text() const { return *text; }
    bool operator==(const LrcLine& other) const {
        return startMs == other.startMs && *text == *other.text;
    }
};

// One entry per time tag, in file order (the order the tags appear), offset applied, never below
// 0; none when the file is over the limits above.
std::optional<std::vector<LrcLine>> ParseLyricFile(std::string_view bytes);

// ParseLyricFile's lines, no line for a file over the limits.
std::vector<LrcLine> ParseLrc(std::string_view bytes);

// "mm:ss", "mm:ss.f", "mm:ss.ff", "mm:ss.fff", "mm:ss:ff" -> milliseconds; -1 when the tag is not
// a time.
int ParseTimeTag(std::string_view tag);

}  // namespace zavreo
