#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "EngineScenes.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

TEST(EngineFramePath, NothingIsAllocatedPerFrameAfterTheFirst) {
    EM::EffectManager engine;
    scenes::AddFullChain(engine);
    engine.AddFilter("TestMirror", "MirrorFilter", {{"vflip", "true"}, {"dside", "true"}});
    scenes::Frame frame = scenes::Portrait();
    engine.DoFilter(&frame.image);

    const long before = allocations.load();
    // Scrolling, wrapping, animation steps and the pause between overlay runs all happen here.
    for (uint32_t t = 40; t < 12000; t += 40) {
        frame.image.timeMs = t;
        engine.DoFilter(&frame.image);
    }
    EXPECT_EQ(allocations.load() - before, 0);
}
