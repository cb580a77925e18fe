// The WAV reader and writer: exact bytes, round trips, every sample format the reader
// takes, and malformed files refused with a message.
#include "tools/WavFile.h"
#include "tools/tests/TempPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace
{
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void Chunk(Bytes& b, const char* id, const Bytes& body)
{
    b.insert(b.end(), id, id + 4);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
}

Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
          std::uint16_t blockAlign = 0)
{
    if (blockAlign == 0)
        blockAlign = static_cast<std::uint16_t>(channels * (bits / 8));
    Bytes f;
    Put16(f, tag);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * blockAlign);
    Put16(f, blockAlign);
    Put16(f, bits);
    return f;
}

// The extensible form: 40 bytes, sub-format GUID = tag + the standard tail.
Bytes FmtExtensible(std::uint16_t subTag, std::uint16_t channels, std::uint16_t bits, std::uint16_t validBits)
{
    Bytes f = Fmt(0xFFFE, channels, 48000, bits);
    Put16(f, 22);
    Put16(f, validBits);
    Put32(f, 3); // channel mask
    Put16(f, subTag);
    const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    f.insert(f.end(), tail, tail + 14);
    return f;
}

// A RIFF/WAVE file of the given chunks, with a correct RIFF size.
Bytes Riff(const std::vector<std::pair<const char*, Bytes>>& chunks)
{
    Bytes body;
    for (const auto& [id, data] : chunks)
        Chunk(body, id, data);
    Bytes file = {'R', 'I', 'F', 'F'};
    Put32(file, static_cast<std::uint32_t>(4 + body.size()));
    file.insert(file.end(), {'W', 'A', 'V', 'E'});
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

bool Parse(const Bytes& bytes, AudioData& audio, WavInfo& info, std::string& error)
{
    return ParseWav(bytes.data(), bytes.size(), audio, info, error);
}
} // namespace

TEST(WavFile, WritesTheExpectedBytes)
{
    AudioData audio;
    audio.sampleRate = 48000.0;
    audio.channels = {{0.5, -1.0}};
    Bytes bytes;
    std::string error;
    ASSERT_TRUE(EncodeWav(audio, WavSampleFormat::Pcm16, bytes, error)) << error;
    const Bytes expected = {
        'R',  'I',  'F', 'F', 40,   0,    0,    0, 'W',  'A',  'V',  'E',  // RIFF, 36 + 4 data bytes
        'f',  'm',  't', ' ', 16,   0,    0,    0, 1,    0,    1,    0,    // PCM, mono
        0x80, 0xBB, 0,   0,   0x00, 0x77, 0x01, 0, 2,    0,    16,   0,    // 48000 Hz, 96000 B/s, align 2
        'd',  'a',  't', 'a', 4,    0,    0,    0, 0x00, 0x40, 0x00, 0x80, // 16384, -32768
    };
    EXPECT_EQ(bytes, expected);

    // 24-bit: three bytes a sample, an odd data size padded to even.
    audio.channels = {{0.25}};
    ASSERT_TRUE(EncodeWav(audio, WavSampleFormat::Pcm24, bytes, error)) << error;
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(bytes[4], 40); // 36 + 3 data bytes + 1 pad byte
    EXPECT_EQ(bytes[34], 24);
    EXPECT_EQ(Bytes(bytes.begin() + 40, bytes.end()), (Bytes{3, 0, 0, 0, 0x00, 0x00, 0x20, 0}));
}

TEST(WavFile, RoundTripsEveryWrittenFormat)
{
    const struct
    {
        WavSampleFormat format;
        double step; // the format's resolution: values on this grid survive exactly
    } formats[] = {
        {WavSampleFormat::Pcm16, 1.0 / 32768},
        {WavSampleFormat::Pcm24, 1.0 / 8388608},
        {WavSampleFormat::Float32, 1.0 / 16777216},
    };
    for (const auto& f : formats)
        for (int channels : {1, 2, 5})
        {
            AudioData audio;
            audio.sampleRate = 44100.0;
            audio.Resize(channels, 333);
            for (int c = 0; c < channels; ++c)
                for (std::size_t i = 0; i < 333; ++i)
                    audio.channels[c][i] = std::round((std::sin(0.1 * i + c) * 0.9) / f.step) * f.step;
            Bytes bytes;
            std::string error;
            ASSERT_TRUE(EncodeWav(audio, f.format, bytes, error)) << error;
            AudioData back;
            WavInfo info;
            ASSERT_TRUE(Parse(bytes, back, info, error)) << error;
            EXPECT_EQ(info.format, f.format);
            EXPECT_EQ(back.sampleRate, 44100.0);
            EXPECT_EQ(back.channels, audio.channels) << channels << " channels";
        }
}

