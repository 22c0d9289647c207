#pragma once
// The update check at start: the update description ZavreoConfig.dat is fetched from the update
// server into the configuration folder, and a release number above the running one offers the
// updater. A failed or broken-off download keeps the last good file, which is read instead.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace zavreo {

inline constexpr int kRunningRelease = 17;
inline constexpr char kUpdateFileName[] = "ZavreoConfig.dat";
inline constexpr char kUpdaterProgram[] = "ZavreoUpData";
inline constexpr char kUpgradeQuestion[] = "发现Zavreo直播助手新版本，是否升级";
inline constexpr char kUpgradeCaption[] = "Zavreo直播助手更新提示";
inline constexpr char kMustUpgradeText[] = "Zavreo直播助手必须升级后方可使用";

// host[:port] from ZAVREO_UPDATE_HOST, else the product's own update host.
std::string UpdateHost();

// "http://HOST/zv-helper/Config/ZavreoConfig.dat?ts=" followed by `now` (seconds since 1970,
// as a signed 32-bit number) so that no cache answers.
std::string UpdateUrl(const std::string& host, int32_t now);

// Fetches `url` into `file`. Returns 0 when a 200 answer's whole body, whose first line is a JSON
// object, replaced the file; -1 otherwise (no connection within a few seconds, a silent, stalled,
// broken-off, endless or oversized transfer, any other status, an error page or broken JSON, a
// folder that cannot be written): the last good file then stays as it was. Over within about four
// seconds whatever the server does. Blocks the calling thread; safe on any thread.
int DownloadToFile(const std::string& url, const std::filesystem::path& file);

struct UpdateDescription {
    int updateTime = 0;
    int mustUpdate = 0;
};

// Reads the first line of the description; false when the file is absent or not JSON.
bool ReadUpdateDescription(const std::filesystem::path& file, UpdateDescription& out);

// What the user is asked and what is started, supplied by the main window (message boxes, the
// splash, the updater) and by tests.
struct UpdatePrompts {
    std::function<void()> closeSplash;
    std::function<bool()> askUpgrade;  // true: OK
    std::function<void()> tellMustUpgrade;
    std::function<void()> startUpdater;
};

enum class UpdateOutcome { kGoOn, kQuit };

// Acts on the description file left by the download (or by an earlier run).
UpdateOutcome DecideUpdate(const std::filesystem::path& file, const UpdatePrompts& prompts);

}  // namespace zavreo
