#pragma once
// Runs blocking work (a lyrics request) on a worker thread and hands its result back on the
// interface thread, so the windows stay responsive while a server is slow. Starting a new job
// cancels the one before (its result is dropped); destruction cancels and waits for the workers,
// which see the cancel flag within about a second. Start and the result callbacks run on the
// interface thread; `work` runs on a worker thread and shares only its cancel flag.

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <thread>
#include <utility>

namespace zavreo {

class AsyncJob : public QObject {
public:
    using QObject::QObject;
    ~AsyncJob() override {
        CancelAll();
        for (Worker& worker : workers_) {
            worker.thread.join();
        }
    }

    template <class Result>
    void Start(std::function<Result(const std::atomic<bool>& cancel)> work,
               std::function<void(Result)> done) {
        Reap();
        CancelAll();
        const int generation = ++generation_;
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, work = std::move(work), done = std::move(done), cancel, finished,
                            generation]() mutable {
            Result result = work(*cancel);
            // Queued to the interface thread; dropped when a newer job started meanwhile.
            QMetaObject::invokeMethod(
                this,
                [this, done = std::move(done), result = std::move(result), generation]() mutable {
                    if (generation == generation_) {
                        done(std::move(result));
                    }
                },
                Qt::QueuedConnection);
            *finished = true;
        });
        workers_.push_back({std::move(thread), cancel, finished});
    }

    // Drops the result of the running job, if any.
    void Cancel() {
        ++generation_;
        CancelAll();
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void CancelAll() {
        for (Worker& worker : workers_) {
            *worker.cancel = true;
        }
    }
    void Reap() {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (*it->finished) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::list<Worker> workers_;
    int generation_ = 0;  // interface thread only
};

}  // namespace zavreo
