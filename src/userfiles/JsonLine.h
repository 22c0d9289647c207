#pragma once
// The one-line JSON form of the program's files (config.lst, music.lst, PicPath.lst, the update
// description): no spaces, object members in ascending byte order, text as raw UTF-8, one line
// feed at the end. Readers take the first line only.

#include <json/value.h>

#include <filesystem>
#include <string>

#include "UserFileReader.h"

namespace zavreo {

std::string JsonLine(const Json::Value& value);

// Parses the first line of `file` (at most `maxBytes` of it) into `out`; false when the file
// cannot be read or the line is not JSON (`out` is then left as it was). A file of this user's
// that its owner may not read or write gets owner read and write back first.
bool ReadJsonFirstLine(const std::filesystem::path& file, Json::Value& out,
                       std::size_t maxBytes = kMaxUserLineBytes);

// Parses one line of text; false when it is not JSON.
bool ParseJsonLine(const std::string& line, Json::Value& out);

// Members read as their written type or not at all: a missing member, or one of another type,
// reads as 0 / empty text.
int JsonInt(const Json::Value& object, const char* member);
std::string JsonText(const Json::Value& object, const char* member);

}  // namespace zavreo
