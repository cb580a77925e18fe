#pragma once
// AudioData: multichannel audio held as 64-bit samples, one vector per channel, all of the
// same length; full scale is ±1.0.

#include <cstddef>
#include <vector>

struct AudioData
{
    double sampleRate = 48000.0; // Hz
    std::vector<std::vector<double>> channels;

    std::size_t Frames() const { return channels.empty() ? 0 : channels.front().size(); }
    int ChannelCount() const { return static_cast<int>(channels.size()); }
    // Sets the shape, every sample 0.
    void Resize(int channelCount, std::size_t frames)
    {
        channels.assign(static_cast<std::size_t>(channelCount), std::vector<double>(frames, 0.0));
    }
};
