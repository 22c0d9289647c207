// The lyrics server's reply as any bytes, and any content reshaped into a lyric file: parsing never
// throws (nesting included), a reshaped file is never larger than a lyric file may be, every one
// of its lines is a tag and a text, and what would be saved holds timed lines that the player
// reads back the same after reshaping it again.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "JsonLine.h"
#include "LrcParser.h"
#include "LyricClient.h"
#include "TextEncoding.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckReshaped(const std::string& text) {
    Check(text.size() <= zavreo::kMaxLyricFileBytes);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        Check(end != std::string::npos);
        const std::string_view line(text.data() + start, end - start);
        const std::size_t space = line.find(' ');
        Check(!line.empty() && line.front() == '[' && space != std::string_view::npos &&
              line[space - 1] == ']');
        Check(space + 1 < line.size());
        start = end + 1;
    }
}

// What FetchLyrics and the search dialog would save.
void CheckSaved(const std::string& text) {
    if (text.empty()) {
        return;
    }
    CheckReshaped(text);
    const std::optional<std::vector<zavreo::LrcLine>> lines = zavreo::ParseLyricFile(text);
    Check(lines && !lines->empty());
    Check(zavreo::ParseLrc(zavreo::ReshapeLyricText(text)) == *lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the client hands it on: invalid UTF-8 repaired.
    const std::string text =
        zavreo::RepairUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckReshaped(zavreo::ReshapeLyricText(text));
    // The input as the content of a well-formed reply.
    Json::Value wrapped(Json::objectValue);
    wrapped["message"]["data"][0]["content"] = text;
    CheckSaved(zavreo::ReshapedContent(wrapped, 0));

    // The input as the whole reply.
    Json::Value reply;
    if (zavreo::ParseJsonLine(text, reply)) {
        for (int row = -1; row < 3; ++row) {
            CheckSaved(zavreo::ReshapedContent(reply, row));
        }
    }
    return 0;
}
