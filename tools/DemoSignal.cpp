#include "tools/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace
{
constexpr double kBeatSeconds = 0.5; // 120 beats per minute
constexpr double kEighthSeconds = kBeatSeconds / 2;
// Two bars of eighth notes, as MIDI note numbers: E1 E1 G1 E1 A1 A1 G1 D2 | E1 E1 G1 E1 B1 A1 G1 E1.
constexpr int kBassLine[] = {28, 28, 31, 28, 33, 33, 31, 38, 28, 28, 31, 28, 35, 33, 31, 28};

double NoteHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Amplitude envelope of a note t seconds after its start and length seconds long: 5 ms
// attack, decay towards 60 %, 20 ms release at the end.
double NoteEnvelope(double t, double length)
{
    const double attack = std::min(1.0, t / 0.005);
    const double body = 0.6 + 0.4 * std::exp(-t / 0.08);
    const double release = std::clamp((length - t) / 0.02, 0.0, 1.0);
    return attack * body * release;
}
} // namespace

AudioData MakeDemoSignal(double sampleRate, double seconds)
{
    const std::size_t frames = static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate);
    std::vector<double> mix(frames, 0.0);
    const double dt = 1.0 / sampleRate;
    const double twoPi = 2.0 * std::numbers::pi;

    // Kick: the phase integrates a falling frequency so the sweep stays continuous.
    for (double start = 0.0; start < seconds; start += kBeatSeconds)
    {
        double phase = 0.0;
        const std::size_t first = static_cast<std::size_t>(start * sampleRate);
        const std::size_t count =
            std::min(frames - std::min(first, frames), static_cast<std::size_t>(0.4 * sampleRate));
        for (std::size_t i = 0; i < count; ++i)
        {
            const double t = i * dt;
            const double hz = 45.0 + 110.0 * std::exp(-t / 0.03);
            phase += twoPi * hz * dt;
            const double click = std::min(1.0, t / 0.001);
            mix[first + i] += 0.55 * click * std::exp(-t / 0.25) * std::sin(phase);
        }
    }

    // Bass line: fundamental plus second and third harmonics.
    const std::size_t notes = sizeof kBassLine / sizeof kBassLine[0];
    for (std::size_t n = 0; n * kEighthSeconds < seconds; ++n)
    {
        const double hz = NoteHz(kBassLine[n % notes]);
        const double length = kEighthSeconds * 0.9;
        const std::size_t first = static_cast<std::size_t>(n * kEighthSeconds * sampleRate);
        const std::size_t count =
            std::min(frames - std::min(first, frames), static_cast<std::size_t>(length * sampleRate));
        for (std::size_t i = 0; i < count; ++i)
        {
            const double t = i * dt;
            const double w = twoPi * hz * t;
            const double tone = std::sin(w) + 0.5 * std::sin(2 * w) + 0.25 * std::sin(3 * w);
            mix[first + i] += 0.3 * NoteEnvelope(t, length) * tone;
        }
    }

    // Off-beat ticks: differentiated white noise (a gentle high-pass) with a 15 ms decay.
    std::uint32_t seed = 0x1234567u;
    for (double start = kEighthSeconds; start < seconds; start += kBeatSeconds)
    {
        const std::size_t first = static_cast<std::size_t>(start * sampleRate);
        const std::size_t count =
            std::min(frames - std::min(first, frames), static_cast<std::size_t>(0.06 * sampleRate));
        double previous = 0.0;
        for (std::size_t i = 0; i < count; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            mix[first + i] += 0.04 * std::exp(-static_cast<double>(i) * dt / 0.015) * (noise - previous);
            previous = noise;
        }
    }

    double peak = 0.0;
    for (double v : mix)
        peak = std::max(peak, std::abs(v));
    const double scale = peak > 0.0 ? 0.5 / peak : 0.0; // -6 dBFS
    for (double& v : mix)
        v *= scale;

    AudioData audio;
    audio.sampleRate = sampleRate;
    audio.channels = {mix, mix};
    return audio;
}
