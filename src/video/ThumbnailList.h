#pragma once
// The slideshow's pictures and their thumbnails. A path is listed as soon as it is added; its
// thumbnail is made on a worker thread and arrives later, and a path whose picture cannot be
// decoded is dropped when that is known. So adding hundreds of large photos never holds the
// interface thread.
//
// Threads: the public operations and signals belong to the thread that owns this object (the
// interface thread); the worker only decodes. The queue lock guards the queue and the stop flag.

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zavreo {

class ThumbnailList : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailList(QObject* parent = nullptr);
    ~ThumbnailList() override;

    void Add(const std::string& path);
    // Ignored outside 0 ... count - 1.
    void Remove(int index);
    void RemoveAll();

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Path(int index) const { return entries_[index].path; }
    std::vector<std::string> Paths() const;
    // Null until the thumbnail has been made.
    const QImage& Thumbnail(int index) const { return entries_[index].thumbnail; }
    // Thumbnails asked for and not yet made.
    int Pending() const { return pending_; }

    // 1-based; -1 or 0 for none, and a number beyond the count means none too.
    int Selection() const { return selection_; }
    void SetSelection(int selection);
    // The selected picture's 0-based index, or -1.
    int SelectedIndex() const;

signals:
    void Changed();
    // Every thumbnail asked for has arrived; `dropped` when a picture turned out unreadable.
    void Settled(bool dropped);

private:
    struct Entry {
        uint64_t id;
        std::string path;
        QImage thumbnail;
    };
    struct Request {
        uint64_t id;
        std::string path;
    };
    void Work();
    void Deliver(uint64_t id, QImage thumbnail);

    // Interface thread.
    std::vector<Entry> entries_;
    uint64_t nextId_ = 1;
    int pending_ = 0;
    bool dropped_ = false;
    int selection_ = -1;

    std::mutex queueLock_;
    std::condition_variable wake_;
    std::deque<Request> queue_;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace zavreo