TEST(WavFile, PcmClipsToFullScaleAndFloatKeepsOvers)
{
    AudioData audio;
    audio.channels = {{1.0, 1.5, -1.0, -2.0, std::numeric_limits<double>::quiet_NaN(), 0.49999 / 32768}};
    Bytes bytes;
    std::string error;
    AudioData back;
    WavInfo info;
    ASSERT_TRUE(EncodeWav(audio, WavSampleFormat::Pcm16, bytes, error));
    ASSERT_TRUE(Parse(bytes, back, info, error));
    EXPECT_EQ(back.channels[0],
              (std::vector<double>{32767.0 / 32768, 32767.0 / 32768, -1.0, -1.0, 0.0, 0.0}));

    audio.channels = {{1.5, -2.0}};
    ASSERT_TRUE(EncodeWav(audio, WavSampleFormat::Float32, bytes, error));
    ASSERT_TRUE(Parse(bytes, back, info, error));
    EXPECT_EQ(back.channels[0], (std::vector<double>{1.5, -2.0}));
}

TEST(WavFile, ReadsEverySupportedSampleFormat)
{
    const struct
    {
        const char* name;
        Bytes fmt;
        Bytes data;
        std::vector<double> expected;
        WavSampleFormat format;
    } cases[] = {
        {"8-bit", Fmt(1, 1, 8000, 8), {0, 128, 255}, {-1.0, 0.0, 127.0 / 128}, WavSampleFormat::Pcm8},
        {"24-bit",
         Fmt(1, 1, 8000, 24),
         {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF},
         {-1.0, 8388607.0 / 8388608, -1.0 / 8388608},
         WavSampleFormat::Pcm24},
        {"32-bit", Fmt(1, 1, 8000, 32), {0, 0, 0, 0x80, 0, 0, 0, 0x40}, {-1.0, 0.5}, WavSampleFormat::Pcm32},
        {"float64", Fmt(3, 1, 8000, 64), {0, 0, 0, 0, 0, 0, 0xC0, 0x3F}, {0.125}, WavSampleFormat::Float64},
        {"extensible 24 in 32", FmtExtensible(1, 1, 32, 24), {0, 0, 0, 0xC0}, {-0.5}, WavSampleFormat::Pcm32},
        {"extensible float",
         FmtExtensible(3, 1, 32, 32),
         {0, 0, 0x80, 0x3E},
         {0.25},
         WavSampleFormat::Float32},
    };
    for (const auto& c : cases)
    {
        AudioData audio;
        WavInfo info;
        std::string error;
        ASSERT_TRUE(Parse(Riff({{"fmt ", c.fmt}, {"data", c.data}}), audio, info, error))
            << c.name << ": " << error;
        ASSERT_EQ(audio.ChannelCount(), 1) << c.name;
        EXPECT_EQ(audio.channels[0], c.expected) << c.name;
        EXPECT_EQ(info.format, c.format) << c.name;
    }
}

TEST(WavFile, SkipsOtherChunksAndDropsAPartialFrame)
{
    // A 3-byte chunk (padded), data before fmt, and 5 bytes of 16-bit stereo data.
    const Bytes file =
        Riff({{"LIST", {1, 2, 3}}, {"data", {0x00, 0x40, 0x00, 0xC0, 0x11}}, {"fmt ", Fmt(1, 2, 22050, 16)}});
    AudioData audio;
    WavInfo info;
    std::string error;
    ASSERT_TRUE(Parse(file, audio, info, error)) << error;
    EXPECT_EQ(audio.sampleRate, 22050.0);
    ASSERT_EQ(audio.ChannelCount(), 2);
    EXPECT_EQ(audio.channels[0], std::vector<double>{0.5});
    EXPECT_EQ(audio.channels[1], std::vector<double>{-0.5});
}

TEST(WavFile, ReadsNonFiniteFloatsAsZeroAndCountsThem)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[3] = {nan, 0.5f, -std::numeric_limits<float>::infinity()};
    Bytes data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    AudioData audio;
    WavInfo info;
    std::string error;
    ASSERT_TRUE(Parse(Riff({{"fmt ", Fmt(3, 1, 48000, 32)}, {"data", data}}), audio, info, error)) << error;
    EXPECT_EQ(audio.channels[0], (std::vector<double>{0.0, 0.5, 0.0}));
    EXPECT_EQ(info.nonFiniteSamples, 2u);
}

