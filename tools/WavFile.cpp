#include "tools/WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace
{
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
// The sub-format GUID of the extensible format is the format tag followed by these bytes.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t U16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutId(std::vector<std::uint8_t>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

// A chunk identifier for messages, non-printable bytes shown as '?'.
std::string IdText(const std::uint8_t* p)
{
    std::string id(reinterpret_cast<const char*>(p), 4);
    for (char& c : id)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            c = '?';
    return id;
}

struct Format
{
    std::uint16_t tag = 0; // kTagPcm or kTagFloat after resolving the extensible form
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bits = 0;
};

bool ParseFormat(const std::uint8_t* p, std::uint32_t size, Format& format, std::string& error)
{
    if (size < 16)
    {
        error = "fmt chunk of " + std::to_string(size) + " bytes is too short (16 needed)";
        return false;
    }
    format.tag = U16(p);
    format.channels = U16(p + 2);
    format.sampleRate = U32(p + 4);
    format.blockAlign = U16(p + 12);
    format.bits = U16(p + 14);
    if (format.tag == kTagExtensible)
    {
        if (size < 40 || U16(p + 16) < 22)
        {
            error = "extensible fmt chunk is too short";
            return false;
        }
        const std::uint16_t validBits = U16(p + 18);
        const std::uint8_t* guid = p + 24;
        if (std::memcmp(guid + 2, kSubFormatTail, sizeof kSubFormatTail) != 0 ||
            (U16(guid) != kTagPcm && U16(guid) != kTagFloat))
        {
            error = "unsupported extensible sub-format (only PCM and IEEE float are read)";
            return false;
        }
        if (validBits > format.bits)
        {
            error = "extensible fmt chunk declares more valid bits than container bits";
            return false;
        }
        format.tag = U16(guid);
    }
    if (format.tag != kTagPcm && format.tag != kTagFloat)
    {
        error = "unsupported WAV format tag " + std::to_string(format.tag) +
                " (only PCM and IEEE float are read)";
        return false;
    }
    const bool pcmBits = format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32;
    const bool floatBits = format.bits == 32 || format.bits == 64;
    if ((format.tag == kTagPcm && !pcmBits) || (format.tag == kTagFloat && !floatBits))
    {
        error = "unsupported sample size: " + std::to_string(format.bits) + "-bit " +
                (format.tag == kTagPcm ? "PCM" : "float");
        return false;
    }
    if (format.channels < 1 || format.channels > kWavMaxChannels)
    {
        error = "unsupported channel count " + std::to_string(format.channels) + " (1 to " +
                std::to_string(kWavMaxChannels) + ")";
        return false;
    }
    if (format.sampleRate < 1 || format.sampleRate > kWavMaxSampleRate)
    {
        error = "absurd sample rate " + std::to_string(format.sampleRate) + " Hz";
        return false;
    }
    if (format.blockAlign != format.channels * (format.bits / 8))
    {
        error = "block align " + std::to_string(format.blockAlign) + " does not match " +
                std::to_string(format.channels) + " channels of " + std::to_string(format.bits) + " bits";
        return false;
    }
    return true;
}

double DecodeSample(const std::uint8_t* p, const Format& format, std::size_t& nonFinite)
{
    if (format.tag == kTagFloat)
    {
        double v;
        if (format.bits == 32)
        {
            const std::uint32_t raw = U32(p);
            float f;
            std::memcpy(&f, &raw, sizeof f);
            v = f;
        }
        else
        {
            const std::uint64_t raw = U32(p) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
            std::memcpy(&v, &raw, sizeof v);
        }
        if (!std::isfinite(v))
        {
            ++nonFinite;
            return 0.0;
        }
        return v;
    }
    switch (format.bits)
    {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0;
    case 16:
        return static_cast<std::int16_t>(U16(p)) / 32768.0;
    case 24:
    {
        // Sign-extend from bit 23: shift the three bytes to the top of 32 bits.
        const std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                         static_cast<std::uint32_t>(p[1]) << 16 |
                                                         static_cast<std::uint32_t>(p[2]) << 24) >>
                               8;
        return v / 8388608.0;
    }
    default:
        return static_cast<std::int32_t>(U32(p)) / 2147483648.0;
    }
}

