#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <sstream>

#include "TestHttpServer.h"
#include "UpdateCheck.h"

namespace {

using zavreo::UpdateOutcome;

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Records what the user was asked and answers as told.
struct Dialogue {
    bool acceptUpgrade = false;
    std::vector<std::string> events;

    zavreo::UpdatePrompts Prompts() {
        return {[this] { events.push_back("splash closed"); },
                [this] {
                    events.push_back("asked");
                    return acceptUpgrade;
                },
                [this] { events.push_back("must upgrade"); },
                [this] { events.push_back("updater started"); }};
    }
};

class UpdateCheckTest : public ::testing::Test {
protected:
    std::filesystem::path File() const {
        return std::filesystem::path(dir_.path().toStdString()) / zavreo::kUpdateFileName;
    }
    int Download() {
        return zavreo::DownloadToFile(zavreo::UpdateUrl(server_.Host(), 1234), File());
    }
    UpdateOutcome Check(Dialogue& dialogue) {
        Download();
        return zavreo::DecideUpdate(File(), dialogue.Prompts());
    }
    size_t FilesInFolder() const {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(File().parent_path()),
                          std::filesystem::directory_iterator()));
    }

    QTemporaryDir dir_;
    TestHttpServer server_;
};

}  // namespace

TEST(UpdateUrl, CarriesThePathAndTheTimeAsSigned32Bit) {
    EXPECT_EQ(zavreo::UpdateUrl("up.example:8080", 1700000000),
              "http://up.example:8080/zv-helper/Config/ZavreoConfig.dat?ts=1700000000");
    EXPECT_EQ(zavreo::UpdateUrl("h", -2147483647 - 1),
              "http://h/zv-helper/Config/ZavreoConfig.dat?ts=-2147483648");
}

TEST_F(UpdateCheckTest, TheRunningReleaseAsksNothingANewerOneAsks) {
    server_.SetReply(TestHttpServer::Reply(R"({"updatetime":17,"isMustUpdate":1})"
                                           "\n"));
    Dialogue same;
    EXPECT_EQ(Check(same), UpdateOutcome::kGoOn);
    EXPECT_TRUE(same.events.empty());
    ASSERT_EQ(server_.RequestLines().size(), 1u);
    EXPECT_EQ(server_.RequestLines()[0], "GET /zv-helper/Config/ZavreoConfig.dat?ts=1234 HTTP/1.1");

    server_.SetReply(
        TestHttpServer::Reply(R"({"downloadpath":"x","isMustUpdate":0,"updatetime":18})"
                              "\n"));
    Dialogue newer;
    EXPECT_EQ(Check(newer), UpdateOutcome::kGoOn);
    EXPECT_EQ(newer.events, (std::vector<std::string>{"splash closed", "asked"}));
}

TEST_F(UpdateCheckTest, DecliningAMandatoryUpdateEndsTheProgram) {
    server_.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":1,"updatetime":20})"));
    Dialogue declined;
    EXPECT_EQ(Check(declined), UpdateOutcome::kQuit);
    EXPECT_EQ(declined.events,
              (std::vector<std::string>{"splash closed", "asked", "must upgrade"}));

    Dialogue accepted;
    accepted.acceptUpgrade = true;
    EXPECT_EQ(Check(accepted), UpdateOutcome::kQuit);
    EXPECT_EQ(accepted.events,
              (std::vector<std::string>{"splash closed", "asked", "updater started"}));

    // Only the number 1 makes it mandatory: without the member, as text or any other number the
    // user may decline and go on.
    for (const std::string member : {"", R"("isMustUpdate":"1",)", R"("isMustUpdate":2,)"}) {
        server_.SetReply(TestHttpServer::Reply("{" + member + R"("updatetime":20})"));
        Dialogue optional;
        EXPECT_EQ(Check(optional), UpdateOutcome::kGoOn) << member;
        EXPECT_EQ(optional.events, (std::vector<std::string>{"splash closed", "asked"}));
    }
}

TEST_F(UpdateCheckTest, WithoutNetworkTheLastGoodFileIsRead) {
    server_.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":1,"updatetime":18})"));
    ASSERT_EQ(Download(), 0);

    // A port nobody listens on: refused at once.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(zavreo::DownloadToFile(zavreo::UpdateUrl("127.0.0.1:1", 1), File()), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    Dialogue offline;
    EXPECT_EQ(zavreo::DecideUpdate(File(), offline.Prompts()), UpdateOutcome::kQuit);
    EXPECT_EQ(offline.events.size(), 3u);
}

