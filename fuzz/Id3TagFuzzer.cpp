// A song's bytes as anything: the ID3v1 tag is read from the last 128 bytes of any file that has
// them and of no other, and its title and artist are valid UTF-8 without a NUL or a line feed, no
// longer than their 30 bytes can convert to.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "LyricClient.h"
#include "MemoryFile.h"
#include "TextEncoding.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckField(const std::string& field) {
    Check(zavreo::IsValidUtf8(field));
    Check(field.find('\0') == std::string::npos && field.find('\n') == std::string::npos);
    // Each byte at most one replacement character.
    Check(field.size() <= 30 * 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemoryFile song(data, size);
    const std::optional<zavreo::Id3Tag> tag = zavreo::ReadId3Tag(song.Path());
    Check(tag.has_value() == (size >= 128));
    if (tag) {
        CheckField(tag->title);
        CheckField(tag->artist);
        // A title of plain ASCII letters is the bytes themselves.
        const std::string raw(reinterpret_cast<const char*>(data) + size - 125, 30);
        const std::string letters = raw.substr(0, raw.find_first_of(std::string("\0\n", 2)));
        if (letters.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ") ==
            std::string::npos) {
            Check(tag->title == letters);
        }
    }
    return 0;
}
