// ZavreoConfig.dat as any bytes: read, and acted on with every answer, without failing.

#include <cstdlib>

#include "MemoryFile.h"
#include "UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemoryFile input(data, size);
    zavreo::UpdateDescription description;
    const bool read = zavreo::ReadUpdateDescription(input.Path(), description);
    for (const bool accept : {false, true}) {
        bool asked = false;
        zavreo::UpdatePrompts prompts{[] {},
                                      [&] {
                                          asked = true;
                                          return accept;
                                      },
                                      [] {}, [] {}};
        const zavreo::UpdateOutcome outcome = zavreo::DecideUpdate(input.Path(), prompts);
        // Only a readable description newer than the running release asks anything.
        const bool newer = read && description.updateTime > zavreo::kRunningRelease;
        if (asked != newer ||
            (outcome == zavreo::UpdateOutcome::kQuit && !(accept || description.mustUpdate == 1))) {
            std::abort();
        }
    }
    return 0;
}
