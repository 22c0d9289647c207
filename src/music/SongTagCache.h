#pragma once
// The songs' tags, read once per run in the background and kept. Songs the user sees or plays are
// asked for first (Want); the rest of the lists follow at a lower priority (WantLater), so that a
// search soon knows every title. Where no tags are known yet the program shows file names.
//
// Threads: every public method and the TagsRead signal run on the interface thread, which alone
// touches the kept tags. One worker thread, at a lower scheduling priority, reads the files in
// turn; the queue between them is guarded by `mutex_`, and results come back as queued calls.

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "SongTags.h"

namespace zavreo {

class SongTagCache : public QObject {
    Q_OBJECT
public:
    explicit SongTagCache(QObject* parent = nullptr);
    // Waits for the file being read, if any.
    ~SongTagCache() override;

    // The tags of `path`; null while it has not been read, or when it has no title nor artist.
    const SongTags* Find(const std::string& path) const;
    // Whether `path` has been read (with or without tags).
    bool Known(const std::string& path) const;
    // Reads `path` before the songs asked for with WantLater.
    void Want(const std::string& path);
    void WantLater(const std::vector<std::string>& paths);

signals:
    // Tags came in since the last signal (at most five times a second).
    void TagsRead();

private:
    void Work();
    void Store(const std::string& path, const std::optional<SongTags>& tags);

    // Interface thread.
    std::unordered_map<std::string, std::optional<SongTags>> tags_;
    // Songs queued for reading: true for those asked for first.
    std::unordered_map<std::string, bool> asked_;
    QTimer notify_;

    // Shared with the worker, under `mutex_`.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> urgent_;
    std::deque<std::string> later_;
    bool stop_ = false;

    std::thread worker_;
};

}  // namespace zavreo
