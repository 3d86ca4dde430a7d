// module_synth.cpp: additive and noise synthesis of the module's samples.
//
// Pitched samples are sums of harmonics that fit the loop exactly, so every loop is seamless and
// band-limited at the rate its notes play. Noise comes from a seeded xorshift generator, so the
// bytes are the same on every run.
#include "module_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double RATE_C3 = 3546895.0 / 214.0;  // samples per second of note C-3
constexpr double PEAK = 118.0;                 // sample peak, a little headroom below 127

// xorshift32: small, fast and the same everywhere.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    // Uniform in [-1, 1).
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

// Scales the signal to PEAK and rounds it to signed bytes.
std::vector<int8_t> quantise(const std::vector<double>& signal) {
    double peak = 0.0;
    for (double v : signal) peak = std::max(peak, std::fabs(v));
    const double scale = peak > 0.0 ? PEAK / peak : 0.0;
    std::vector<int8_t> out(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) {
        const long v = std::lround(signal[i] * scale);
        out[i] = static_cast<int8_t>(std::clamp(v, -127L, 127L));
    }
    return out;
}

// A one-shot sample: silent first word (ProTracker repeats it after the end), then the sound, with
// its tail faded so that it ends in silence.
ModuleSample oneShot(const char* name, uint8_t volume, std::vector<double> signal, size_t fadeLength) {
    if (signal.size() % 2 != 0) signal.push_back(0.0);
    const size_t fade = std::min(fadeLength, signal.size());
    for (size_t i = 0; i < fade; ++i) signal[signal.size() - 1 - i] *= static_cast<double>(i) / fade;
    ModuleSample sample;
    sample.name = name;
    sample.volume = volume;
    sample.data = quantise(signal);
    sample.data[0] = 0;
    sample.data[1] = 0;
    return sample;
}

// Soft saturation that keeps the level at full scale.
double saturate(double x, double drive) {
    return std::tanh(drive * x) / std::tanh(drive);
}

// Metallic noise for cymbals: six detuned square waves (ratios as on classic drum machines) mixed
// with white noise, then high-passed twice.
std::vector<double> metalNoise(size_t length, double rate, uint32_t seed) {
    static const double FREQUENCIES[6] = {587.0, 845.0, 1031.0, 1317.0, 1620.0, 2130.0};
    Noise noise(seed);
    std::vector<double> out(length);
    double previous1 = 0.0;
    double previous2 = 0.0;
    for (size_t n = 0; n < length; ++n) {
        double metal = 0.0;
        for (double f : FREQUENCIES) metal += std::fmod(n * f / rate, 1.0) < 0.5 ? 1.0 : -1.0;
        const double x = 0.12 * metal + noise.next();
        // Two first-order differences: a gentle 12 dB per octave high-pass.
        const double d1 = x - previous1;
        previous1 = x;
        const double d2 = d1 - previous2;
        previous2 = d1;
        out[n] = 0.5 * d2;
    }
    return out;
}

// Pulse wave of the given duty cycle as a band-limited harmonic sum; phase in cycles.
double pulse(double phase, double duty, int harmonics, double rolloff) {
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        const double weight = 1.0 / (1.0 + (k / rolloff) * (k / rolloff));
        sum += weight * (2.0 / (PI * k)) * std::sin(PI * k * duty) *
               std::cos(2.0 * PI * k * (phase - duty / 2.0));
    }
    return sum;
}

}  // namespace

ModuleSample synthKick() {
    // Made for the high rate although its sound is low: at half the rate the Amiga's stepped output
    // mirrors the thump into an audible whistle near 8 kHz.
    const double rate = RATE_C3;
    const size_t length = static_cast<size_t>(0.3 * rate);
    Noise noise(0x4B49434Bu);
    std::vector<double> signal(length);
    double phase = 0.0;
    for (size_t n = 0; n < length; ++n) {
        const double t = n / rate;
        // The pitch falls fast from a click to the body's low thump.
        const double frequency = 46.0 + 120.0 * std::exp(-t / 0.032) + 260.0 * std::exp(-t / 0.004);
        phase += 2.0 * PI * frequency / rate;
        const double body = std::sin(phase) * std::exp(-t / 0.16);
        const double click = 0.35 * noise.next() * std::exp(-t / 0.0025);
        signal[n] = saturate(body + click, 1.8);
    }
    return oneShot("kick", 64, signal, static_cast<size_t>(0.03 * rate));
}

ModuleSample synthSnare() {
    const double rate = RATE_C3;
    const size_t length = static_cast<size_t>(0.24 * rate);
    Noise noise(0x534E4152u);
    std::vector<double> signal(length);
    double phase1 = 0.0;
    double phase2 = 0.0;
    double low = 0.0;
    for (size_t n = 0; n < length; ++n) {
        const double t = n / rate;
        phase1 += 2.0 * PI * (178.0 + 70.0 * std::exp(-t / 0.012)) / rate;
        phase2 += 2.0 * PI * 331.0 / rate;
        const double tone =
            0.75 * std::sin(phase1) * std::exp(-t / 0.05) + 0.3 * std::sin(phase2) * std::exp(-t / 0.03);
        // Noise with its lowest part taken out, so the rattle sits above the tone.
        const double white = noise.next();
        low += 0.08 * (white - low);
        const double rattle = 0.9 * (white - low) * std::exp(-t / 0.07);
        signal[n] = saturate(tone + rattle, 1.4);
    }
    return oneShot("snare", 56, signal, static_cast<size_t>(0.03 * rate));
}

ModuleSample synthClosedHat() {
    const double rate = RATE_C3;
    const size_t length = static_cast<size_t>(0.07 * rate);
    std::vector<double> signal = metalNoise(length, rate, 0x48415431u);
    for (size_t n = 0; n < length; ++n) signal[n] *= std::exp(-(n / rate) / 0.022);
    return oneShot("closed hat", 40, signal, static_cast<size_t>(0.01 * rate));
}

