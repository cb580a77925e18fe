// The grovane-host program itself, run as a user runs it, on a Debian-packaged plug-in.
#include "tools/WavFile.h"
#include "tools/tests/TempPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace
{
const std::string kEq = std::string(DPF_PLUGIN_DIR) + "/3BandEQ-vst.so";

struct Result
{
    int status = -1;
    std::string err;
};

// Runs grovane-host with args (already quoted where needed), stderr to a file.
Result RunHost(const std::string& args, const std::filesystem::path& dir)
{
    const std::filesystem::path errFile = dir / "stderr.txt";
    const std::string command =
        std::string(GROVANE_HOST) + " " + args + " >/dev/null 2>'" + errFile.string() + "'";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    result.err = text.str();
    return result;
}

class HostToolExe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kEq))
            << kEq << " is missing: install dpf-plugins-vst (scripts/setup.sh)";
        dir_ = UniqueTempPath("exe_" +
                              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};
} // namespace

TEST_F(HostToolExe, RendersAFileThroughADebianPlugin)
{
    AudioData in;
    in.sampleRate = 44100.0;
    in.Resize(1, 4410);
    for (std::size_t i = 0; i < 4410; ++i)
        in.channels[0][i] =
            0.8 * std::sin(2.0 * 3.141592653589793 * 220.0 * static_cast<double>(i) / 44100.0);
    std::string error;
    const std::string input = (dir_ / "in.wav").string();
    const std::string output = (dir_ / "out.wav").string();
    ASSERT_TRUE(WriteWavFile(input, in, WavSampleFormat::Pcm16, error)) << error;

    // Master at a quarter of its travel scales by 0.25; 24-bit output.
    const Result r = RunHost("render " + kEq + " --in " + input + " --out " + output +
                                 " --param Master=0.25 --format pcm24",
                             dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    AudioData out;
    WavInfo info;
    ASSERT_TRUE(ReadWavFile(output, out, info, error)) << error;
    EXPECT_EQ(info.format, WavSampleFormat::Pcm24);
    EXPECT_EQ(out.sampleRate, 44100.0);
    ASSERT_EQ(out.ChannelCount(), 2);
    ASSERT_EQ(out.Frames(), 4410u);
    // The 16-bit input read back exactly, scaled, rounded to 24 bits: within one step.
    AudioData read;
    ASSERT_TRUE(ReadWavFile(input, read, info, error));
    for (int c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < 4410; ++i)
            ASSERT_NEAR(out.channels[c][i], 0.25 * read.channels[0][i], 1.0 / 8388608) << c << " " << i;
}

TEST_F(HostToolExe, RendersTheDemoAndPlotsTheResponse)
{
    const std::string output = (dir_ / "demo.wav").string();
    Result r = RunHost("render " + kEq + " --out " + output + " --seconds 2", dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    AudioData out;
    WavInfo info;
    std::string error;
    ASSERT_TRUE(ReadWavFile(output, out, info, error)) << error;
    EXPECT_EQ(info.format, WavSampleFormat::Float32);
    EXPECT_EQ(out.Frames(), 96000u);
    double peak = 0.0;
    for (double v : out.channels[0])
        peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak, 0.5, 1e-6) << "all bands at 0 dB pass the -6 dBFS demo unchanged";

    const std::string plot = (dir_ / "plot.png").string();
    r = RunHost("response " + kEq + " --out " + plot + " --points 20 --param Low=1", dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream png(plot, std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature, 8), "\x89PNG\r\n\x1a\n");
}

TEST_F(HostToolExe, ExitsNonZeroWithAMessage)
{
    const std::string bad = (dir_ / "bad.wav").string();
    // A RIFF header declaring 24 bytes in a 16-byte file.
    const std::string truncated("RIFF\x10\0\0\0WAVEfmt ", 16);
    std::ofstream(bad, std::ios::binary) << truncated;
    const struct
    {
        std::string args;
        int status;
        const char* message;
    } cases[] = {
        {"info /nonexistent/plugin.so", 1, "no such file: /nonexistent/plugin.so"},
        {"info /usr/lib/x86_64-linux-gnu/libz.so.1", 1, "exports neither VSTPluginMain nor main"},
        {"render " + kEq + " --in " + bad + " --out " + (dir_ / "o.wav").string(), 1, "truncated WAV file"},
        {"render " + kEq, 2, "render needs --out FILE"},
    };
    for (const auto& c : cases)
    {
        const Result r = RunHost(c.args, dir_);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
}
