#include "UpdateCheck.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "JsonLine.h"

namespace zavreo {

namespace {

constexpr char kDefaultUpdateHost[] = "update.zavreo.com";
constexpr long kConnectTimeoutSeconds = 4;
// A transfer that moves less than one byte a second for this long is given up.
constexpr long kStallSeconds = 10;
// The description is a line of JSON: a server that trickles or streams without end must neither
// hold the start nor fill the disk.
constexpr long kTransferSeconds = 30;
constexpr size_t kMaxBodyBytes = 1 << 20;

struct Sink {
    int fd;
    size_t written = 0;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    const int fd = sink.fd;
    std::string_view rest(data, size * count);
    sink.written += rest.size();
    if (sink.written > kMaxBodyBytes) {
        return 0;  // aborts the transfer
    }
    while (!rest.empty()) {
        const ssize_t written = write(fd, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 0;  // aborts the transfer
        }
        rest.remove_prefix(static_cast<size_t>(written));
    }
    return size * count;
}

bool Fetch(const std::string& url, int fd) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return false;
    }
    Sink sink{fd};
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferSeconds);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return result == CURLE_OK;
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
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    fchmod(fd, 0644);
    const bool complete = Fetch(url, fd) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!complete || !closed || rename(temp.c_str(), file.c_str()) != 0) {
        unlink(temp.c_str());
        return -1;
    }
    return 0;
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
