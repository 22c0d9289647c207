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
