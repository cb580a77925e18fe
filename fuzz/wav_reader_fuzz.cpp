// Feeds arbitrary bytes to the WAV reader. A file it accepts must be consistent (every
// channel as long as the first, every sample finite and within the format's range) and
// must survive a 32-bit float write and re-read unchanged when its samples fit in one.
#include "tools/WavFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AudioData audio;
    WavInfo info;
    std::string error;
    if (!ParseWav(data, size, audio, info, error))
    {
        if (error.empty() || audio.ChannelCount() != 0)
            std::abort();
        return 0;
    }
    if (audio.ChannelCount() < 1 || audio.ChannelCount() > kWavMaxChannels)
        std::abort();
    const bool isFloat = info.format == WavSampleFormat::Float32 || info.format == WavSampleFormat::Float64;
    for (const auto& channel : audio.channels)
    {
        if (channel.size() != audio.Frames())
            std::abort();
        for (double v : channel)
            if (!std::isfinite(v) || (!isFloat && (v < -1.0 || v >= 1.0)))
                std::abort();
    }
    if (info.format == WavSampleFormat::Float64 || info.format == WavSampleFormat::Pcm32)
        return 0; // more than 24 bits of resolution do not survive a 32-bit float write
    std::vector<std::uint8_t> bytes;
    AudioData back;
    WavInfo backInfo;
    if (!EncodeWav(audio, WavSampleFormat::Float32, bytes, error) ||
        !ParseWav(bytes.data(), bytes.size(), back, backInfo, error) || back.channels != audio.channels)
        std::abort();
    return 0;
}
