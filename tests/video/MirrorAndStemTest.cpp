// The mirror buttons against the real effect chain, and the photo and recording file stem.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "CSampleGrabberCB.h"
#include "MirrorModes.h"
#include "TestFrames.h"
#include "TimeStem.h"

using namespace zavreo;

namespace {

struct Chain {
    ScopedFrameName name;
    SharedFrame frame{name.Name()};
    EM::EffectManager engine;
    CSampleGrabberCB callback{frame, engine};
    MirrorModes mirror;

    void Click(MirrorModes::Mode mode) {
        const MirrorModes::Change change = mirror.Click(mode);
        callback.ConfigureEffect(change.operation, kEffectMirror, change.params);
    }
    // The mirror instances in the chain and their mode keys.
    std::vector<EM::ParamMap> Mirrors() const {
        std::vector<EM::ParamMap> found;
        for (const EM::FilterInfo& info : engine.List()) {
            if (info.type == "MirrorFilter") {
                found.push_back(info.params);
            }
        }
        return found;
    }
};

EM::ParamMap Mode(const char* dside, const char* hflip, const char* vflip) {
    return {{"dside", dside}, {"hflip", hflip}, {"vflip", vflip}};
}

}  // namespace

TEST(MirrorModes, OneFilterSwitchedByItsParametersAndRemovedByTheActiveButton) {
    Chain chain;
    chain.Click(MirrorModes::kDoubleSide);
    EXPECT_EQ(chain.Mirrors(), std::vector{Mode("true", "false", "false")});
    // Another mode changes the same instance: a second add would be refused by its name and
    // leave the old mode running.
    chain.Click(MirrorModes::kFlipVertical);
    EXPECT_EQ(chain.Mirrors(), std::vector{Mode("false", "false", "true")});
    EXPECT_TRUE(chain.mirror.Selected(MirrorModes::kFlipVertical));
    EXPECT_FALSE(chain.mirror.Selected(MirrorModes::kDoubleSide));

    chain.Click(MirrorModes::kFlipVertical);
    EXPECT_TRUE(chain.Mirrors().empty());
    EXPECT_FALSE(chain.mirror.FilterPresent());
    EXPECT_FALSE(chain.mirror.Selected(MirrorModes::kFlipVertical));

    // After a removal the next click adds again.
    chain.Click(MirrorModes::kFlipHorizontal);
    EXPECT_EQ(chain.Mirrors(), std::vector{Mode("false", "true", "false")});
}

TEST(TimeStem, LocalTimeFieldsWithoutLeadingZerosAndTheRandomValue) {
    ScopedEnv zone("TZ", "UTC");
    tzset();
    EXPECT_EQ(MakeTimeStem(1700000000, 42), "2023_11_14_22_13_20_42");
    EXPECT_EQ(MakeTimeStem(1704070861, 0), "2024_1_1_1_1_1_0");
    // A moment local time cannot express.
    EXPECT_EQ(MakeTimeStem(std::numeric_limits<std::time_t>::max(), 9), "0_0_0_-1_-1_-1_9");
    EXPECT_TRUE(std::regex_match(MakeTimeStem(), std::regex(R"(\d{4}(_\d{1,2}){5}_\d+)")));
}

// A new photo or recording never takes an existing file's name: another stem is drawn. What keeps
// the file from being made is given as its errno value.
TEST(TimeStem, ANewFileNeverTakesAnExistingName) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("stems-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    { std::ofstream(folder / "a.mp4") << "kept"; }
    const std::vector<std::string> stems{"a", "a", "b"};
    size_t next = 0;
    int error = -1;
    const std::filesystem::path made =
        CreateTimeStemFile(folder, ".mp4", &error, [&] { return stems[next++]; });
    EXPECT_EQ(made, folder / "b.mp4");
    EXPECT_EQ(error, 0);
    std::ifstream kept(folder / "a.mp4");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    EXPECT_EQ(std::filesystem::file_size(made), 0u);
    EXPECT_EQ(std::filesystem::status(made).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // The folder is a file.
    EXPECT_TRUE(CreateTimeStemFile(folder / "a.mp4", ".jpg", &error).empty());
    EXPECT_EQ(error, ENOTDIR);
    std::filesystem::remove_all(folder);
}

// Two runs of the program draw different random parts (each child here is a fresh process).
TEST(TimeStemDeathTest, EachRunDrawsOtherRandomValues) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A child runs this body again up to its statement: it finds the file named already.
    const bool parent = std::getenv("ZAVREO_STEM_FILE") == nullptr;
    if (parent) {
        setenv("ZAVREO_STEM_FILE",
               (::testing::TempDir() + "stems-" + std::to_string(getpid())).c_str(), 1);
    }
    const std::string file = std::getenv("ZAVREO_STEM_FILE");
    if (parent) {
        std::remove(file.c_str());
    }
    for (int run = 0; run < 2; ++run) {
        EXPECT_EXIT(
            {
                std::ofstream(file, std::ios::app) << MakeTimeStem() << '\n';
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "");
    }
    std::ifstream written(file);
    std::string first, second;
    ASSERT_TRUE(std::getline(written, first) && std::getline(written, second));
    std::remove(file.c_str());
    unsetenv("ZAVREO_STEM_FILE");
    EXPECT_NE(first.substr(first.rfind('_')), second.substr(second.rfind('_')))
        << first << " " << second;
}
