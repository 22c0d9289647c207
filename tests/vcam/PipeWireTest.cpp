// The virtual camera program as a PipeWire camera, read by a real client (pipewiresrc) in a
// private session: pictures, rate, formats, readers coming and going, a daemon restart, the node's
// end.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "PipeWireCamera.h"
#include "PipeWireReader.h"
#include "PipeWireSession.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

struct Bgr {
    int b, g, r;
};

// Pixel (x, y) as seen (0 = top): ramps and a pattern that tells neighbours and rows apart.
Bgr Seen(int x, int y) {
    return {x * 255 / 639, y * 255 / 479, (x * 7 + y * 13) & 255};
}

std::vector<uint8_t> SeenFrame() {
    std::vector<uint8_t> frame(kFrameBytes);
    for (int y = 0; y < kFrameHeight; ++y) {
        uint8_t* row = frame.data() + static_cast<size_t>(kFrameHeight - 1 - y) * kFrameStride;
        for (int x = 0; x < kFrameWidth; ++x) {
            const Bgr p = Seen(x, y);
            row[x * 3] = uint8_t(p.b), row[x * 3 + 1] = uint8_t(p.g), row[x * 3 + 2] = uint8_t(p.r);
        }
    }
    return frame;
}

// BT.601 studio range from the textbook's real-valued matrix.
double Y(double b, double g, double r) {
    return 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
}
double U(double b, double g, double r) {
    return 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
}
double V(double b, double g, double r) {
    return 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
}

// Bytes of a BGRx frame off from the seen picture (the padding byte is not compared).
int BgrxMismatches(const std::vector<uint8_t>& frame) {
    int bad = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const uint8_t* p = frame.data() + (static_cast<size_t>(y) * kFrameWidth + x) * 4;
            const Bgr want = Seen(x, y);
            bad += p[0] != want.b || p[1] != want.g || p[2] != want.r;
        }
    }
    return bad;
}

// The largest distance of a YUY2 frame from the seen picture's values; chroma from each pair.
double Yuy2Distance(const std::vector<uint8_t>& frame) {
    double worst = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; x += 2) {
            const uint8_t* p = frame.data() + (static_cast<size_t>(y) * kFrameWidth + x) * 2;
            const Bgr a = Seen(x, y), c = Seen(x + 1, y);
            const double b = (a.b + c.b) / 2.0, g = (a.g + c.g) / 2.0, r = (a.r + c.r) / 2.0;
            worst = std::max({worst, std::abs(p[0] - Y(a.b, a.g, a.r)),
                              std::abs(p[2] - Y(c.b, c.g, c.r)), std::abs(p[1] - U(b, g, r)),
                              std::abs(p[3] - V(b, g, r))});
        }
    }
    return worst;
}

// The virtual camera program, PipeWire only (no loopback device here), with a control socket.
class Vcam {
public:
    // With `handedDown` (a descriptor of the block), started as the program starts it: the block
    // as its descriptor 4, named in the environment.
    explicit Vcam(const std::string& sharedFrame, int handedDown = -1) {
        int pair[2];
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair);
        control_ = pair[0];
        // Above 4, so that placing the control socket cannot overwrite it.
        const int block = handedDown >= 0 ? fcntl(handedDown, F_DUPFD_CLOEXEC, 10) : -1;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pair[1], 3);
            if (block >= 0) {
                dup2(block, 4);
                setenv(kSharedFrameFdVariable, "4", 1);
            }
            setenv("ZAVREO_SHARED_FRAME", sharedFrame.c_str(), 1);
            const std::string program = std::string(ZAVREO_BIN_DIR) + "/zavreo-vcam";
            execl(program.c_str(), program.c_str(), "--control-fd", "3", nullptr);
            _exit(127);
        }
        close(pair[1]);
        if (block >= 0) {
            close(block);
        }
    }
    ~Vcam() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(control_);
    }
    void Tell(char command) { send(control_, &command, 1, MSG_NOSIGNAL); }
    void CloseControl() {
        close(control_);
        control_ = -1;
    }
    // The exit status once it ended within `seconds`, else -1.
    int WaitExit(double seconds) {
        int status = 0;
        if (!WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds)) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Terminate() { kill(pid_, SIGTERM); }
    bool Alive() const { return pid_ > 0 && kill(pid_, 0) == 0; }

private:
    pid_t pid_ = -1;
    int control_ = -1;
};

bool NodeShown(bool shown, double seconds = 5) {
    return WaitFor([&] { return PipeWireSession::HasNode(kPipeWireNodeName) == shown; }, seconds);
}

// Frames pulled over `seconds`, counting those `good` accepts.
struct Reading {
    int frames = 0;
    int good = 0;
};
template <typename Good>
Reading Read(PipeWireReader& reader, double seconds, Good good) {
    Reading reading;
    // The first frame may take a while: the session manager links the reader first.
    auto first = reader.Pull(5);
    if (!first) {
        return reading;
    }
    const auto end = first->arrived + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    for (auto frame = std::move(first); frame && frame->arrived < end; frame = reader.Pull(1)) {
        ++reading.frames;
        reading.good += good(frame->bytes);
    }
    return reading;
}

