#include <gtest/gtest.h>

#include "AllocationCounter.h"

#include "CSampleGrabberCB.h"
#include "TestFrames.h"

using namespace zavreo;

TEST(FramePath, NothingIsAllocatedPerFrameAfterTheFirst) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    EM::EffectManager engine;
    CSampleGrabberCB callback(frame, engine);
    callback.ConfigureEffect(kEffectAdd, kEffectMirror, {{"vflip", "true"}});

    auto direct = PatternFrame(640, 480);
    auto large = PatternFrame(1280, 720);
    callback.BufferCB(0, direct.data(), static_cast<long>(direct.size()));
    callback.SetCameraSize(1280, 720);
    callback.BufferCB(0, large.data(), static_cast<long>(large.size()));

    const long before = g_allocations.load();
    for (int i = 0; i < 30; ++i) {
        callback.BufferCB(0, large.data(), static_cast<long>(large.size()));
    }
    callback.SetCameraSize(640, 480);
    for (int i = 0; i < 30; ++i) {
        callback.BufferCB(0, direct.data(), static_cast<long>(direct.size()));
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
}
