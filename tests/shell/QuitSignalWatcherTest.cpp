#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "QuitSignalWatcher.h"

namespace {
int RequestsAfter(int signalNumber) {
    QuitSignalWatcher watcher;
    int requests = 0;
    QObject::connect(&watcher, &QuitSignalWatcher::QuitRequested, [&] { ++requests; });
    raise(signalNumber);
    QElapsedTimer clock;
    clock.start();
    while (requests == 0 && clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return requests;
}
}  // namespace

TEST(QuitSignalWatcher, TermAndInterruptBecomeOneQuitRequestOnTheEventLoop) {
    EXPECT_EQ(RequestsAfter(SIGTERM), 1);
    EXPECT_EQ(RequestsAfter(SIGINT), 1);
}

TEST(QuitSignalWatcherDeathTest, ASecondTermEndsAProcessWhoseOrderlyEndIsStuck) {
    EXPECT_EXIT(
        {
            QuitSignalWatcher watcher;
            raise(SIGTERM);  // asks for the orderly end, which never comes here
            raise(SIGTERM);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}
