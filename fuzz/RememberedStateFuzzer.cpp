// state.lst as any bytes: reading gives a state whose every member is in range, and what is
// written for that state reads back to the very same state and text.

#include <cstdlib>

#include "MemoryFile.h"
#include "RememberedState.h"

namespace {

bool InRange(const zavreo::RememberedState& state) {
    using zavreo::RememberedState;
    const bool camera =
        !state.cameraSize || (state.cameraSize->width >= 1 && state.cameraSize->height >= 1 &&
                              state.cameraSize->width <= RememberedState::kMaxFrameSide &&
                              state.cameraSize->height <= RememberedState::kMaxFrameSide);
    const auto within = [](int value) {
        return value >= -RememberedState::kMaxCoordinate &&
               value <= RememberedState::kMaxCoordinate;
    };
    const bool place =
        !state.windowPlace || (within(state.windowPlace->x) && within(state.windowPlace->y));
    return state.volume >= 0 && state.volume <= RememberedState::kMaxVolume &&
           state.playMode >= 0 && state.playMode <= RememberedState::kLastPlayMode && camera &&
           place;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemoryFile input(data, size);
    const zavreo::RememberedState loaded = zavreo::RememberedStateFile(input.Path()).Load();
    if (!InRange(loaded)) {
        std::abort();
    }
    const std::string text = zavreo::RememberedStateFile::Text(loaded);
    const zavreo::RememberedState again = zavreo::RememberedStateFile::Parse(text);
    if (!(again == loaded) || zavreo::RememberedStateFile::Text(again) != text) {
        std::abort();
    }
    return 0;
}
