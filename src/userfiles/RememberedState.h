#pragma once
// What the program remembers of the last run beside the settings of config.lst: the volume, the
// mute switch, the play mode, the camera's output size and the main window's place. It lies in a
// file of its own, "state.lst" beside config.lst: one line of JSON, replaced in one step at exit.
// Each member stands alone: a missing, damaged or out-of-range member gives that member's
// default, and a missing or damaged file gives the defaults of all. Interface thread only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zavreo {

inline constexpr char kRememberedStateFileName[] = "state.lst";

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

struct FrameSize {
    int width = 0;
    int height = 0;
    bool operator==(const FrameSize&) const = default;
};

struct RememberedState {
    static constexpr int kMaxVolume = 1000;
    static constexpr int kDefaultVolume = 500;
    static constexpr int kDefaultPlayMode = 2;  // list loop
    static constexpr int kLastPlayMode = 3;
    static constexpr int kMaxFrameSide = 16384;
    // Far beyond any desktop, yet no sum of a place and a window size overflows.
    static constexpr int kMaxCoordinate = 1 << 20;

    int volume = kDefaultVolume;
    bool muted = false;
    int playMode = kDefaultPlayMode;
    // None: the camera's best size.
    std::optional<FrameSize> cameraSize;
    // None: where the window is placed at a first start.
    std::optional<ScreenPoint> windowPlace;

    bool operator==(const RememberedState&) const = default;
};

class RememberedStateFile {
public:
    explicit RememberedStateFile(std::filesystem::path file);

    // The file's state; the defaults when it is missing, unreadable or not a JSON object.
    RememberedState Load() const;
    // Replaces the file in one step (its folder made first); false when it could not be written.
    bool Save(const RememberedState& state) const;

    // One line of the file, and the line written for a state.
    static RememberedState Parse(std::string_view line);
    static std::string Text(const RememberedState& state);

    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace zavreo
