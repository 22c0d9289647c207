#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "LrcParser.h"
#include "LyricClient.h"
#include "Lyricsd.h"
#include "shell/TestHttpServer.h"

namespace {

using namespace zavreo;

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/zavreo-lyrics-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// An MP3-sized file ending in an ID3v1 tag with raw title and artist bytes.
void WriteSong(const std::filesystem::path& path, const std::string& title,
               const std::string& artist) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, artist.size(), artist);
    std::ofstream(path, std::ios::binary) << std::string(4000, '\x55') << tag;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LyricClient, EncodesQueryValuesByteByByte) {
    EXPECT_EQ(EncodeQueryValue("Ab9 -_.~\t\n"), "Ab9+%2D%5F%2E%7E++");
    EXPECT_EQ(EncodeQueryValue("中&="), "%E4%B8%AD%26%3D");
    EXPECT_EQ(LyricsQueryUrl("h:1", "t", "", true), "http://h:1/lyrics/query.do?title=t");
    EXPECT_EQ(LyricsQueryUrl("h:1", "t", "", false), "http://h:1/lyrics/query.do?title=t&artist=");
}

TEST(LyricClient, ReshapesServerContentIntoLyricFileLines) {
    EXPECT_EQ(ReshapeLyricText("[00:31.00] [00:01.00] 你好\n"),
              "[00:01.00] 你好\n[00:31.00] 你好\n");
    // The whole text survives its spaces; lone tags, lone texts and ten tokens are dropped; a tag
    // seen again keeps its first text; CRLF and runs of line feeds are fine.
    EXPECT_EQ(ReshapeLyricText("[00:05.00] hello big world\r\n\n\n[00:02.00]\nno tag here\n"
                               "[00:05.00] second\n[00:09.00] [a] [b] [c] [d] [e] [f] [g] [h] x\n"
                               "[00:08.00] [x]y\n"),
              "[00:05.00] hello big world\n[00:08.00] [x]y\n");
    // What the parser reads back keeps the leading space the reshaping puts before the text.
    const std::vector<LrcLine> lines = ParseLrc(ReshapeLyricText("[00:01.00] 你好\n"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text(), " 你好");
}

TEST(LyricClient, ReadsId3TagsInGbk) {
    TempFolder folder;
    WriteSong(folder / "a.mp3", "\xC7\xE7\xCC\xEC(\xB0\xE9\xD7\xE0)", "\xC4\xB3\xC8\xCB\nx");
    const std::optional<Id3Tag> tag = ReadId3Tag(folder / "a.mp3");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->title, "晴天(伴奏)");
    EXPECT_EQ(tag->artist, "某人");
    EXPECT_EQ(WithoutAccompanimentMark(tag->title), "晴天");
    EXPECT_EQ(WithoutAccompanimentMark("(伴奏)a(伴奏)"), "a");
    EXPECT_EQ(WithoutAccompanimentMark("(伴奏)a"), "(伴奏)a");
    std::ofstream(folder / "short.mp3") << "tiny";
    EXPECT_FALSE(ReadId3Tag(folder / "short.mp3"));
    EXPECT_FALSE(ReadId3Tag(folder / "missing.mp3"));
}

class LyricServer : public ::testing::Test {
protected:
    Lyricsd server_;
    TempFolder folder_;
};

TEST_F(LyricServer, FetchWritesTheFirstResultAsALyricFile) {
    ASSERT_TRUE(server_.Running());
    server_.AddSong("a.lrc",
                    "[ti:晴天]\n[ar:某人]\n[00:01.00][00:31.00]故事的 小黄花\n[00:05.50]b\n");
    server_.AddSong("b.lrc", "[ti:晴天]\n[ar:别人]\n[00:02.00]other\n");
    WriteSong(folder_ / "song.mp3", "\xC7\xE7\xCC\xEC(\xB0\xE9\xD7\xE0)", "\xC4\xB3\xC8\xCB");
    ASSERT_TRUE(FetchLyrics(folder_ / "song.mp3", folder_ / "song.lrc"));
    EXPECT_EQ(FileText(folder_ / "song.lrc"),
              "[00:01.00] 故事的 小黄花\n[00:05.50] b\n[00:31.00] 故事的 小黄花\n");

    // Nothing found: no file, which would otherwise block later lookups.
    WriteSong(folder_ / "none.mp3", "unknown", "");
    EXPECT_FALSE(FetchLyrics(folder_ / "none.mp3", folder_ / "none.lrc"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "none.lrc"));
}

TEST_F(LyricServer, PaddedTagsFindTheirSongAndTheFilesOffsetMovesItsTimes) {
    ASSERT_TRUE(server_.Running());
    // 500 ms earlier; a time before the start stays at the start.
    server_.AddSong("a.lrc", "[ti:晴天]\n[ar:某人]\n[offset:500]\n[00:02.25][00:00.20]x\n");
    server_.AddSong("b.lrc", "[ti:later]\n[offset:-1000]\n[00:59.50]y\n");
    // ID3v1 pads its fields with spaces.
    WriteSong(folder_ / "song.mp3", "\xC7\xE7\xCC\xEC" + std::string(26, ' '),
              "\xC4\xB3\xC8\xCB" + std::string(26, ' '));
    ASSERT_TRUE(FetchLyrics(folder_ / "song.mp3", folder_ / "song.lrc"));
    EXPECT_EQ(FileText(folder_ / "song.lrc"), "[00:00.00] x\n[00:01.75] x\n");
    WriteSong(folder_ / "later.mp3", "later  ", "");
    ASSERT_TRUE(FetchLyrics(folder_ / "later.mp3", folder_ / "later.lrc"));
    EXPECT_EQ(FileText(folder_ / "later.lrc"), "[01:00.50] y\n");
}

