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

// How the bytes of a line are text: always UTF-8, or (files older versions wrote in the system
// code page) UTF-8 when valid, else GBK/GB18030.
enum class LineText { kUtf8, kUtf8OrCodePage };

// Parses the first line of `file` into `out`; false when the file cannot be read, the line is
// longer than `maxBytes` or is not JSON (`out` is then left as it was). A file of this user's
// that its owner may not read or write gets owner read and write back first.
//
// With `rewritable`, also tells whether writing back what was parsed would keep all of the
// file: it is that one line (its line feed may be missing), in a form the writer gives back (no
// comments, repeated members or text after the value), and its text reads without a replaced
// byte.
bool ReadJsonFirstLine(const std::filesystem::path& file, Json::Value& out,
                       std::size_t maxBytes = kMaxUserLineBytes, LineText text = LineText::kUtf8,
                       bool* rewritable = nullptr);

// Parses one line of text (or any JSON text); false when it is not JSON, nesting past the
// reader's depth limit included.
bool ParseJsonLine(const std::string& line, Json::Value& out);

// Members read as their written type or not at all: a missing member, or one of another type,
// reads as 0 / empty text.
int JsonInt(const Json::Value& object, const char* member);
std::string JsonText(const Json::Value& object, const char* member);

}  // namespace zavreo
