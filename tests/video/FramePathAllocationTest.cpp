#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "CSampleGrabberCB.h"
#include "TestFrames.h"

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

    const long before = allocations.load();
    for (int i = 0; i < 30; ++i) {
        callback.BufferCB(0, large.data(), static_cast<long>(large.size()));
    }
    callback.SetCameraSize(640, 480);
    for (int i = 0; i < 30; ++i) {
        callback.BufferCB(0, direct.data(), static_cast<long>(direct.size()));
    }
    EXPECT_EQ(allocations.load() - before, 0);
}