TEST(WavFile, RefusesMalformedFilesWithAReason)
{
    const Bytes good = Riff({{"fmt ", Fmt(1, 1, 48000, 16)}, {"data", {1, 2, 3, 4}}});
    Bytes riffTooLong = good;
    riffTooLong[4] += 1;
    Bytes chunkTooLong = good;
    chunkTooLong[40] = 9; // data declares 9 bytes, 4 follow
    Bytes rf64 = good;
    std::memcpy(rf64.data(), "RF64", 4);
    Bytes notWave = good;
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes riffTiny = good;
    riffTiny[4] = 2;
    riffTiny[5] = riffTiny[6] = riffTiny[7] = 0;
    Bytes hugeData = good;
    hugeData[40] = hugeData[41] = hugeData[42] = hugeData[43] = 0xFF;

    const struct
    {
        const char* name;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"empty", {}, "too short for a RIFF header"},
        {"header only", Bytes(good.begin(), good.begin() + 11), "too short for a RIFF header"},
        {"not RIFF", notWave, "no RIFF/WAVE header"},
        {"RF64", rf64, "RF64 files are not supported"},
        {"RIFF size past the end", riffTooLong,
         "truncated WAV file: RIFF header declares 49 bytes, the file has 48"},
        {"RIFF size below the header", riffTiny, "impossible size"},
        {"chunk past the end", chunkTooLong, "chunk 'data' declares 9 bytes, 4 remain"},
        {"absurd data size", hugeData, "chunk 'data' declares 4294967295 bytes"},
        {"cut inside a chunk", Bytes(good.begin(), good.end() - 1), "truncated"},
        {"no fmt", Riff({{"data", {1, 2}}}), "no fmt chunk"},
        {"no data", Riff({{"fmt ", Fmt(1, 1, 48000, 16)}}), "no data chunk"},
        {"short fmt", Riff({{"fmt ", Bytes(14, 0)}, {"data", {}}}), "fmt chunk of 14 bytes is too short"},
        {"ADPCM", Riff({{"fmt ", Fmt(2, 1, 48000, 4, 1)}, {"data", {}}}), "unsupported WAV format tag 2"},
        {"12-bit", Riff({{"fmt ", Fmt(1, 1, 48000, 12, 2)}, {"data", {}}}),
         "unsupported sample size: 12-bit PCM"},
        {"16-bit float", Riff({{"fmt ", Fmt(3, 1, 48000, 16)}, {"data", {}}}),
         "unsupported sample size: 16-bit float"},
        {"no channels", Riff({{"fmt ", Fmt(1, 0, 48000, 16, 2)}, {"data", {}}}),
         "unsupported channel count 0"},
        {"65 channels", Riff({{"fmt ", Fmt(1, 65, 48000, 16)}, {"data", {}}}),
         "unsupported channel count 65"},
        {"rate 0", Riff({{"fmt ", Fmt(1, 1, 0, 16)}, {"data", {}}}), "absurd sample rate 0 Hz"},
        {"rate 4 GHz", Riff({{"fmt ", Fmt(1, 1, 4000000000u, 16)}, {"data", {}}}), "absurd sample rate"},
        {"block align", Riff({{"fmt ", Fmt(1, 2, 48000, 16, 3)}, {"data", {}}}),
         "block align 3 does not match"},
        {"extensible GUID",
         Riff({{"fmt ",
                []
                {
                    Bytes f = FmtExtensible(1, 1, 16, 16);
                    f[30] ^= 0xFF;
                    return f;
                }()},
               {"data", {}}}),
         "unsupported extensible sub-format"},
        {"extensible valid bits", Riff({{"fmt ", FmtExtensible(1, 1, 16, 24)}, {"data", {}}}),
         "more valid bits"},
        {"extensible short", Riff({{"fmt ", Bytes(Fmt(0xFFFE, 1, 48000, 16))}, {"data", {}}}),
         "extensible fmt chunk is too short"},
    };
    for (const auto& c : cases)
    {
        AudioData audio;
        WavInfo info;
        std::string error;
        EXPECT_FALSE(Parse(c.bytes, audio, info, error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(audio.ChannelCount(), 0) << c.name;
    }
}

TEST(WavFile, WriterRefusesWhatAWavFileCannotHold)
{
    Bytes bytes;
    std::string error;
    AudioData none;
    EXPECT_FALSE(EncodeWav(none, WavSampleFormat::Float32, bytes, error));
    AudioData ragged;
    ragged.channels = {{0.0, 0.0}, {0.0}};
    EXPECT_FALSE(EncodeWav(ragged, WavSampleFormat::Float32, bytes, error));
    AudioData audio;
    audio.channels = {{0.0}};
    EXPECT_FALSE(EncodeWav(audio, WavSampleFormat::Pcm8, bytes, error));
    audio.sampleRate = 0.0;
    EXPECT_FALSE(EncodeWav(audio, WavSampleFormat::Pcm16, bytes, error));
}

TEST(WavFile, FilesRoundTripAndMissingFilesAreNamed)
{
    const std::string path = UniqueTempPath("wav_test.wav").string();
    AudioData audio;
    audio.sampleRate = 96000.0;
    audio.channels = {{0.25, -0.75, 0.125}, {0.0, 1.0, -1.0}};
    std::string error;
    ASSERT_TRUE(WriteWavFile(path, audio, WavSampleFormat::Float32, error)) << error;
    AudioData back;
    WavInfo info;
    ASSERT_TRUE(ReadWavFile(path, back, info, error)) << error;
    EXPECT_EQ(back.channels, audio.channels);
    EXPECT_EQ(back.sampleRate, 96000.0);
    std::filesystem::remove(path);

    EXPECT_FALSE(ReadWavFile(path, back, info, error));
    EXPECT_EQ(error, "no such file: " + path);
}
