#include <gtest/gtest.h>

#include <atomic>

#include "CodecLibrary.h"

namespace {
std::atomic<int> startedCalls{0};
int OnStarted(int32_t, void*) {
    ++startedCalls;
    return 0;
}
}  // namespace

TEST(CodecLibrary, LoadsTheFiveEntriesAndExecReturnsWithoutStarting) {
    zavreo::CodecLibrary library;
    ASSERT_TRUE(library.Load(ZAVREO_BIN_DIR "/libFlashX.so"));
    int context = 0;
    EXPECT_EQ(library.Startup(&context), 0);
    const int32_t first = library.CreateCodecN();
    const int32_t second = library.CreateCodecN();
    EXPECT_NE(first, second);
    char arg0[] = "-f";
    char* argv[] = {arg0, nullptr};
    EXPECT_EQ(library.ExecN(first, 1, argv, OnStarted), 0);
    EXPECT_EQ(startedCalls, 0);
    EXPECT_EQ(library.CloseCodecN(first), 0);
    library.Unload();
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.ExecN, nullptr);
    library.Unload();
}

TEST(CodecLibrary, AMissingLibraryOrEntryIsNotLoaded) {
    zavreo::CodecLibrary library;
    EXPECT_FALSE(library.Load("/nonexistent/libFlashX.so"));
    // A real library without the entry points.
    EXPECT_FALSE(library.Load("libm.so.6"));
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.Startup, nullptr);
}
