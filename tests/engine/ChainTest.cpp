#include <gtest/gtest.h>

#include "EffectManager.h"

using EM::EffectManager;
using EM::ParamMap;

namespace {

std::vector<std::string> Names(const EffectManager& engine) {
    std::vector<std::string> names;
    for (const auto& info : engine.List()) {
        names.push_back(info.name);
    }
    return names;
}

}  // namespace

TEST(EffectChain, KeepsInsertionOrderAndRefusesDuplicatesAndUnknownTypes) {
    EffectManager engine;
    EXPECT_TRUE(engine.AddFilter("b", "BrightFilter", {{"brightness", "10"}}));
    EXPECT_TRUE(engine.AddFilter("a", "MirrorFilter", {}));
    EXPECT_FALSE(engine.AddFilter("b", "ScaleFilter", {}));
    EXPECT_FALSE(engine.AddFilter("c", "NoSuchFilter", {}));
    EXPECT_EQ(Names(engine), (std::vector<std::string>{"b", "a"}));
    // The refused duplicate left the first instance as it was.
    EXPECT_EQ(engine.List()[0].type, "BrightFilter");
    EXPECT_EQ(engine.List()[0].params, (ParamMap{{"brightness", "10"}}));
}

TEST(EffectChain, RemovesOnlyExistingInstances) {
    EffectManager engine;
    engine.AddFilter("one", "SweetFilter", {});
    engine.AddFilter("two", "MovieFilter", {});
    EXPECT_FALSE(engine.DelFilter("three"));
    EXPECT_TRUE(engine.DelFilter("one"));
    EXPECT_FALSE(engine.DelFilter("one"));
    EXPECT_EQ(Names(engine), (std::vector<std::string>{"two"}));
    EXPECT_EQ(engine.Ref("one"), nullptr);
    // A removed name can be added again, at the end of the chain.
    EXPECT_TRUE(engine.AddFilter("one", "SweetFilter", {}));
    EXPECT_EQ(Names(engine), (std::vector<std::string>{"two", "one"}));
}

TEST(EffectChain, InstancesBuiltAheadAreAddedAndHandedBackWhole) {
    EffectManager engine;
    auto built = EffectManager::MakeFilter("SunFilter", {{"type", "1"}});
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(EffectManager::MakeFilter("NoSuchFilter", {}), nullptr);
    EM::IFilter* const instance = built.get();
    EXPECT_TRUE(engine.AddInstance("sun", "SunFilter", std::move(built)));
    EXPECT_EQ(engine.Ref("sun"), instance);
    EXPECT_EQ(engine.List()[0].params, (ParamMap{{"type", "1"}}));

    // A taken name leaves the new instance with the caller.
    auto second = EffectManager::MakeFilter("SunFilter", {});
    EXPECT_FALSE(engine.AddInstance("sun", "SunFilter", std::move(second)));
    EXPECT_NE(second, nullptr);
    EXPECT_FALSE(engine.AddInstance("none", "SunFilter", nullptr));

    const auto taken = engine.TakeFilter("sun");
    EXPECT_EQ(taken.get(), instance);
    EXPECT_TRUE(engine.List().empty());
    EXPECT_EQ(engine.TakeFilter("sun"), nullptr);
}

TEST(EffectChain, SetParamChangesOnlyTheGivenKeys) {
    EffectManager engine;
    engine.AddFilter("text", "TextFilter", {{"text", "hi"}, {"speed", "10"}});
    engine.Ref("text")->SetParam({{"speed", "-20"}, {"color", "FF0000FF"}});
    EXPECT_EQ(engine.List()[0].params,
              (ParamMap{{"text", "hi"}, {"speed", "-20"}, {"color", "FF0000FF"}}));
}

TEST(EffectChain, RejectsImagesWithoutPixels) {
    EffectManager engine;
    EM::EffectImage empty;
    EXPECT_FALSE(engine.DoFilter(&empty));
    EXPECT_FALSE(engine.DoFilter(nullptr));
    // A width whose row size overflows 32 bits is not a valid match for a short stride.
    std::vector<uint8_t> row(64);
    EM::EffectImage huge;
    huge.pixels = row.data();
    huge.width = 0x40000000;
    huge.height = 1;
    huge.stride = 60;
    engine.AddFilter("t", "TextFilter", {{"text", "x"}});
    EXPECT_FALSE(engine.DoFilter(&huge));
    EXPECT_FALSE(EM::Helper::Hflip(&huge));
}
