#include "LyricClient.h"

#include <curl/curl.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "AtomicFile.h"
#include "JsonLine.h"
#include "LrcParser.h"
#include "TextEncoding.h"
#include "UserFileReader.h"

namespace zavreo {

namespace {

constexpr char kDefaultLyricsHost[] = "lyrics.zavreo.com";
constexpr std::size_t kId3Bytes = 128;
constexpr std::size_t kId3FieldBytes = 30;
constexpr std::string_view kAccompanimentMark = "(伴奏)";
constexpr std::size_t kMaxTagsPerLine = 8;

// An ID3 field: up to the first zero byte or line feed.
std::string Id3Field(std::string_view field) {
    const std::size_t end = field.find_first_of(std::string_view("\0\n", 2));
    return TextToUtf8(field.substr(0, end));
}

bool IsNotFound(const Json::Value& reply) {
    return reply.isObject() && reply["status"].isIntegral() && reply["status"].asInt64() == 404;
}

}  // namespace

std::string LyricsHost() {
    const char* host = std::getenv("ZAVREO_LYRICS_HOST");
    return host != nullptr && host[0] != '\0' ? host : kDefaultLyricsHost;
}

std::string EncodeQueryValue(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9')) {
            out += c;
        } else if (byte == ' ' || (byte >= '\t' && byte <= '\r')) {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string LyricsQueryUrl(const std::string& host, const std::string& title,
                           const std::string& artist, bool artistOptional) {
    std::string url = "http://" + host + "/lyrics/query.do?title=" + title;
    if (!artistOptional || !artist.empty()) {
        url += "&artist=" + artist;
    }
    return url;
}

std::optional<Id3Tag> ReadId3Tag(const std::filesystem::path& song) {
    const std::optional<std::string> tail = ReadFileTail(song, kId3Bytes);
    if (!tail) {
        return std::nullopt;
    }
    const std::string_view tag(*tail);
    return Id3Tag{Id3Field(tag.substr(3, kId3FieldBytes)),
                  Id3Field(tag.substr(3 + kId3FieldBytes, kId3FieldBytes))};
}

std::string WithoutAccompanimentMark(std::string title) {
    if (!title.ends_with(kAccompanimentMark)) {
        return title;
    }
    for (std::size_t at; (at = title.find(kAccompanimentMark)) != std::string::npos;) {
        title.erase(at, kAccompanimentMark.size());
    }
    return title;
}

std::string ReshapeLyricText(std::string_view content) {
    // Views into `content`: a text with several tags is not copied once per tag.
    std::map<std::string_view, std::string_view> byTag;
    std::vector<std::string_view> tags;
    std::size_t lineStart = 0;
    while (lineStart < content.size()) {
        std::size_t lineEnd = content.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = content.size();
        }
        std::string_view line = content.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        tags.clear();
        std::size_t at = 0;
        while (true) {
            const std::size_t word = line.find_first_not_of(' ', at);
            if (word == std::string_view::npos || line[word] != '[') {
                at = word == std::string_view::npos ? line.size() : word;
                break;
            }
            std::size_t end = line.find(' ', word);
            if (end == std::string_view::npos) {
                end = line.size();
            }
            if (line[end - 1] != ']') {
                at = word;  // "[" starts the text, not a tag
                break;
            }
            tags.push_back(line.substr(word, end - word));
            at = end;
        }
        const std::string_view text = line.substr(at);
        // The player reads the text back with the space after the tag.
        if (tags.empty() || text.empty() || tags.size() > kMaxTagsPerLine ||
            text.size() + 1 > kMaxLrcTextBytes) {
            continue;
        }
        for (const std::string_view tag : tags) {
            byTag.emplace(tag, text);
        }
    }
    std::string out;
    for (const auto& [tag, text] : byTag) {
        if (out.size() + tag.size() + text.size() + 2 > kMaxLyricFileBytes) {
            return {};
        }
        out += tag;
        out += ' ';
        out += text;
        out += '\n';
    }
    return out;
}

LyricClient::LyricClient(const std::atomic<bool>* cancel, long timeoutSeconds) : cancel_(cancel) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
    if (curl_ == nullptr) {
        return;
    }
    headers_ =
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded;charset=UTF-8");
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &LyricClient::Collect);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
    // Worker threads: no signals for time-outs.
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &LyricClient::Progress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
}

LyricClient::~LyricClient() {
    if (curl_ != nullptr) {
        curl_easy_cleanup(curl_);
    }
    curl_slist_free_all(headers_);
}

std::size_t LyricClient::Collect(char* data, std::size_t size, std::size_t count, void* self) {
    LyricClient& client = *static_cast<LyricClient*>(self);
    const std::size_t bytes = size * count;
    if (client.buffer_.size() + bytes > kMaxLyricsReplyBytes) {
        client.tooLarge_ = true;
        return 0;  // aborts the transfer
    }
    client.buffer_.append(data, bytes);
    return bytes;
}

int LyricClient::Progress(void* self, long long, long long, long long, long long) {
    const LyricClient& client = *static_cast<const LyricClient*>(self);
    return client.cancel_ != nullptr && client.cancel_->load() ? 1 : 0;
}

bool LyricClient::Get(const std::string& url) {
    reply_.clear();
    if (curl_ == nullptr) {
        return false;
    }
    url_ = url;
    buffer_.clear();
    tooLarge_ = false;
    curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
    if (curl_easy_perform(curl_) != CURLE_OK || tooLarge_) {
        return false;
    }
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        return false;
    }
    reply_ = RepairUtf8(buffer_);
    buffer_.clear();
    return true;
}

std::optional<Json::Value> QueryLyrics(const std::string& title, const std::string& artist,
                                       const std::atomic<bool>* cancel, long timeoutSeconds) {
    LyricClient client(cancel, timeoutSeconds);
    Json::Value reply;
    if (!client.Get(LyricsQueryUrl(LyricsHost(), title, artist, true)) ||
        !ParseJsonLine(client.ReplyText(), reply)) {
        return std::nullopt;
    }
    return reply;
}

std::string ReshapedContent(const Json::Value& reply, int row) {
    if (!reply.isObject() || !reply["message"].isObject()) {
        return {};
    }
    const Json::Value& data = reply["message"]["data"];
    if (!data.isArray() || row < 0 || static_cast<Json::ArrayIndex>(row) >= data.size() ||
        !data[row].isObject() || !data[row]["content"].isString()) {
        return {};
    }
    std::string text = ReshapeLyricText(data[row]["content"].asString());
    const std::optional<std::vector<LrcLine>> lines = ParseLyricFile(text);
    if (!lines || lines->empty()) {
        return {};
    }
    return text;
}

bool FetchLyrics(const std::filesystem::path& song, const std::filesystem::path& lyricFile,
                 const std::atomic<bool>* cancel) {
    const std::optional<Id3Tag> tag = ReadId3Tag(song);
    if (!tag) {
        return false;
    }
    LyricClient client(cancel);
    const std::string url =
        LyricsQueryUrl(LyricsHost(), EncodeQueryValue(WithoutAccompanimentMark(tag->title)),
                       EncodeQueryValue(tag->artist), false);
    Json::Value reply;
    if (!client.Get(url) || !ParseJsonLine(client.ReplyText(), reply) || IsNotFound(reply)) {
        return false;
    }
    const std::string text = ReshapedContent(reply, 0);
    // A file without timed lines would be found locally from then on, show nothing and block
    // every later lookup.
    if (text.empty()) {
        return false;
    }
    return WriteFileAtomically(lyricFile, text);
}

}  // namespace zavreo
