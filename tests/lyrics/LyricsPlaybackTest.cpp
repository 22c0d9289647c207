// The lyrics beside a real player: a GStreamer playbin plays a four-second song into a clocked
// fake sink, its position feeds the lyrics, and timer 10020 moves the lines in real time.

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <string>
#include <vector>

#include "CLyricsWindow.h"
#include "LyricsController.h"
#include "UserFolders.h"

namespace {

using namespace zavreo;

// Runs a pipeline description to its end.
bool RunToEnd(const std::string& description) {
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (pipeline == nullptr) {
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ended = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message != nullptr) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ended;
}

TEST(LyricsPlayback, LinesFollowARealPlayer) {
    gst_init(nullptr, nullptr);
    char pattern[] = "/tmp/zavreo-lyrics-play-XXXXXX";
    const std::filesystem::path home = mkdtemp(pattern);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    // Four seconds of tone; the player finds the format by its content.
    const std::filesystem::path song = home / "旋律.mp3";
    ASSERT_TRUE(
        RunToEnd("audiotestsrc num-buffers=172 samplesperbuffer=1024 ! "
                 "audio/x-raw,rate=44100,channels=1 ! wavenc ! filesink location=\"" +
                 song.string() + "\""));
    std::ofstream(LyricsFolder() / "旋律.lrc") << "[00:01.00]一\n[00:02.00]二\n[00:03.00]三\n";

    GstElement* player = gst_element_factory_make("playbin", nullptr);
    ASSERT_NE(player, nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    g_object_set(player, "audio-sink", sink, nullptr);
    gchar* uri = gst_filename_to_uri(song.c_str(), nullptr);
    g_object_set(player, "uri", uri, nullptr);
    g_free(uri);

    QTimer lyricTimer;
    LyricsController lyrics(lyricTimer);
    lyrics.Create();
    QObject::connect(&lyricTimer, &QTimer::timeout, [&lyrics] { lyrics.LyricTick(); });
    LyricsPlayerHooks hooks;
    hooks.positionMs = [player]() -> std::optional<int> {
        gint64 position = 0;
        if (!gst_element_query_position(player, GST_FORMAT_TIME, &position)) {
            return 0;
        }
        return static_cast<int>(position / GST_MSECOND);
    };
    lyrics.SetPlayer(hooks);

    QSignalSpy found(&lyrics, &LyricsController::LookupFinished);
    lyrics.SongStarted(song.string());
    ASSERT_TRUE(found.wait(5000));
    ASSERT_TRUE(lyrics.HasLyrics());
    gst_element_set_state(player, GST_STATE_PLAYING);
    std::vector<QString> seen;
    for (int i = 0; i < 90; ++i) {
        QTest::qWait(50);
        const QString text = lyrics.Window().Renderer().Text();
        if (seen.empty() || seen.back() != text) {
            seen.push_back(text);
        }
    }
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    std::filesystem::remove_all(home);

    const std::vector<QString> expected = {QStringLiteral("一\r\n 二"), QStringLiteral("一"),
                                           QStringLiteral("二"), QStringLiteral("三")};
    EXPECT_EQ(seen, expected);
}

}  // namespace
