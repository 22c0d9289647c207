#pragma once
// The main window as the tests build it: a fresh home, resources from the program's folder, an
// update server of the test's own, and a message box nobody answers failing the test.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TestHttpServer.h"

template <typename Predicate>
inline bool SpinUntil(Predicate done, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh home, resources from the program's folder, and an update server of the test's own.
class MainWindowTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() { shm_unlink(qgetenv("ZAVREO_SHARED_FRAME").constData()); }
    void SetUp() override {
        qputenv("HOME", home_.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("ZAVREO_UPDATE_HOST", server_.Host().c_str());
        qputenv("ZAVREO_AUDIO_SINK", "fakesink");
        qputenv("ZAVREO_SHARED_FRAME", "/zavreo-main-window-test-" + QByteArray::number(getpid()));
        server_.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":0,"updatetime":17})"));
        ASSERT_EQ(chdir(ZAVREO_BIN_DIR), 0);
        // A message box nobody answers would hold the test until CTest's timeout: it fails the
        // test at once instead, and is declined so the test runs to its end.
        QObject::connect(&unexpectedMessages_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || answersMessages_) {
                return;
            }
            ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
            box->done(QMessageBox::Cancel);
        });
        unexpectedMessages_.start(100);
    }
    std::filesystem::path Config() const {
        return std::filesystem::path(home_.path().toStdString()) / ".config" / "ZavreoZhuShou" /
               "Config";
    }

    QTemporaryDir home_;
    TestHttpServer server_;
    QTimer unexpectedMessages_;
    bool answersMessages_ = false;  // set by the tests that answer message boxes themselves
};
