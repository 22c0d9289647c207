#pragma once
// The stem of photo and recording file names: year, month, day, hour, minute, second and a
// random number, "%d_%d_%d_%d_%d_%d_%d" (local time, month from 1).

#include <string>

std::string MakeTimeStem();