class VcamPipeWire : public ::testing::Test {
protected:
    void SetUp() override {
        if (!session_.Running()) {
            GTEST_FAIL() << "the private PipeWire session did not start";
        }
        picture_.Write(SeenFrame().data());
    }
    PipeWireSession session_;
    ScopedFrameName name_;
    SharedFrame picture_{name_.Name()};
};

}  // namespace

TEST_F(VcamPipeWire, ReadersComingAndGoingGetTheSharedFrameUprightAtTheSteadyRate) {
    Vcam vcam(name_.Name());
    ASSERT_TRUE(NodeShown(true)) << "no node named " << kPipeWireNodeName;
    {
        PipeWireReader reader(kPipeWireNodeName, "BGRx");
        const Reading reading = Read(reader, 2.0, [](const std::vector<uint8_t>& frame) {
            return frame.size() == size_t(kFrameWidth) * kFrameHeight * 4 &&
                   BgrxMismatches(frame) == 0;
        });
        EXPECT_GE(reading.frames, 24) << "fewer than 12 frames a second";
        EXPECT_EQ(reading.good, reading.frames);
    }
    // A second reader after the first left, in a YUV format.
    {
        PipeWireReader reader(kPipeWireNodeName, "YUY2");
        double worst = 0;
        const Reading reading = Read(reader, 1.0, [&](const std::vector<uint8_t>& frame) {
            if (frame.size() != size_t(kFrameWidth) * kFrameHeight * 2) {
                return false;
            }
            worst = std::max(worst, Yuy2Distance(frame));
            return true;
        });
        EXPECT_GE(reading.frames, 12);
        EXPECT_EQ(reading.good, reading.frames);
        EXPECT_LE(worst, 1.5) << "beyond conversion rounding";
    }
    // A third, after a new picture: it sees the new one.
    std::vector<uint8_t> white(kFrameBytes, 255);
    picture_.Write(white.data());
    {
        PipeWireReader reader(kPipeWireNodeName, "I420");
        const Reading reading = Read(reader, 1.0, [](const std::vector<uint8_t>& frame) {
            return frame.size() == size_t(kFrameWidth) * kFrameHeight * 3 / 2 && frame[0] == 235 &&
                   frame[kFrameWidth * kFrameHeight - 1] == 235 && frame.back() == 128;
        });
        EXPECT_GE(reading.frames, 12);
        EXPECT_GE(reading.good, reading.frames - 1);  // one frame may predate the write
    }
    vcam.Terminate();
    EXPECT_EQ(vcam.WaitExit(5), 0);
    EXPECT_TRUE(NodeShown(false)) << "the node outlived the program";
}

TEST_F(VcamPipeWire, ADaemonRestartIsFoundAgainWithoutRestartingTheProgram) {
    Vcam vcam(name_.Name());
    ASSERT_TRUE(NodeShown(true));
    session_.KillPipeWire();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(vcam.Alive()) << "the program ended with its daemon";
    ASSERT_TRUE(session_.StartPipeWire());
    EXPECT_TRUE(NodeShown(true, 5)) << "the node did not come back within seconds";
    PipeWireReader reader(kPipeWireNodeName, "BGRx");
    const Reading reading = Read(
        reader, 1.0, [](const std::vector<uint8_t>& frame) { return BgrxMismatches(frame) == 0; });
    EXPECT_GE(reading.frames, 12);
    EXPECT_EQ(reading.good, reading.frames);
}

// Started by the program, the camera serves the block the program writes: not black when its
// name is removed, not another process's picture when one takes the name.
TEST_F(VcamPipeWire, TheBlockHandedDownIsServedWhateverItsNameComesToPointAt) {
    Vcam vcam(name_.Name(), picture_.ReaderDescriptor());
    ASSERT_TRUE(NodeShown(true));
    ASSERT_EQ(shm_unlink(name_.Name().c_str()), 0);
    SharedFrame taker(name_.Name());
    taker.Write(std::vector<uint8_t>(kFrameBytes, 200).data());
    picture_.Write(SeenFrame().data());
    PipeWireReader reader(kPipeWireNodeName, "BGRx");
    const Reading reading = Read(reader, 1.0, [](const std::vector<uint8_t>& frame) {
        return frame.size() == size_t(kFrameWidth) * kFrameHeight * 4 && BgrxMismatches(frame) == 0;
    });
    EXPECT_GE(reading.frames, 12);
    EXPECT_EQ(reading.good, reading.frames) << "the camera served what the name points at";
}

TEST_F(VcamPipeWire, TheNodeFollowsTheStartingProgramsCamera) {
    Vcam vcam(name_.Name());
    ASSERT_TRUE(NodeShown(true));
    vcam.Tell('w');  // the camera closed
    EXPECT_TRUE(NodeShown(false));
    vcam.Tell('o');  // opened again
    EXPECT_TRUE(NodeShown(true));
    {
        PipeWireReader reader(kPipeWireNodeName, "BGRx");
        EXPECT_TRUE(reader.Pull(5).has_value());
    }
    // The program that started it ends: so does the camera.
    vcam.CloseControl();
    EXPECT_EQ(vcam.WaitExit(5), 0);
    EXPECT_TRUE(NodeShown(false));
}
