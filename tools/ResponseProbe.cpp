#include "tools/ResponseProbe.h"

#include "tools/Renderer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace
{
// Hann-windowed DFT of samples[first, first + count) at angular frequency omega
// (radians per sample). The phase is taken relative to the window start.
std::complex<double> WindowedBin(const std::vector<double>& samples, std::size_t first, std::size_t count,
                                 double omega)
{
    std::complex<double> sum = 0.0;
    const double step = 2.0 * std::numbers::pi / static_cast<double>(count);
    for (std::size_t n = 0; n < count; ++n)
    {
        const double window = 0.5 - 0.5 * std::cos(step * static_cast<double>(n));
        sum += window * samples[first + n] * std::polar(1.0, -omega * static_cast<double>(n));
    }
    return sum;
}

// NaN (the plug-in produced NaN) stays NaN; silence reads as -infinity.
double GainToDb(double gain)
{
    if (std::isnan(gain))
        return gain;
    if (gain <= 0.0)
        return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(gain);
}
} // namespace

bool MeasureResponse(HostedPlugin& plugin, const ResponseOptions& options,
                     std::vector<ResponsePoint>& response, std::string& error)
{
    response.clear();
    const double rate = plugin.SampleRate();
    const double maxHz = std::min(options.maxHz, 0.45 * rate);
    if (options.points < 2 || options.points > 10000)
    {
        error = "the number of probe frequencies must be 2 to 10000";
        return false;
    }
    if (!(options.minHz > 0.0) || !(maxHz > options.minHz))
    {
        error = "the probe range must satisfy 0 < lowest < highest < 0.45 x sample rate";
        return false;
    }
    if (!(options.levelDb <= 0.0) || options.levelDb < -120.0)
    {
        error = "the probe level must be -120 to 0 dB full scale";
        return false;
    }
    if (plugin.InputCount() < 1 || plugin.OutputCount() < 1)
    {
        error = "a magnitude response needs a plug-in with inputs and outputs";
        return false;
    }
    if (plugin.Resumed())
        plugin.Suspend();

    const double amplitude = std::pow(10.0, options.levelDb / 20.0);
    for (int p = 0; p < options.points; ++p)
    {
        const double hz =
            options.minHz * std::pow(maxHz / options.minHz, static_cast<double>(p) / (options.points - 1));
        const double cycle = rate / hz; // samples per cycle
        // Settle for 25 cycles (at least 0.1 s) so filter transients have died away; then
        // measure over at least 8 cycles and 4096 samples.
        const std::size_t settle = static_cast<std::size_t>(std::max(25.0 * cycle, 0.1 * rate));
        const std::size_t measure = static_cast<std::size_t>(std::max(8.0 * cycle, 4096.0));
        const double omega = 2.0 * std::numbers::pi * hz / rate;

        AudioData probe;
        probe.sampleRate = rate;
        probe.Resize(1, settle + measure);
        for (std::size_t n = 0; n < settle + measure; ++n)
            probe.channels[0][n] = amplitude * std::sin(omega * static_cast<double>(n));

        plugin.Rewind();
        plugin.Resume();
        AudioData out;
        const bool rendered = RenderAudio(plugin, probe, options.useDouble, out, error);
        plugin.Suspend();
        if (!rendered)
            return false;

        const double reference = std::abs(WindowedBin(probe.channels[0], settle, measure, omega));
        ResponsePoint point;
        point.hz = hz;
        for (const auto& channel : out.channels)
        {
            const double gain = std::abs(WindowedBin(channel, settle, measure, omega)) / reference;
            point.gainDb.push_back(GainToDb(gain));
        }
        response.push_back(std::move(point));
    }
    return true;
}