ModuleSample synthOpenHat() {
    const double rate = RATE_C3;
    const size_t length = static_cast<size_t>(0.3 * rate);
    std::vector<double> signal = metalNoise(length, rate, 0x48415432u);
    for (size_t n = 0; n < length; ++n) signal[n] *= std::exp(-(n / rate) / 0.09);
    return oneShot("open hat", 36, signal, static_cast<size_t>(0.05 * rate));
}

ModuleSample synthBass() {
    constexpr int CYCLE = 192;  // bytes per cycle
    constexpr int CYCLES = 20;  // the last one is the loop
    constexpr int HARMONICS = 40;
    std::vector<double> signal(CYCLE * CYCLES);
    for (size_t n = 0; n < signal.size(); ++n) {
        // Time in cycles, held still over the last cycle so that the loop repeats it exactly.
        const double c = std::min(static_cast<double>(n) / CYCLE, CYCLES - 1.0);
        const double brightness = 2.5 + 22.0 * std::exp(-c / 3.5);  // harmonic where the filter closes
        const double level = 0.72 + 0.28 * std::exp(-c / 4.0);
        double sum = 0.0;
        for (int k = 1; k <= HARMONICS; ++k) {
            const double weight = (k == 1 ? 1.6 : 1.0) / k * std::exp(-(k - 1) / brightness);
            sum += weight * std::sin(2.0 * PI * k * n / CYCLE);
        }
        signal[n] = level * sum;
    }
    ModuleSample sample;
    sample.name = "bass";
    sample.volume = 46;
    sample.data = quantise(signal);
    sample.loopStart = CYCLE * (CYCLES - 1);
    sample.loopLength = CYCLE;
    return sample;
}

ModuleSample synthPluck() {
    constexpr int CYCLE = 48;
    constexpr int CYCLES = 104;
    constexpr int HARMONICS = 15;
    std::vector<double> signal(CYCLE * CYCLES);
    for (size_t n = 0; n < signal.size(); ++n) {
        const double c = static_cast<double>(n) / CYCLE;
        double sum = 0.0;
        for (int k = 1; k <= HARMONICS; ++k) {
            // Higher harmonics die sooner; odd ones are a little stronger, for a hollow, woody tone.
            const double weight = (k % 2 ? 1.0 : 0.55) / k * std::exp(-c * (k - 1) / 14.0);
            sum += weight * std::sin(2.0 * PI * k * n / CYCLE);
        }
        signal[n] = sum * std::exp(-c / 32.0);
    }
    return oneShot("pluck", 40, signal, CYCLE * 8);
}

ModuleSample synthPad(bool minor) {
    // The chord in just intonation repeats after `chordCycle` bytes: major 4:5:6:8, minor 10:12:15:20
    // over a root cycle of 64 bytes (played high, so that the Amiga's mirror images of the chord lie
    // far up). Each voice has a quieter partner one cycle per loop sharper and one flatter, about a
    // quarter tone apart, for a slow chorus.
    const int parts[4] = {minor ? 10 : 4, minor ? 12 : 5, minor ? 15 : 6, minor ? 20 : 8};
    const int chordCycle = 64 * parts[0];
    const int repeats = minor ? 6 : 16;
    const int loop = chordCycle * repeats;
    const int attack = 2560;
    static const double VOICE_LEVEL[4] = {1.0, 0.8, 0.8, 0.45};
    static const double HARMONIC_LEVEL[4] = {1.0, 0.32, 0.16, 0.07};
    Noise noise(minor ? 0x50414431u : 0x50414432u);
    struct Partial {
        int cycles;  // per loop
        double level;
        double phase;
    };
    std::vector<Partial> partials;
    for (int v = 0; v < 4; ++v) {
        const int cycles = parts[v] * repeats;
        for (int detune = -1; detune <= 1; ++detune) {
            const double phase = noise.next() * PI;
            for (int k = 1; k <= 4; ++k) {
                const double level = VOICE_LEVEL[v] * HARMONIC_LEVEL[k - 1] * (detune == 0 ? 1.0 : 0.45);
                partials.push_back({k * (cycles + detune), level, k * phase});
            }
        }
    }
    std::vector<double> signal(attack + loop);
    for (size_t n = 0; n < signal.size(); ++n) {
        double sum = 0.0;
        for (const Partial& p : partials) sum += p.level * std::sin(2.0 * PI * p.cycles * n / loop + p.phase);
        const double swell = n < static_cast<size_t>(attack) ? std::sin(0.5 * PI * n / attack) : 1.0;
        signal[n] = swell * swell * sum;
    }
    ModuleSample sample;
    sample.name = minor ? "pad minor" : "pad major";
    sample.volume = 40;
    sample.data = quantise(signal);
    sample.loopStart = attack;
    sample.loopLength = loop;
    return sample;
}

ModuleSample synthLead() {
    constexpr int CYCLE = 32;
    constexpr int CYCLES = 64;  // one sweep of the pulse width
    std::vector<double> signal(CYCLE * CYCLES);
    for (size_t n = 0; n < signal.size(); ++n) {
        const double c = static_cast<double>(n) / CYCLE;
        const double duty = 0.5 - 0.32 * (0.5 - 0.5 * std::cos(2.0 * PI * c / CYCLES));
        signal[n] = pulse(c, duty, 15, 6.0);
    }
    ModuleSample sample;
    sample.name = "lead";
    sample.volume = 44;
    sample.data = quantise(signal);
    sample.loopStart = 0;
    sample.loopLength = static_cast<uint32_t>(signal.size());
    return sample;
}
