// Synthesises the nine sound effects and encodes them as MP3 files into the resource folder
// given as the only argument. Each is written to a temporary name and renamed when complete.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "Mp3Writer.h"
#include "ResourcePaths.h"

namespace {

constexpr int kRate = 44100;
constexpr double kTau = 2 * std::numbers::pi;

using Samples = std::vector<float>;

// Adds a tone whose frequency follows `pitch(t)` (t in seconds from the tone's start).
void Tone(Samples& out, double start, double length, const std::function<double(double)>& pitch,
          const std::function<double(double)>& envelope, int harmonics = 1, double level = 0.5) {
    double phase = 0;
    const int first = int(start * kRate);
    const int count = int(length * kRate);
    if (out.size() < size_t(first + count)) {
        out.resize(first + count);
    }
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        phase += kTau * pitch(t) / kRate;
        double value = 0;
        for (int h = 1; h <= harmonics; ++h) {
            value += std::sin(phase * h) / h;
        }
        out[first + i] += float(level * envelope(t) * value);
    }
}

void Noise(Samples& out, double start, double length, const std::function<double(double)>& envelope,
           double smoothing, double level, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> white(-1, 1);
    const int first = int(start * kRate);
    const int count = int(length * kRate);
    if (out.size() < size_t(first + count)) {
        out.resize(first + count);
    }
    double low = 0;
    for (int i = 0; i < count; ++i) {
        // One-pole low-pass: higher smoothing, darker noise.
        low = low * smoothing + white(random) * (1 - smoothing);
        out[first + i] += float(level * envelope(double(i) / kRate) * low / (1 - smoothing + 0.05));
    }
}

auto Decay(double rate) {
    return [rate](double t) { return std::exp(-t * rate); };
}
auto Swell(double length) {
    return [length](double t) { return std::sin(std::numbers::pi * std::min(t / length, 1.0)); };
}
double Note(int semitonesFromA4) {
    return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

Samples Laughter() {
    Samples s;
    for (int i = 0; i < 6; ++i) {
        const double f = 260 - i * 12;
        Tone(
            s, i * 0.17, 0.13, [f](double t) { return f + 30 * std::sin(t * 40); }, Swell(0.13), 6,
            0.35);
        Noise(s, i * 0.17, 0.05, Decay(60), 0.3, 0.15, 10 + i);
    }
    return s;
}

Samples Cheering() {
    Samples s;
    Noise(s, 0, 2.0, Swell(2.0), 0.85, 0.35, 2);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> pick(0, 1);
    for (int i = 0; i < 14; ++i) {
        const double start = pick(random) * 1.3;
        const double f = 300 + pick(random) * 500;
        Tone(
            s, start, 0.5, [f](double t) { return f * (1 + 0.3 * t); }, Swell(0.5), 3, 0.08);
    }
    // A crowd is loud throughout: soft-clip the noise peaks so it keeps up with the others.
    for (float& v : s) {
        v = std::tanh(2 * v);
    }
    return s;
}

Samples Teasing() {
    Samples s;
    for (int i = 0; i < 2; ++i) {
        Tone(
            s, i * 0.55, 0.5,
            [](double t) { return 700 + 900 * std::sin(std::numbers::pi * t / 0.5); }, Swell(0.5),
            2, 0.35);
    }
    Noise(s, 0, 1.1, Swell(1.1), 0.9, 0.12, 3);
    return s;
}

Samples Slap() {
    Samples s;
    Noise(s, 0, 0.25, Decay(35), 0.2, 0.9, 4);
    Tone(
        s, 0, 0.2, [](double t) { return 140 - 200 * t; }, Decay(25), 1, 0.6);
    s.resize(kRate / 2);
    return s;
}

Samples Funny() {
    Samples s;
    Tone(
        s, 0, 0.9, [](double t) { return 180 + 250 * std::exp(-t * 3) * (1 + std::sin(t * 60)); },
        Decay(3), 3, 0.45);
    return s;
}

Samples Sigh() {
    Samples s;
    const int notes[] = {-2, -3, -4};
    for (int i = 0; i < 3; ++i) {
        const double f = Note(notes[i] - 12);
        Tone(
            s, i * 0.4, 0.38, [f](double) { return f; }, Swell(0.38), 5, 0.3);
    }
    Tone(
        s, 1.2, 1.0, [](double t) { return Note(-17) * (1 + 0.03 * std::sin(t * 35)); }, Decay(2.5),
        5, 0.3);
    Noise(s, 1.2, 0.8, Swell(0.8), 0.95, 0.1, 5);
    return s;
}

Samples Kiss() {
    Samples s;
    Noise(s, 0, 0.04, Decay(120), 0.1, 0.6, 6);
    Tone(
        s, 0.03, 0.16, [](double t) { return 700 + 9000 * t; }, Swell(0.16), 1, 0.5);
    s.resize(kRate * 6 / 10);
    return s;
}

Samples Intro() {
    Samples s;
    const int notes[] = {3, 7, 10, 15, 19};
    for (int i = 0; i < 5; ++i) {
        const double f = Note(notes[i]);
        Tone(
            s, i * 0.16, 1.2 - i * 0.1, [f](double) { return f; }, Decay(3.5), 4, 0.25);
    }
    return s;
}

Samples HappyTune() {
    Samples s;
    const int melody[] = {3, 7, 10, 7, 12, 10, 7, 15, 12, 15};
    for (int i = 0; i < 10; ++i) {
        const double f = Note(melody[i]);
        Tone(
            s, i * 0.18, 0.22, [f](double) { return f; }, Decay(10), 7, 0.22);
        if (i % 2 == 0) {
            Tone(
                s, i * 0.18, 0.15, [](double) { return Note(-9); }, Decay(18), 2, 0.25);
        }
    }
    return s;
}

void Normalise(Samples& s) {
    float peak = 0;
    for (float v : s) {
        peak = std::max(peak, std::abs(v));
    }
    const float gain = peak > 0 ? 0.85f / peak : 1;
    for (float& v : s) {
        v *= gain;
    }
    // Short fades avoid clicks at both ends.
    const size_t fade = std::min<size_t>(s.size() / 2, kRate / 200);
    for (size_t i = 0; i < fade; ++i) {
        s[i] *= float(i) / fade;
        s[s.size() - 1 - i] *= float(i) / fade;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundgen RESOURCE_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    Samples (*const makers[])() = {Laughter, Cheering, Teasing, Slap,     Funny,
                                   Sigh,     Kiss,     Intro,   HappyTune};
    const auto& names = Resources::SoundEffects();
    int failed = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        Samples samples = makers[i]();
        Normalise(samples);
        const std::filesystem::path target = folder / names[i];
        std::filesystem::create_directories(target.parent_path());
        if (!WriteMp3(target, samples, kRate)) {
            std::fprintf(stderr, "soundgen: cannot write %s\n", target.c_str());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
