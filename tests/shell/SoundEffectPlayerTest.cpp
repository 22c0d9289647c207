#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

#include "SoundEffectPlayer.h"

namespace {

// A 440 Hz tone (two seconds unless told), 16-bit mono PCM.
void WriteTone(const std::filesystem::path& file, uint32_t milliseconds = 2000) {
    constexpr uint32_t kRate = 8000;
    const uint32_t kSamples = kRate * milliseconds / 1000;
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out << "RIFF";
    u32(36 + kSamples * 2);
    out << "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    out << "data";
    u32(kSamples * 2);
    for (uint32_t i = 0; i < kSamples; ++i) {
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3456))));
    }
}

bool BecomesPlaying(const zavreo::SoundEffectPlayer& player, int number) {
    // Generous: a loaded machine may take seconds to preroll a pipeline.
    for (int i = 0; i < 1000; ++i) {
        if (player.IsPlaying(number)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST(SoundEffectPlayer, EffectsPlayAtTheSameTimeAndMissingOnesStaySilent) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    // The effect files carry their content in the name; the player must not care what decodes.
    WriteTone(folder / zavreo::SoundEffectPlayer::FileName(1));
    WriteTone(folder / zavreo::SoundEffectPlayer::FileName(5));
    zavreo::SoundEffectPlayer player(folder, "fakesink sync=true");
    EXPECT_EQ(player.LastSound(), 0);

    EXPECT_TRUE(player.Play(1));
    EXPECT_TRUE(player.Play(5));
    EXPECT_TRUE(BecomesPlaying(player, 1));
    EXPECT_TRUE(BecomesPlaying(player, 5));
    EXPECT_EQ(player.LastSound(), 5);
    // Starting a playing effect again starts it over rather than failing.
    EXPECT_TRUE(player.Play(1));
    EXPECT_TRUE(BecomesPlaying(player, 1));

    EXPECT_FALSE(player.Play(2));
    EXPECT_FALSE(player.IsPlaying(2));
    EXPECT_EQ(player.LastSound(), 2);
    EXPECT_FALSE(player.Play(0));
    EXPECT_FALSE(player.Play(10));
    EXPECT_EQ(player.LastSound(), 2);
}

// The nine buttons find the nine effects the build makes, each under its own number.
TEST(SoundEffectPlayer, PlaysEachOfTheBuiltEffectFiles) {
    zavreo::SoundEffectPlayer player(ZAVREO_BIN_DIR "/yinxiao", "fakesink sync=true");
    for (int number = 1; number <= 9; ++number) {
        EXPECT_TRUE(player.Play(number)) << number;
        EXPECT_TRUE(BecomesPlaying(player, number)) << number;
        EXPECT_EQ(std::string(zavreo::SoundEffectPlayer::FileName(number)).substr(0, 1),
                  std::to_string(number));
    }
}

namespace {

// The process's threads, less those GLib keeps idle in its shared pool for later tasks: they
// still carry the names of the streaming tasks they ran, and how many GLib keeps, and for how
// long, differs between its versions.
int ThreadCount() {
    const auto all = std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                   std::filesystem::directory_iterator());
    return static_cast<int>(all) - static_cast<int>(g_thread_pool_get_num_unused_threads());
}

// The count once it has held still for half a second: a thread that just ended a task waits that
// long for another task of its own pool before GLib counts it as unused, so the threads of
// players that ended a moment ago are still counted before that.
int SettledThreadCount() {
    int count = ThreadCount();
    for (int still = 0, i = 0; still < 10 && i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int now = ThreadCount();
        still = now == count ? still + 1 : 0;
        count = now;
    }
    return count;
}

}  // namespace

// Nine effects played once must not keep nine pipelines, their threads and audio streams for the
// rest of the run.
TEST(SoundEffectPlayer, AnEndedEffectReleasesItsPlayer) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    for (int number = 1; number <= zavreo::kSoundEffectCount; ++number) {
        WriteTone(folder / zavreo::SoundEffectPlayer::FileName(number), 150);
    }
    zavreo::SoundEffectPlayer player(folder, "fakesink sync=true");
    // A first run brings up GStreamer's own lasting threads.
    ASSERT_TRUE(player.Play(1));
    auto allEnded = [&] {
        for (int i = 0; i < 1000; ++i) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            bool playing = false;
            for (int number = 1; number <= zavreo::kSoundEffectCount; ++number) {
                playing = playing || player.IsPlaying(number);
            }
            if (!playing) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    ASSERT_TRUE(BecomesPlaying(player, 1));
    ASSERT_TRUE(allEnded());
    const int idle = SettledThreadCount();

    for (int number = 1; number <= zavreo::kSoundEffectCount; ++number) {
        ASSERT_TRUE(player.Play(number));
    }
    // Each player brings up threads of its own.
    for (int i = 0; i < 200 && ThreadCount() <= idle + 9; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(ThreadCount(), idle + 9);
    ASSERT_TRUE(allEnded());
    // Threads end a moment after their pipeline is released.
    for (int i = 0; i < 200 && ThreadCount() > idle; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LE(ThreadCount(), idle);
    // A released effect plays again.
    EXPECT_TRUE(player.Play(4));
    EXPECT_TRUE(BecomesPlaying(player, 4));
}
