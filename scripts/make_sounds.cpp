// Writes the program's twenty sound effects as short WAV files (22,050 Hz, mono, 16-bit) into the
// folder named on the command line. Every sound is synthesised here from tones, sweeps and
// filtered noise, so the project ships no recorded audio: make_sounds DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;

// One effect: a tone sweeping from f0 to f1 Hz, mixed with noise (0 none .. 1 only noise),
// shaped by an attack and a decay, optionally pulsed (pulses per second, 0 steady).
struct Effect {
    const char* name;
    double seconds;
    double f0;
    double f1;
    double noise;
    double pulses;
};

constexpr Effect kEffects[] = {
    {"aircut1.wav", 0.50, 180, 220, 0.60, 0},   {"cutting1.wav", 0.50, 320, 300, 0.45, 30},
    {"grinder1.wav", 0.60, 900, 950, 0.50, 0},  {"grinder2.wav", 0.60, 1100, 1000, 0.55, 0},
    {"grindoff.wav", 0.40, 1000, 200, 0.30, 0}, {"hake.wav", 0.35, 0, 0, 1.00, 6},
    {"hera1.wav", 0.30, 500, 700, 0.40, 0},     {"hera2.wav", 0.30, 700, 500, 0.40, 0},
    {"heraoku.wav", 0.20, 600, 300, 0.20, 0},   {"kanoku.wav", 0.20, 1400, 1400, 0.05, 0},
    {"paper.wav", 0.40, 0, 0, 1.00, 12},        {"paperoku.wav", 0.15, 0, 0, 1.00, 0},
    {"pi.wav", 0.08, 2000, 2000, 0.00, 0},      {"pokin.wav", 0.25, 1320, 990, 0.00, 0},
    {"toolchg.wav", 0.45, 400, 800, 0.15, 8},   {"press.wav", 0.30, 120, 80, 0.35, 0},
    {"touch.wav", 0.06, 1800, 1200, 0.10, 0},   {"welding.wav", 0.60, 0, 0, 1.00, 40},
    {"weldoku.wav", 0.20, 300, 150, 0.60, 0},   {"workset.wav", 0.35, 523, 784, 0.00, 0},
};

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

std::vector<std::uint8_t> Synthesise(const Effect& e) {
    const int samples = static_cast<int>(e.seconds * kRate);
    std::vector<std::uint8_t> wav;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    Put32(wav, static_cast<std::uint32_t>(36 + samples * 2));
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(wav, 16);
    Put16(wav, 1);  // PCM
    Put16(wav, 1);  // mono
    Put32(wav, kRate);
    Put32(wav, kRate * 2);
    Put16(wav, 2);
    Put16(wav, 16);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    Put32(wav, static_cast<std::uint32_t>(samples * 2));
    std::uint32_t seed = 12345;
    double phase = 0.0;
    double smoothed = 0.0;
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / samples;
        const double hz = e.f0 + (e.f1 - e.f0) * t;
        phase += 2.0 * M_PI * hz / kRate;
        seed = seed * 1664525u + 1013904223u;
        const double white = static_cast<double>(seed >> 8) / (1u << 24) * 2.0 - 1.0;
        smoothed += 0.35 * (white - smoothed);  // a softer, lower noise
        double v = (1.0 - e.noise) * std::sin(phase) + e.noise * smoothed * 1.6;
        const double attack = std::min(1.0, i / (0.005 * kRate));
        const double decay = std::min(1.0, (samples - i) / (0.04 * kRate));
        v *= attack * decay;
        if (e.pulses > 0) {
            v *= 0.55 + 0.45 * std::sin(2.0 * M_PI * e.pulses * i / kRate);
        }
        const long s = std::lround(std::max(-1.0, std::min(1.0, v)) * 12000.0);
        Put16(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
    }
    return wav;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds DIR\n");
        return 2;
    }
    for (const Effect& e : kEffects) {
        const std::string path = std::string(argv[1]) + "/" + e.name;
        const std::vector<std::uint8_t> wav = Synthesise(e);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(wav.data(), 1, wav.size(), f) != wav.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "make_sounds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
