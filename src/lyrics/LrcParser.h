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

#include <string>
#include <string_view>
#include <vector>

namespace zavreo {

struct LrcLine {
    int startMs = 0;
    std::string text;  // UTF-8, as the file has it after the tags (leading spaces kept)

    bool operator==(const LrcLine&) const = default;
};

// One entry per time tag, in file order (the order the tags appear), offset applied, never below 0.
std::vector<LrcLine> ParseLrc(std::string_view bytes);

// "mm:ss", "mm:ss.f", "mm:ss.ff", "mm:ss.fff", "mm:ss:ff" -> milliseconds; -1 when the tag is not
// a time.
int ParseTimeTag(std::string_view tag);

}  // namespace zavreo
