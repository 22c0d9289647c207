#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <thread>

#include "CSplashDlg.h"
#include "SplashPlacement.h"

namespace {

TEST(Splash, LiesWhereTheMainWindowsPreviewWillBe) {
    EXPECT_EQ(SplashGeometry(QRect(0, 0, 1920, 1040)), QRect(523, 406, 480, 360));
    // A work area that does not start at the origin shifts with it.
    EXPECT_EQ(SplashGeometry(QRect(100, 30, 1920, 1040)), QRect(623, 436, 480, 360));
    // Integer division truncates toward zero on small screens too.
    EXPECT_EQ(SplashGeometry(QRect(0, 0, 800, 600)), QRect(-36, 186, 480, 360));
}

TEST(Splash, InterfaceKeepsRunningWhileBlockingWorkRuns) {
    std::thread::id workThread;
    std::atomic<bool> handled{false};
    RunOffInterfaceThread([&] {
        workThread = std::this_thread::get_id();
        // Blocks until the interface thread has handled an event of its own.
        QMetaObject::invokeMethod(
            qApp, [&] { handled = true; }, Qt::QueuedConnection);
        for (int i = 0; i < 1000 && !handled; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_TRUE(handled);
    EXPECT_NE(workThread, std::this_thread::get_id());
    // Work that finishes at once returns at once.
    RunOffInterfaceThread([] {});
}

TEST(Splash, ShowsAndDismisses) {
    CSplashDlg splash;
    splash.ShowSplash();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(splash.size(), QSize(480, 360));
    splash.Dismiss();
    EXPECT_FALSE(splash.isVisible());
}

}  // namespace
