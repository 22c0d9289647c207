#include "SongTagCache.h"

#include <sys/resource.h>
#include <unistd.h>

#include <unordered_set>

#include "SongTagReader.h"

namespace zavreo {

namespace {

constexpr int kNotifyMs = 200;
// A file that holds the discoverer this long is given up (a busy machine reading a song at the
// worker's low priority may take a second or two); the exit waits for it at most this long.
constexpr std::chrono::seconds kReadTimeout(5);
constexpr int kWorkerNice = 10;

}  // namespace

SongTagCache::SongTagCache(QObject* parent) : QObject(parent) {
    notify_.setSingleShot(true);
    notify_.setInterval(kNotifyMs);
    connect(&notify_, &QTimer::timeout, this, &SongTagCache::TagsRead);
    worker_ = std::thread([this] { Work(); });
}

SongTagCache::~SongTagCache() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

const SongTags* SongTagCache::Find(const std::string& path) const {
    const auto found = tags_.find(path);
    return found != tags_.end() && found->second ? &*found->second : nullptr;
}

bool SongTagCache::Known(const std::string& path) const {
    return tags_.count(path) != 0;
}

void SongTagCache::Want(const std::string& path) {
    if (Known(path) || path.empty()) {
        return;
    }
    // Asked for once already, or queued in the background: it goes ahead of the others, once.
    bool& urgent = asked_[path];
    if (urgent) {
        return;
    }
    urgent = true;
    {
        const std::lock_guard lock(mutex_);
        urgent_.push_back(path);
    }
    wake_.notify_one();
}

void SongTagCache::WantLater(const std::vector<std::string>& paths) {
    {
        const std::lock_guard lock(mutex_);
        for (const std::string& path : paths) {
            if (!path.empty() && !Known(path) && asked_.emplace(path, false).second) {
                later_.push_back(path);
            }
        }
    }
    wake_.notify_one();
}

// Worker thread.
void SongTagCache::Work() {
    // Reading every song of long lists must not take the processor from the camera and the sound.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    SongTagReader reader(kReadTimeout);
    std::unordered_set<std::string> read;
    while (true) {
        std::string path;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !urgent_.empty() || !later_.empty(); });
            if (stop_) {
                return;
            }
            std::deque<std::string>& queue = urgent_.empty() ? later_ : urgent_;
            path = std::move(queue.front());
            queue.pop_front();
        }
        if (!read.insert(path).second) {
            continue;
        }
        std::optional<SongTags> tags = reader.Read(path);
        if (tags && tags->title.empty() && tags->artist.empty()) {
            tags.reset();
        }
        QMetaObject::invokeMethod(
            this, [this, path, tags] { Store(path, tags); }, Qt::QueuedConnection);
    }
}

void SongTagCache::Store(const std::string& path, const std::optional<SongTags>& tags) {
    tags_[path] = tags;
    asked_.erase(path);
    if (!notify_.isActive()) {
        notify_.start();
    }
}

}  // namespace zavreo
