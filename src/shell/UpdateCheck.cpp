#include "UpdateCheck.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "AtomicFile.h"
#include "JsonLine.h"

namespace zavreo {

namespace {

constexpr char kDefaultUpdateHost[] = "update.zavreo.com";
// The window waits for the check: whatever the server does (nothing, or a byte a second), the
// transfer is over within a few seconds, so the window is up within about five.
constexpr long kConnectTimeoutMs = 3000;
constexpr long kTransferTimeoutMs = 4000;
// Less than this many bytes a second for kStallSeconds is a stalled transfer.
constexpr long kLowSpeedBytes = 32;
constexpr long kStallSeconds = 2;
// The description is a line of JSON: a server that streams without end must not fill memory.
constexpr size_t kMaxBodyBytes = 1 << 20;

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    std::string& body = *static_cast<std::string*>(user);
    if (body.size() + size * count > kMaxBodyBytes) {
        return 0;  // aborts the transfer
    }
    body.append(data, size * count);
    return size * count;
}

// The whole body of a 200 answer; nullopt for any other status or a failed transfer.
std::optional<std::string> Fetch(const std::string& url) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return std::nullopt;
    }
    std::string body;
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK || status != 200) {
        return std::nullopt;
    }
    return body;
}

// What the reader will take from the file: its first line must be a JSON object.
bool IsDescription(const std::string& body) {
    Json::Value root;
    return ParseJsonLine(body.substr(0, body.find('\n')), root) && root.isObject();
}

}  // namespace

std::string UpdateHost() {
    const char* host = std::getenv("ZAVREO_UPDATE_HOST");
    return host != nullptr && host[0] != '\0' ? host : kDefaultUpdateHost;
}

std::string UpdateUrl(const std::string& host, int32_t now) {
    const std::string fixed = "http://" + host + "/zv-helper/Config/ZavreoConfig.dat?ts=";
    char url[1024];
    std::snprintf(url, sizeof url, "%s%d", fixed.c_str(), static_cast<int>(now));
    return url;
}

int DownloadToFile(const std::string& url, const std::filesystem::path& file) {
    const std::optional<std::string> body = Fetch(url);
    if (!body || !IsDescription(*body)) {
        return -1;
    }
    return WriteFileAtomically(file, *body) ? 0 : -1;
}

bool ReadUpdateDescription(const std::filesystem::path& file, UpdateDescription& out) {
    Json::Value root;
    if (!ReadJsonFirstLine(file, root)) {
        return false;
    }
    out.updateTime = JsonInt(root, "updatetime");
    out.mustUpdate = JsonInt(root, "isMustUpdate");
    return true;
}

UpdateOutcome DecideUpdate(const std::filesystem::path& file, const UpdatePrompts& prompts) {
    UpdateDescription description;
    if (!ReadUpdateDescription(file, description) || description.updateTime <= kRunningRelease) {
        return UpdateOutcome::kGoOn;
    }
    // The question must not hide behind the splash.
    if (prompts.closeSplash) {
        prompts.closeSplash();
    }
    if (prompts.askUpgrade()) {
        prompts.startUpdater();
        return UpdateOutcome::kQuit;
    }
    if (description.mustUpdate == 1) {
        prompts.tellMustUpgrade();
        return UpdateOutcome::kQuit;
    }
    return UpdateOutcome::kGoOn;
}

}  // namespace zavreo
