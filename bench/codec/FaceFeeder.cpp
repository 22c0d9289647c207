// Feeds a recording as a broadcaster would, for the benchmark and hand measurements:
//   face-feeder SHARED_FRAME_NAME SECONDS
// writes the face scene (FaceScene.h) into the shared frame ten times a second and a voice to
// standard output (44.1 kHz stereo signed 16-bit, for pacat to play into the microphone's sink):
// syllables of a buzzing tone whose pitch wanders, four or so a second, with pauses.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "FaceScene.h"
#include "SharedFrame.h"

namespace {

constexpr int kRate = 44100;

// Writes the voice to standard output until it is closed.
void Speak(const std::atomic<bool>& stop) {
    std::vector<int16_t> block(kRate / 20 * 2);
    double phase = 0;
    uint32_t noise = 1;
    for (int64_t n = 0; !stop;) {
        for (size_t i = 0; i < block.size(); i += 2, ++n) {
            const double t = static_cast<double>(n) / kRate;
            const double pitch = 140 + 30 * std::sin(2 * M_PI * t * 0.7);
            phase += 2 * M_PI * pitch / kRate;
            const double syllable = std::fmod(t * 4.3, 1.0);
            const bool pause = std::fmod(t, 3.1) > 2.5;
            const double envelope = pause ? 0 : std::sin(M_PI * syllable);
            double voice = 0;
            for (int harmonic = 1; harmonic <= 12; ++harmonic) {
                voice += std::sin(harmonic * phase) / harmonic;
            }
            noise = face_scene::Hash(noise + static_cast<uint32_t>(n));
            const double hiss = (static_cast<int>(noise % 2001) - 1000) / 1000.0 * 0.01;
            const auto value = static_cast<int16_t>(32767 * (0.25 * envelope * voice + hiss));
            block[i] = block[i + 1] = value;
        }
        if (std::fwrite(block.data(), sizeof(int16_t), block.size(), stdout) != block.size()) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: face-feeder SHARED_FRAME_NAME SECONDS\n", stderr);
        return 2;
    }
    zavreo::SharedFrame frame(argv[1]);
    if (!frame.IsOpen()) {
        std::fputs("cannot open the shared frame\n", stderr);
        return 1;
    }
    std::atomic<bool> stop{false};
    std::thread voice([&] { Speak(stop); });
    voice.detach();
    std::vector<uint8_t> picture(zavreo::kFrameBytes);
    const auto start = std::chrono::steady_clock::now();
    const int pictures = static_cast<int>(std::atof(argv[2]) * 10);
    for (int k = 0; k < pictures; ++k) {
        face_scene::Draw(k, picture.data());
        std::this_thread::sleep_until(start + k * std::chrono::milliseconds(100));
        frame.Write(picture.data());
    }
    stop = true;
    frame.Remove();
    std::_Exit(0);
}
