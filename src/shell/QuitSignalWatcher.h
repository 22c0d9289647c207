#pragma once
// SIGTERM and SIGINT (logout, shutdown, Ctrl+C) are how the session asks the program to quit;
// they are turned into a signal on the interface thread so that the orderly exit runs there.
// The handler only writes a byte into a pipe that the event loop watches. It does so once: a
// second signal meets the default action and ends the process.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class QuitSignalWatcher : public QObject {
    Q_OBJECT
public:
    // One per process: installs the handlers for SIGTERM and SIGINT.
    explicit QuitSignalWatcher(QObject* parent = nullptr);
    ~QuitSignalWatcher() override;

signals:
    void QuitRequested();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};
