#pragma once
// Reading and writing RIFF WAVE files. The reader takes PCM (8, 16, 24 and 32 bits) and
// IEEE float (32 and 64 bits), plain or in the extensible format; everything else, and
// every file whose chunks do not fit its size, is refused with a message. It never reads
// outside the bytes it is given. The writer produces 16-bit or 24-bit PCM or 32-bit float.

#include "tools/AudioData.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class WavSampleFormat
{
    Pcm8,
    Pcm16,
    Pcm24,
    Pcm32,
    Float32,
    Float64,
};

// Limits of what the reader accepts.
inline constexpr int kWavMaxChannels = 64;
inline constexpr std::uint32_t kWavMaxSampleRate = 1000000;
inline constexpr std::uint64_t kWavMaxSamples = std::uint64_t{1} << 28; // frames x channels

struct WavInfo
{
    WavSampleFormat format = WavSampleFormat::Pcm16;
    std::size_t nonFiniteSamples = 0; // float samples that were NaN or infinite, read as 0
};

// Parses a whole WAV file held in memory. On failure answers false, leaves audio empty
// and says why in error.
bool ParseWav(const std::uint8_t* data, std::size_t size, AudioData& audio, WavInfo& info,
              std::string& error);
bool ReadWavFile(const std::string& path, AudioData& audio, WavInfo& info, std::string& error);

// Encodes audio (1 to kWavMaxChannels channels) as a complete WAV file. PCM formats clip to
// full scale and round to the nearest step (NaN becomes 0); Float32 keeps values as they
// are. Supported: Pcm16, Pcm24, Float32.
bool EncodeWav(const AudioData& audio, WavSampleFormat format, std::vector<std::uint8_t>& bytes,
               std::string& error);
bool WriteWavFile(const std::string& path, const AudioData& audio, WavSampleFormat format,
                  std::string& error);

// Reads a whole file (at most maxBytes) into bytes.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes,
                   std::string& error);
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);
