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
    return Json::writeString(builder, value) + "\n";
}

bool ParseJsonLine(const std::string& line, Json::Value& out) {
    Json::CharReaderBuilder builder;
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

bool LineRewritesWhole(const std::filesystem::path& file, std::size_t maxBytes, LineText text) {
    // Two bytes more than a line tell whether anything follows its line feed.
    std::optional<std::string> contents = ReadRegularFile(file, maxBytes + 2);
    if (!contents) {
        return false;
    }
    if (!contents->empty() && contents->back() == '\n') {
        contents->pop_back();
    }
    if (contents->find('\n') != std::string::npos) {
        return false;
    }
    if (text == LineText::kUtf8OrCodePage && !IsValidUtf8(*contents)) {
        const std::string converted = TextToUtf8(*contents);
        if (converted.find("\xEF\xBF\xBD") != std::string::npos) {
            return false;
        }
        *contents = converted;
    }
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    try {
        return reader->parse(contents->data(), contents->data() + contents->size(), &parsed,
                             &errors);
    } catch (const Json::Exception&) {
        return false;
    }
}

bool ReadJsonFirstLine(const std::filesystem::path& file, Json::Value& out, std::size_t maxBytes,
                       LineText text) {
    // The program's own file locked against its owner (mode 000) would read as nothing and be
    // overwritten by the next save: give the owner back read and write first.
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR)) {
        ::chmod(file.c_str(), (info.st_mode & 07777) | S_IRUSR | S_IWUSR);
    }
    // One byte more tells a line cut at the limit from one that ends there.
    const std::optional<std::string> line = ReadFirstLine(file, maxBytes + 1);
    if (!line || line->size() > maxBytes) {
        return false;
    }
    return ParseJsonLine(text == LineText::kUtf8OrCodePage ? TextToUtf8(*line) : *line, out);
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
