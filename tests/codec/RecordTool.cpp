// Records through libFlashX.so as the program does, for tests and hand measurements:
//   flashx-record OUTPUT AUDIO_NAME SECONDS [LIBRARY]
// Prints "started" when the library reports the start, stops after SECONDS (0: when standard
// input closes) and exits with ExecN's result. A write beyond a file size limit fails instead of
// ending the process, as a full disk would.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CodecLibrary.h"
#include "RecordArguments.h"

namespace {
int OnStarted(int32_t, void*) {
    std::puts("started");
    std::fflush(stdout);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: flashx-record OUTPUT AUDIO_NAME SECONDS [LIBRARY]\n", stderr);
        return 2;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    zavreo::CodecLibrary library;
    if (!library.Load(argc > 4 ? argv[4] : ZAVREO_BIN_DIR "/libFlashX.so")) {
        std::fputs("cannot load the recorder library\n", stderr);
        return 2;
    }
    library.Startup(nullptr);
    const int32_t codec = library.CreateCodecN();
    std::vector<std::string> args =
        zavreo::RecordArguments(zavreo::RecordInputText(argv[2]), argv[1]);
    std::vector<char*> pointers;
    for (auto& arg : args) {
        pointers.push_back(arg.data());
    }
    const double seconds = std::atof(argv[3]);
    std::thread stopper([&] {
        if (seconds > 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        } else {
            while (std::getchar() != EOF) {
            }
        }
        library.CloseCodecN(codec);
    });
    stopper.detach();
    const int result =
        library.ExecN(codec, static_cast<int>(pointers.size()), pointers.data(), &OnStarted);
    std::printf("ended %d\n", result);
    std::fflush(stdout);
    // The stopper may still sleep inside the library's caller; leave without unloading.
    std::_Exit(result == 0 ? 0 : 1);
}
