#pragma once
// Lyrics from the lyrics server: "http://HOST/lyrics/query.do?title=T&artist=A" answers JSON,
// {"status": 404} when nothing was found, else "message" with "rows" and "data"[i] holding
// "title", "artist", "length_format" and "content" (lines of space-separated time tags and text).
// Every function here blocks its caller for up to the 10-second time-out and is safe on any
// thread; the interface runs them on worker threads.

#include <json/value.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

typedef void CURL;
struct curl_slist;

namespace zavreo {

inline constexpr long kLyricsTimeoutSeconds = 10;
// The search dialog's user waits for the answer: a server that has not answered by then will not.
inline constexpr long kLyricSearchTimeoutSeconds = 5;
// A reply larger than this is refused: no lyric or result list comes near it.
inline constexpr std::size_t kMaxLyricsReplyBytes = 4u << 20;

// host[:port] from ZAVREO_LYRICS_HOST, else the product's own lyrics host.
std::string LyricsHost();

// UTF-8 text -> query value: letters and digits stay, white space becomes "+", every other byte
// "%XX" (upper case).
std::string EncodeQueryValue(std::string_view text);

// The request URL from already encoded values; an empty artist is left out when `artistOptional`.
std::string LyricsQueryUrl(const std::string& host, const std::string& title,
                           const std::string& artist, bool artistOptional);

struct Id3Tag {
    std::string title;  // UTF-8 (GBK tags are converted)
    std::string artist;
};
// The ID3v1 fields of the song's last 128 bytes (the "TAG" mark is not required); none when the
// file cannot be read or is shorter than 128 bytes.
std::optional<Id3Tag> ReadId3Tag(const std::filesystem::path& song);

// A title ending in "(伴奏)" (accompaniment) is looked up without every such mark.
std::string WithoutAccompanimentMark(std::string title);

// Server content -> LRC file text: in each line the leading time tags ("[..]" words) are tags and
// the rest of the line is the text; one "TAG TEXT" line per tag, ordered by the tags' bytes (time
// order for fixed-width tags), a tag seen twice keeping its first text. Lines without a tag or
// without text, with ten or more tags, or with a text the player would refuse (kMaxLrcTextBytes)
// are dropped. Empty when the result would be larger than a lyric file may be
// (kMaxLyricFileBytes).
std::string ReshapeLyricText(std::string_view content);

// One libcurl easy handle set up for the lyrics server.
class LyricClient {
public:
    // `cancel`, when given, ends a request early once it becomes true; a request ends unanswered
    // after `timeoutSeconds`.
    explicit LyricClient(const std::atomic<bool>* cancel = nullptr,
                         long timeoutSeconds = kLyricsTimeoutSeconds);
    ~LyricClient();
    LyricClient(const LyricClient&) = delete;
    LyricClient& operator=(const LyricClient&) = delete;

    // GET `url`. True when the server answered 200 with a body of at most kMaxLyricsReplyBytes;
    // the reply text is then the body with invalid UTF-8 repaired. Otherwise no reply text.
    bool Get(const std::string& url);
    const std::string& ReplyText() const { return reply_; }

private:
    static std::size_t Collect(char* data, std::size_t size, std::size_t count, void* self);
    static int Progress(void* self, long long, long long, long long, long long);

    CURL* curl_ = nullptr;
    curl_slist* headers_ = nullptr;
    const std::atomic<bool>* cancel_;
    std::string url_;
    std::string buffer_;
    bool tooLarge_ = false;
    std::string reply_;
};

// The reply for `title` and `artist` (already encoded), parsed; none when the request failed or
// the reply is not JSON. The status is not examined.
std::optional<Json::Value> QueryLyrics(const std::string& title, const std::string& artist,
                                       const std::atomic<bool>* cancel = nullptr,
                                       long timeoutSeconds = kLyricsTimeoutSeconds);

// The first result's lyrics reshaped into `lyricFile` (replaced in one step). False when the tag
// cannot be read, the request fails, the reply is not JSON (or nested beyond the parser's depth),
// says 404 or holds no lyrics with timed lines; no file is written then.
bool FetchLyrics(const std::filesystem::path& song, const std::filesystem::path& lyricFile,
                 const std::atomic<bool>* cancel = nullptr);

// `data`[row]["content"] reshaped; empty when the row or its content is missing, or when the
// result is no lyric file with timed lines that the player accepts.
std::string ReshapedContent(const Json::Value& reply, int row);

}  // namespace zavreo
