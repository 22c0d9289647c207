#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestFrames.h"
#include "VcamProcess.h"

using namespace zavreo;
namespace fs = std::filesystem;

TEST(VcamProcess, ACopyHoldingTheLockCountsAsRunning) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam-" + std::to_string(getpid()));
    fs::create_directories(dir);
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    VcamProcess process("/bin/sleep");  // exits at once without arguments, like a vcam
    EXPECT_FALSE(process.IsRunning());

    const int lock = open(VcamLockPath().c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    EXPECT_TRUE(VcamLockHeld());
    EXPECT_TRUE(process.Start());
    EXPECT_EQ(process.ChildPid(), -1);  // someone else's copy runs: none started
    close(lock);
    EXPECT_FALSE(VcamLockHeld());
    fs::remove_all(dir);
}

TEST(VcamProcess, StopEndsTheCopyItStarted) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam2-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "fake-vcam";
    {
        FILE* f = fopen(script.c_str(), "w");
        fputs("#!/bin/sh\nexec sleep 30\n", f);
        fclose(f);
        fs::permissions(script, fs::perms::owner_all);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    VcamProcess process(script.string());
    ASSERT_TRUE(process.Start());
    const pid_t pid = process.ChildPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(process.IsRunning());
    process.Stop();
    EXPECT_FALSE(process.IsRunning());
    EXPECT_NE(kill(pid, 0), 0);  // gone and reaped
    fs::remove_all(dir);
}

// Our copy hears on its descriptor 3 whether its camera is offered; the program's end closes it.
TEST(VcamProcess, OurCopyIsToldWhenItsCameraIsOfferedAndWithdrawn) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam3-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "fake-vcam";
    const fs::path heard = dir / "heard";
    {
        FILE* f = fopen(script.c_str(), "w");
        fprintf(f, "#!/bin/sh\n[ \"$1 $2\" = \"--control-fd 3\" ] || exit 9\nexec cat <&3 >%s\n",
                heard.c_str());
        fclose(f);
        fs::permissions(script, fs::perms::owner_all);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    const auto heardText = [&] {
        FILE* f = fopen(heard.c_str(), "r");
        std::string text;
        for (int c; f != nullptr && (c = fgetc(f)) != EOF;) {
            text += static_cast<char>(c);
        }
        if (f != nullptr) {
            fclose(f);
        }
        return text;
    };
    {
        VcamProcess process(script.string());
        ASSERT_TRUE(process.Start());
        process.Withdraw();
        ASSERT_TRUE(process.Start());  // running already: offered again
        EXPECT_TRUE(WaitFor([&] { return heardText() == "wo"; })) << heardText();
        EXPECT_TRUE(process.IsRunning());
        process.Stop();
        EXPECT_FALSE(process.IsRunning());
        process.Withdraw();  // nothing to tell, and no SIGPIPE
    }
    fs::remove_all(dir);
}

// The copy the program starts gets the block the program writes as its descriptor 4, named in
// its environment; nothing else that the program holds.
TEST(VcamProcess, OurCopyGetsTheProgramsBlockAsItsDescriptorFour) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam4-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "fake-vcam";
    const fs::path heard = dir / "heard";
    {
        FILE* f = fopen(script.c_str(), "w");
        fprintf(f, "#!/bin/sh\necho \"$%s $(readlink /proc/$$/fd/4)\" >%s\nexec sleep 30\n",
                kSharedFrameFdVariable, heard.c_str());
        fclose(f);
        fs::permissions(script, fs::perms::owner_all);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    ScopedEnv handed(kSharedFrameFdVariable, std::to_string(frame.ReaderDescriptor()).c_str());
    {
        VcamProcess process(script.string());
        ASSERT_TRUE(process.Start());
        ASSERT_TRUE(WaitFor([&] { return fs::exists(heard) && fs::file_size(heard) > 0; }));
        std::ifstream in(heard);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "4 /dev/shm" + name.Name());
        process.Stop();
    }
    fs::remove_all(dir);
}
