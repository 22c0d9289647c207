#pragma once
// Encodes mono float samples as an MP3 file through the FFmpeg libraries. The file appears under
// its name only when complete.

#include <filesystem>
#include <vector>

bool WriteMp3(const std::filesystem::path& path, const std::vector<float>& samples, int rate);
