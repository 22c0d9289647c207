#include <gtest/gtest.h>

#include "AllocationCounter.h"

#include "EngineScenes.h"

TEST(EngineFramePath, NothingIsAllocatedPerFrameAfterTheFirst) {
    EM::EffectManager engine;
    scenes::AddFullChain(engine);
    engine.AddFilter("TestMirror", "MirrorFilter", {{"vflip", "true"}, {"dside", "true"}});
    scenes::Frame frame = scenes::Portrait();
    engine.DoFilter(&frame.image);

    const long before = g_allocations.load();
    // Scrolling, wrapping, animation steps and the pause between overlay runs all happen here.
    for (uint32_t t = 40; t < 12000; t += 40) {
        frame.image.timeMs = t;
        engine.DoFilter(&frame.image);
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
}

// Prepared for the large frame ahead (as the camera's opening does), not even its first frame
// allocates.
TEST(EngineFramePath, APreparedSizeAllocatesNothingFromItsFirstFrame) {
    EM::EffectManager engine;
    scenes::AddFullChain(engine);
    engine.AddFilter("TestMirror", "MirrorFilter", {{"hflip", "true"}});
    scenes::Frame hd = scenes::PortraitHd();
    engine.Prepare(hd.image.width, hd.image.height);

    const long before = g_allocations.load();
    for (uint32_t t = 0; t < 6000; t += 33) {
        hd.image.timeMs = t;
        engine.DoFilter(&hd.image);
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
}
