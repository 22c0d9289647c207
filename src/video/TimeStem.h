#pragma once
// The file-name stem of photos and recordings: local year, month, day, hour, minute and second
// and a random number, "%d_%d_%d_%d_%d_%d_%d", numbers without leading zeros. The random number
// comes from a generator seeded once per run, so two runs do not draw the same ones. Each call
// returns its own string, so the interface thread (photos) and the recording thread may call at
// once.

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

namespace zavreo {

std::string MakeTimeStem();
// The stem for the moment `now` and the random value `random`. A moment that local time cannot
// convert gives 0 for year, month and day and -1 for hour, minute and second.
std::string MakeTimeStem(std::time_t now, int random);

// Creates "<stem><extension>" in `folder`, empty and readable by its owner only, never over an
// existing file (another stem is drawn then); the path, or an empty one with the errno value of
// the failure in `error`. The stems come from `stems` (empty: MakeTimeStem).
std::filesystem::path CreateTimeStemFile(const std::filesystem::path& folder,
                                         const std::string& extension, int* error,
                                         const std::function<std::string()>& stems = {});

}  // namespace zavreo
