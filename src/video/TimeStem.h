#pragma once
// The file-name stem of photos and recordings: local year, month, day, hour, minute and second
// and a random number, "%d_%d_%d_%d_%d_%d_%d", numbers without leading zeros. Each call returns
// its own string, so the interface thread (photos) and the recording thread may call it at once.

#include <ctime>
#include <string>

namespace zavreo {

std::string MakeTimeStem();
// The stem for the moment `now` and the random value `random`. A moment that local time cannot
// convert gives 0 for year, month and day and -1 for hour, minute and second.
std::string MakeTimeStem(std::time_t now, int random);

}  // namespace zavreo
