#include "ThumbnailList.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "PictureFile.h"

namespace zavreo {

ThumbnailList::ThumbnailList(QObject* parent) : QObject(parent) {
    worker_ = std::thread(&ThumbnailList::Work, this);
}

ThumbnailList::~ThumbnailList() {
    {
        std::lock_guard lock(queueLock_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_one();
    worker_.join();
}

void ThumbnailList::Add(const std::string& path) {
    const uint64_t id = nextId_++;
    entries_.push_back({id, path, QImage()});
    ++pending_;
    {
        std::lock_guard lock(queueLock_);
        queue_.push_back({id, path});
    }
    wake_.notify_one();
    emit Changed();
}

void ThumbnailList::Remove(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    entries_.erase(entries_.begin() + index);
    emit Changed();
}

void ThumbnailList::RemoveAll() {
    entries_.clear();
    {
        // Requests not started yet are not needed any more.
        std::lock_guard lock(queueLock_);
        pending_ -= static_cast<int>(queue_.size());
        queue_.clear();
    }
    emit Changed();
    if (pending_ == 0) {
        emit Settled(std::exchange(dropped_, false));
    }
}

std::vector<std::string> ThumbnailList::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        paths.push_back(entry.path);
    }
    return paths;
}

void ThumbnailList::SetSelection(int selection) {
    selection_ = selection;
    emit Changed();
}

int ThumbnailList::SelectedIndex() const {
    return selection_ >= 1 && selection_ <= Count() ? selection_ - 1 : -1;
}

void ThumbnailList::Work() {
    // Decoding yields to the interface and streaming threads (Linux nices threads one by one).
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    for (;;) {
        Request request;
        {
            std::unique_lock lock(queueLock_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        QImage thumbnail = MakeThumbnail(request.path);
        QMetaObject::invokeMethod(
            this,
            [this, id = request.id, thumbnail = std::move(thumbnail)]() mutable {
                Deliver(id, std::move(thumbnail));
            },
            Qt::QueuedConnection);
    }
}

void ThumbnailList::Deliver(uint64_t id, QImage thumbnail) {
    --pending_;
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [id](const Entry& entry) { return entry.id == id; });
    if (found != entries_.end()) {
        if (thumbnail.isNull()) {
            entries_.erase(found);
            dropped_ = true;
        } else {
            found->thumbnail = std::move(thumbnail);
        }
        emit Changed();
    }
    if (pending_ == 0) {
        emit Settled(std::exchange(dropped_, false));
    }
}

}  // namespace zavreo
