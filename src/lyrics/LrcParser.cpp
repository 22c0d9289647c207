#include "LrcParser.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "TextEncoding.h"

namespace zavreo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxMinuteDigits = 4;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "offset:+500" -> 500; nullopt for every other tag.
std::optional<int> OffsetTag(std::string_view tag) {
    constexpr std::string_view key = "offset:";
    if (tag.size() <= key.size() || !std::equal(key.begin(), key.end(), tag.begin(),
                                                [](char a, char b) { return a == (b | 0x20); })) {
        return std::nullopt;
    }
    std::string_view value = tag.substr(key.size());
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    if (!value.empty() && value.front() == '+') {
        value.remove_prefix(1);
    }
    int offset = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), offset);
    if (error != std::errc() || end == value.data()) {
        return std::nullopt;
    }
    return offset;
}

// Removes "<mm:ss.xx>" marks; other text in angle brackets stays.
std::string WithoutWordMarks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('<', at);
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos) {
            break;
        }
        if (ParseTimeTag(text.substr(open + 1, close - open - 1)) >= 0) {
            out.append(text.substr(at, open - at));
        } else {
            out.append(text.substr(at, close + 1 - at));
        }
        at = close + 1;
    }
    out.append(text.substr(std::min(at, text.size())));
    return out;
}

}  // namespace

int ParseTimeTag(std::string_view tag) {
    const std::size_t colon = tag.find(':');
    if (colon == std::string_view::npos || colon > kMaxMinuteDigits) {
        return -1;
    }
    int minutes = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!IsDigit(tag[i])) {
            return -1;
        }
        minutes = minutes * 10 + (tag[i] - '0');
    }
    std::string_view rest = tag.substr(colon + 1);
    int seconds = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 2 && IsDigit(rest[digits])) {
        seconds = seconds * 10 + (rest[digits] - '0');
        ++digits;
    }
    if (digits == 0) {
        return -1;
    }
    rest.remove_prefix(digits);
    int fraction = 0;
    if (!rest.empty()) {
        if ((rest.front() != '.' && rest.front() != ':') || rest.size() < 2) {
            return -1;
        }
        rest.remove_prefix(1);
        int scale = 100;
        for (const char c : rest) {
            if (!IsDigit(c)) {
                return -1;
            }
            fraction += (c - '0') * scale;  // digits past the third add nothing
            scale /= 10;
        }
    }
    return (minutes * 60 + seconds) * 1000 + fraction;
}

std::optional<std::vector<LrcLine>> ParseLyricFile(std::string_view bytes) {
    if (bytes.size() > kMaxLyricFileBytes) {
        return std::nullopt;
    }
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const std::string text = TextToUtf8(bytes);
    std::vector<LrcLine> lines;
    int offsetMs = 0;
    std::vector<int> times;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();
        }
        std::string_view line(text.data() + lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        // The leading tags, spaces between them allowed; the rest of the line is its text.
        times.clear();
        std::size_t at = 0;
        while (true) {
            std::size_t next = at;
            while (next < line.size() && line[next] == ' ' && at > 0) {
                ++next;
            }
            if (next >= line.size() || line[next] != '[') {
                break;
            }
            const std::size_t close = line.find(']', next);
            if (close == std::string_view::npos) {
                break;
            }
            const std::string_view tag = line.substr(next + 1, close - next - 1);
            if (const std::optional<int> offset = OffsetTag(tag)) {
                offsetMs = *offset;
            } else if (const int ms = ParseTimeTag(tag); ms >= 1000) {
                if (times.size() == kMaxLrcTagsPerLine) {
                    return std::nullopt;
                }
                times.push_back(ms);
            }
            at = close + 1;
        }
        if (at == 0 || at >= line.size() || times.empty()) {
            continue;  // untagged, tag-only or metadata
        }
        auto lyric = std::make_shared<const std::string>(WithoutWordMarks(line.substr(at)));
        if (lyric->size() > kMaxLrcTextBytes) {
            return std::nullopt;
        }
        for (const int ms : times) {
            lines.push_back({ms, lyric});
        }
    }
    for (LrcLine& line : lines) {
        line.startMs = static_cast<int>(
            std::clamp<long long>(static_cast<long long>(line.startMs) - offsetMs, 0, 1 << 30));
    }
    return lines;
}

std::vector<LrcLine> ParseLrc(std::string_view bytes) {
    std::optional<std::vector<LrcLine>> lines = ParseLyricFile(bytes);
    return lines ? std::move(*lines) : std::vector<LrcLine>{};
}

}  // namespace zavreo