TEST_F(LyricServer, QueryListsEveryResultAndLeavesOutAnEmptyArtist) {
    for (int i = 0; i < 10; ++i) {
        server_.AddSong("s" + std::to_string(i) + ".lrc",
                        "[ti:歌" + std::to_string(i) + "]\n[ar:A]\n[00:02.00]x\n");
    }
    const std::optional<Json::Value> reply = QueryLyrics(EncodeQueryValue("歌"), "");
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["message"]["rows"].asInt(), 10);
    EXPECT_EQ(ReshapedContent(*reply, 3), "[00:02.00] x\n");
    EXPECT_EQ(ReshapedContent(*reply, 10), "");
    EXPECT_EQ((*QueryLyrics(EncodeQueryValue("歌"), "B"))["status"].asInt(), 404);
}

TEST(LyricClientReplies, BadRepliesAreFailures) {
    TempFolder folder;
    WriteSong(folder / "song.mp3", "t", "a");
    TestHttpServer http;
    setenv("ZAVREO_LYRICS_HOST", http.Host().c_str(), 1);
    const auto fetch = [&] { return FetchLyrics(folder / "song.mp3", folder / "song.lrc"); };

    http.SetReply(TestHttpServer::Reply("{\"status\":200,\"message\":{\"data\":[{\"conte"));
    EXPECT_FALSE(fetch()) << "malformed";
    http.SetReply(TestHttpServer::Reply("{\"status\":200,\"message\":{\"rows\":1,\"data\":[{}]}}"));
    EXPECT_FALSE(fetch()) << "no content";
    http.SetReply(TestHttpServer::Reply("{\"status\":200}", 500));
    EXPECT_FALSE(fetch()) << "HTTP 500";
    const std::string huge = "{\"status\":200,\"message\":{\"data\":[{\"content\":\"[00:01.00] " +
                             std::string(kMaxLyricsReplyBytes, 'x') + "\"}]}}";
    http.SetReply(TestHttpServer::Reply(huge));
    EXPECT_FALSE(fetch()) << "huge";
    EXPECT_FALSE(std::filesystem::exists(folder / "song.lrc"));
    EXPECT_EQ(http.RequestLines().front(), "GET /lyrics/query.do?title=t&artist=a HTTP/1.1");

    // Broken UTF-8 is repaired before it reaches the file.
    http.SetReply(TestHttpServer::Reply(
        "{\"status\":200,\"message\":{\"data\":[{\"content\":\"[00:01.00] a\xFF\"}]}}"));
    ASSERT_TRUE(fetch());
    EXPECT_EQ(FileText(folder / "song.lrc"), "[00:01.00] a\xEF\xBF\xBD\n");
    unsetenv("ZAVREO_LYRICS_HOST");
}

TEST(LyricClientReplies, HostileRepliesSaveNothing) {
    TempFolder folder;
    WriteSong(folder / "song.mp3", "t", "a");
    TestHttpServer http;
    setenv("ZAVREO_LYRICS_HOST", http.Host().c_str(), 1);
    const auto fetch = [&] { return FetchLyrics(folder / "song.mp3", folder / "song.lrc"); };
    const auto reply = [](const std::string& content) {
        return TestHttpServer::Reply(
            "{\"status\":200,\"message\":{\"rows\":1,\"data\":[{\"content\":\"" + content +
            "\"}]}}");
    };

    // Nesting past the JSON reader's depth limit is a bad reply, from the download and the search.
    http.SetReply(TestHttpServer::Reply(std::string(1001, '[') + std::string(1001, ']')));
    EXPECT_FALSE(fetch()) << "deep nesting";
    EXPECT_FALSE(QueryLyrics("t", "a"));
    // Lyrics without a single time tag would show nothing and block later lookups.
    http.SetReply(reply("[ti:t] x\\n[ar:a] y\\n[by:z] w"));
    EXPECT_FALSE(fetch()) << "no timed line";
    // A line longer than the player takes is dropped; when nothing else is left, nothing is saved.
    const std::string longText(kMaxLrcTextBytes, 'x');
    http.SetReply(reply("[00:01.00] " + longText));
    EXPECT_FALSE(fetch()) << "over-long line";
    EXPECT_FALSE(std::filesystem::exists(folder / "song.lrc"));
    http.SetReply(reply("[00:01.00] " + longText + "\\n[00:02.00] " + longText.substr(1)));
    ASSERT_TRUE(fetch());
    EXPECT_EQ(FileText(folder / "song.lrc"), "[00:02.00] " + longText.substr(1) + "\n");
    // Eight tags on every line of a reply under the size cap would make a file eight times as
    // large: past the lyric file's limit nothing is saved.
    std::string many;
    for (int line = 0; many.size() < kMaxLyricFileBytes / 3; ++line) {
        for (int tag = 0; tag < 8; ++tag) {
            char time[32];
            std::snprintf(time, sizeof time, "[%02d:%02d.%02d] ", line / 600, line / 10 % 60,
                          line % 10 * 10 + tag);
            many += time;
        }
        many += std::string(100, 'y') + "\\n";
    }
    std::filesystem::remove(folder / "song.lrc");
    http.SetReply(reply(many));
    EXPECT_FALSE(fetch()) << "eight times the size";
    EXPECT_FALSE(std::filesystem::exists(folder / "song.lrc"));
    unsetenv("ZAVREO_LYRICS_HOST");
}

TEST(LyricClientReplies, ASilentServerIsGivenUpOnCancel) {
    SilentServer server;
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    LyricClient client(&cancel);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.Get("http://" + server.Host() + "/x"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(client.ReplyText().empty());
    canceller.join();
}

}  // namespace
