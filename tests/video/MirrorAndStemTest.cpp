// The mirror buttons against the real effect chain, and the photo and recording file stem.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
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