WavSampleFormat SampleFormatOf(const Format& format)
{
    if (format.tag == kTagFloat)
        return format.bits == 32 ? WavSampleFormat::Float32 : WavSampleFormat::Float64;
    switch (format.bits)
    {
    case 8:
        return WavSampleFormat::Pcm8;
    case 16:
        return WavSampleFormat::Pcm16;
    case 24:
        return WavSampleFormat::Pcm24;
    default:
        return WavSampleFormat::Pcm32;
    }
}

// Rounds to the nearest PCM step and clips to the format's range; NaN reads as 0.
std::int32_t Quantize(double v, double scale)
{
    if (std::isnan(v))
        return 0;
    const double q = std::nearbyint(v * scale);
    return static_cast<std::int32_t>(std::clamp(q, -scale, scale - 1.0));
}
} // namespace

bool ParseWav(const std::uint8_t* data, std::size_t size, AudioData& audio, WavInfo& info, std::string& error)
{
    audio = AudioData{};
    info = WavInfo{};
    if (data == nullptr || size < 12)
    {
        error = "not a WAV file: " + std::to_string(size) + " bytes is too short for a RIFF header";
        return false;
    }
    if (std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    {
        error = std::memcmp(data, "RF64", 4) == 0 ? "RF64 files are not supported"
                                                  : "not a WAV file: no RIFF/WAVE header";
        return false;
    }
    const std::uint64_t end = 8 + static_cast<std::uint64_t>(U32(data + 4));
    if (end < 12)
    {
        error = "RIFF header declares an impossible size";
        return false;
    }
    if (end > size)
    {
        error = "truncated WAV file: RIFF header declares " + std::to_string(end) + " bytes, the file has " +
                std::to_string(size);
        return false;
    }

    Format format;
    bool haveFormat = false;
    const std::uint8_t* samples = nullptr;
    std::uint64_t sampleBytes = 0;
    bool haveData = false;
    std::uint64_t pos = 12;
    while (end - pos >= 8)
    {
        const std::uint8_t* header = data + pos;
        const std::uint64_t chunkSize = U32(header + 4);
        const std::uint64_t body = pos + 8;
        if (chunkSize > end - body)
        {
            error = "truncated WAV file: chunk '" + IdText(header) + "' declares " +
                    std::to_string(chunkSize) + " bytes, " + std::to_string(end - body) + " remain";
            return false;
        }
        if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat)
        {
            if (!ParseFormat(data + body, static_cast<std::uint32_t>(chunkSize), format, error))
                return false;
            haveFormat = true;
        }
        else if (std::memcmp(header, "data", 4) == 0 && !haveData)
        {
            samples = data + body;
            sampleBytes = chunkSize;
            haveData = true;
        }
        // Chunks are padded to an even size; a missing final pad byte is tolerated.
        pos = body + chunkSize + (chunkSize & 1);
        if (pos > end)
            break;
    }
    if (!haveFormat)
    {
        error = "not a usable WAV file: no fmt chunk";
        return false;
    }
    if (!haveData)
    {
        error = "not a usable WAV file: no data chunk";
        return false;
    }

    // A partial frame at the end of the data is dropped.
    const std::uint64_t frames = sampleBytes / format.blockAlign;
    if (frames * format.channels > kWavMaxSamples)
    {
        error = "WAV file too long: " + std::to_string(frames) + " frames of " +
                std::to_string(format.channels) + " channels (at most " + std::to_string(kWavMaxSamples) +
                " samples)";
        return false;
    }
    audio.sampleRate = format.sampleRate;
    audio.Resize(format.channels, static_cast<std::size_t>(frames));
    const std::size_t bytesPerSample = format.bits / 8;
    for (std::size_t f = 0; f < frames; ++f)
    {
        const std::uint8_t* frame = samples + f * format.blockAlign;
        for (std::size_t c = 0; c < format.channels; ++c)
            audio.channels[c][f] = DecodeSample(frame + c * bytesPerSample, format, info.nonFiniteSamples);
    }
    info.format = SampleFormatOf(format);
    return true;
}