TEST_F(UpdateCheckTest, AHalfSentBodyDoesNotReplaceTheLastGoodFile) {
    const std::string good = R"({"isMustUpdate":0,"updatetime":17})"
                             "\n";
    server_.SetReply(TestHttpServer::Reply(good));
    ASSERT_EQ(Download(), 0);
    ASSERT_EQ(ReadAll(File()), good);

    const std::string newer = R"({"isMustUpdate":1,"updatetime":99,"downloadpath":"http://x/y"})";
    server_.SetReply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(newer.size()) +
                     "\r\n\r\n" + newer.substr(0, newer.size() / 2));
    EXPECT_EQ(Download(), -1);
    EXPECT_EQ(ReadAll(File()), good);
    EXPECT_EQ(FilesInFolder(), 1u);
    Dialogue dialogue;
    EXPECT_EQ(zavreo::DecideUpdate(File(), dialogue.Prompts()), UpdateOutcome::kGoOn);
    EXPECT_TRUE(dialogue.events.empty());
}

TEST_F(UpdateCheckTest, AnEndlessBodyIsCutOffAndKeepsTheLastGoodFile) {
    const std::string good = R"({"isMustUpdate":0,"updatetime":17})";
    server_.SetReply(TestHttpServer::Reply(good));
    ASSERT_EQ(Download(), 0);

    server_.SetReply(TestHttpServer::Reply(std::string(3 << 20, ' ') + good));
    EXPECT_EQ(Download(), -1);
    EXPECT_EQ(ReadAll(File()), good);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(UpdateCheckTest, AnErrorPageOrNoFileGoesOnWithoutAsking) {
    Dialogue nothing;
    EXPECT_EQ(zavreo::DecideUpdate(File(), nothing.Prompts()), UpdateOutcome::kGoOn);

    server_.SetReply(TestHttpServer::Reply("<html>404 Not Found</html>", 404));
    Dialogue errorPage;
    EXPECT_EQ(Check(errorPage), UpdateOutcome::kGoOn);
    EXPECT_TRUE(errorPage.events.empty());
    EXPECT_FALSE(std::filesystem::exists(File()));

    // Only the first line is the description.
    server_.SetReply(TestHttpServer::Reply("\n{\"updatetime\":30}\n"));
    Dialogue secondLine;
    EXPECT_EQ(Check(secondLine), UpdateOutcome::kGoOn);
    EXPECT_TRUE(secondLine.events.empty());
}

// Only a 200 answer whose body is a JSON object replaces the last good description.
TEST_F(UpdateCheckTest, ErrorPagesRedirectsAndBrokenJsonKeepTheLastGoodFile) {
    const std::string good = R"({"isMustUpdate":1,"updatetime":18})";
    server_.SetReply(TestHttpServer::Reply(good));
    ASSERT_EQ(Download(), 0);
    const std::string replies[] = {
        TestHttpServer::Reply(R"({"isMustUpdate":0,"updatetime":17})", 404),
        TestHttpServer::Reply(R"({"isMustUpdate":0,"updatetime":17})", 500),
        "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 2\r\n\r\n{}",
        TestHttpServer::Reply(R"({"isMustUpdate":0,"updatetime":)"),
        TestHttpServer::Reply("[17]"),
        TestHttpServer::Reply(""),
    };
    for (const std::string& reply : replies) {
        server_.SetReply(reply);
        EXPECT_EQ(Download(), -1) << reply;
        EXPECT_EQ(ReadAll(File()), good);
    }
    EXPECT_EQ(FilesInFolder(), 1u);
}

// The start waits for the check: a server that never answers, or sends a byte a second, must not
// hold the window back by more than a few seconds.
TEST(UpdateDownload, ASilentOrDrippingServerIsGivenUpWithinFiveSeconds) {
    QTemporaryDir dir;
    const std::filesystem::path file =
        std::filesystem::path(dir.path().toStdString()) / zavreo::kUpdateFileName;
    const std::string good = R"({"isMustUpdate":0,"updatetime":17})";
    std::ofstream(file) << good;
    for (const bool silent : {true, false}) {
        TestHttpServer server;
        server.SetReply(TestHttpServer::Reply(R"({"isMustUpdate":1,"updatetime":99})"));
        silent ? server.SetSilent() : server.SetDrip(std::chrono::milliseconds(300));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(zavreo::DownloadToFile(zavreo::UpdateUrl(server.Host(), 1), file), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(ReadAll(file), good);
    }
}

TEST(UpdateDescription, AFifoOrEndlessDeviceReadsAsNoDescription) {
    QTemporaryDir dir;
    const std::filesystem::path folder(dir.path().toStdString());
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (folder / "zero").c_str()), 0);
    for (const char* name : {"fifo", "zero"}) {
        zavreo::UpdateDescription description;
        EXPECT_FALSE(zavreo::ReadUpdateDescription(folder / name, description)) << name;
    }
}
