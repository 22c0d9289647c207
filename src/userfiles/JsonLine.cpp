#include "JsonLine.h"

#include "TextEncoding.h"
#include "UserFileReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace zavreo {

std::string JsonLine(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    // The one-line form has no comments: ones a lenient read kept would come out anywhere.
    builder["commentStyle"] = "None";
    return Json::writeString(builder, value) + "\n";
}

namespace {

// Leniently as the program always read its files, or `strict`ly: as the writer would give it
// back, with no comments, repeated members or text after the value.
bool Parse(const std::string& line, Json::Value& out, bool strict) {
    Json::CharReaderBuilder builder;
    if (strict) {
        Json::CharReaderBuilder::strictMode(&builder.settings_);
    }
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    try {
        if (!reader->parse(line.data(), line.data() + line.size(), &parsed, &errors)) {
            return false;
        }
    } catch (const Json::Exception&) {
        // Nesting beyond the reader's depth limit is reported by throwing.
        return false;
    }
    out = std::move(parsed);
    return true;
}

}  // namespace

bool ParseJsonLine(const std::string& line, Json::Value& out) {
    return Parse(line, out, false);
}

bool ReadJsonFirstLine(const std::filesystem::path& file, Json::Value& out, std::size_t maxBytes,
                       LineText text, bool* rewritable) {
    // The program's own file locked against its owner (mode 000) would read as nothing and be
    // overwritten by the next save: give the owner back read and write first.
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR)) {
        ::chmod(file.c_str(), (info.st_mode & 07777) | S_IRUSR | S_IWUSR);
    }
    // One byte more tells a line cut at the limit from one that ends there; one more still
    // whether anything follows its line feed.
    const std::optional<std::string> contents = rewritable != nullptr
                                                    ? ReadRegularFile(file, maxBytes + 2)
                                                    : ReadFirstLine(file, maxBytes + 1);
    if (!contents) {
        return false;
    }
    const std::size_t end = contents->find('\n');
    std::string line = contents->substr(0, end);
    if (line.size() > maxBytes) {
        return false;
    }
    bool whole = end == std::string::npos || end + 1 == contents->size();
    if (text == LineText::kUtf8OrCodePage && !IsValidUtf8(line)) {
        line = TextToUtf8(line);
        // What even GB18030 cannot read became U+FFFD: not written back as it was.
        whole = whole && line.find("\xEF\xBF\xBD") == std::string::npos;
    }
    if (rewritable != nullptr) {
        *rewritable = false;
        if (Parse(line, out, true)) {
            *rewritable = whole;
            return true;
        }
    }
    return ParseJsonLine(line, out);
}

int JsonInt(const Json::Value& object, const char* member) {
    if (!object.isObject()) {
        return 0;
    }
    const Json::Value& value = object[member];
    return value.isInt() ? value.asInt() : 0;
}

std::string JsonText(const Json::Value& object, const char* member) {
    if (!object.isObject()) {
        return {};
    }
    const Json::Value& value = object[member];
    return value.isString() ? value.asString() : std::string();
}

}  // namespace zavreo