bool EncodeWav(const AudioData& audio, WavSampleFormat format, std::vector<std::uint8_t>& bytes,
               std::string& error)
{
    bytes.clear();
    const int channels = audio.ChannelCount();
    if (channels < 1 || channels > kWavMaxChannels)
    {
        error = "cannot write " + std::to_string(channels) + " channels to a WAV file";
        return false;
    }
    for (const auto& channel : audio.channels)
        if (channel.size() != audio.Frames())
        {
            error = "channels of different lengths";
            return false;
        }
    if (!(audio.sampleRate >= 1.0 && audio.sampleRate <= kWavMaxSampleRate))
    {
        error = "cannot write a sample rate of " + std::to_string(audio.sampleRate) + " Hz";
        return false;
    }
    std::uint32_t bits;
    std::uint16_t tag = kTagPcm;
    switch (format)
    {
    case WavSampleFormat::Pcm16:
        bits = 16;
        break;
    case WavSampleFormat::Pcm24:
        bits = 24;
        break;
    case WavSampleFormat::Float32:
        bits = 32;
        tag = kTagFloat;
        break;
    default:
        error = "the writer produces 16-bit or 24-bit PCM or 32-bit float only";
        return false;
    }
    const std::uint64_t frames = audio.Frames();
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * (bits / 8);
    const std::uint64_t dataBytes = frames * blockAlign;
    // RIFF sizes are 32-bit: header (36) + data + pad must fit.
    if (dataBytes + 36 + 1 > std::numeric_limits<std::uint32_t>::max())
    {
        error = "audio too long for a WAV file (4 GiB limit)";
        return false;
    }
    const std::uint32_t rate = static_cast<std::uint32_t>(std::lround(audio.sampleRate));
    bytes.reserve(static_cast<std::size_t>(44 + dataBytes + 1));
    PutId(bytes, "RIFF");
    Put32(bytes, static_cast<std::uint32_t>(36 + dataBytes + (dataBytes & 1)));
    PutId(bytes, "WAVE");
    PutId(bytes, "fmt ");
    Put32(bytes, 16);
    Put16(bytes, tag);
    Put16(bytes, static_cast<std::uint32_t>(channels));
    Put32(bytes, rate);
    Put32(bytes, rate * blockAlign);
    Put16(bytes, blockAlign);
    Put16(bytes, bits);
    PutId(bytes, "data");
    Put32(bytes, static_cast<std::uint32_t>(dataBytes));
    for (std::uint64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
        {
            const double v = audio.channels[static_cast<std::size_t>(c)][f];
            switch (format)
            {
            case WavSampleFormat::Pcm16:
                Put16(bytes, static_cast<std::uint32_t>(Quantize(v, 32768.0)) & 0xFFFF);
                break;
            case WavSampleFormat::Pcm24:
            {
                const std::uint32_t q = static_cast<std::uint32_t>(Quantize(v, 8388608.0));
                bytes.push_back(static_cast<std::uint8_t>(q));
                bytes.push_back(static_cast<std::uint8_t>(q >> 8));
                bytes.push_back(static_cast<std::uint8_t>(q >> 16));
                break;
            }
            default:
            {
                const float x = static_cast<float>(v);
                std::uint32_t raw;
                std::memcpy(&raw, &x, sizeof raw);
                Put32(bytes, raw);
                break;
            }
            }
        }
    if (dataBytes & 1)
        bytes.push_back(0);
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes,
                   std::string& error)
{
    bytes.clear();
    std::error_code ec;
    const std::filesystem::path file(path);
    if (!std::filesystem::exists(file, ec))
    {
        error = "no such file: " + path;
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec)
    {
        error = "cannot read " + path + ": " + ec.message();
        return false;
    }
    if (size > maxBytes || size > std::numeric_limits<std::size_t>::max())
    {
        error = path + " is too large (" + std::to_string(size) + " bytes, at most " +
                std::to_string(maxBytes) + ")";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
    {
        error = "cannot open " + path;
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = size > 0 ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
    std::fclose(f);
    if (got != bytes.size())
    {
        error = "cannot read " + path + ": short read";
        bytes.clear();
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
    {
        error = "cannot create " + path;
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed)
    {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool ReadWavFile(const std::string& path, AudioData& audio, WavInfo& info, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    // RIFF sizes are 32-bit: no WAV file is larger than 4 GiB + 8 bytes.
    if (!ReadWholeFile(path, bytes, (std::uint64_t{1} << 32) + 8, error))
        return false;
    if (!ParseWav(bytes.data(), bytes.size(), audio, info, error))
    {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool WriteWavFile(const std::string& path, const AudioData& audio, WavSampleFormat format, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    return EncodeWav(audio, format, bytes, error) && WriteWholeFile(path, bytes, error);
}
