// The host tool's commands run in process on the test plug-in, whose gain and one-pole
// low-pass give outputs and a response known in closed form.
#include "tools/HostTool.h"
#include "tools/Bench.h"
#include "tools/WavFile.h"
#include "tools/tests/TempPath.h"
#include "tools/tests/fixtures/FixtureProbe.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <sstream>

namespace
{
struct ToolRun
{
    int status = -1;
    std::string out, err;
};

ToolRun Tool(std::vector<std::string> args)
{
    std::ostringstream out, err;
    ToolRun run;
    run.status = RunHostTool(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

class HostTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = UniqueTempPath("hosttool_" +
                              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A stereo float WAV of two distinct signals, n frames at 48 kHz.
    std::string WriteInput(std::size_t n, AudioData& audio)
    {
        audio = AudioData{};
        audio.sampleRate = 48000.0;
        audio.Resize(2, n);
        for (std::size_t i = 0; i < n; ++i)
        {
            audio.channels[0][i] = static_cast<float>(0.6 * std::sin(0.01 * static_cast<double>(i)));
            audio.channels[1][i] = static_cast<float>(-0.3 + 0.0001 * static_cast<double>(i));
        }
        std::string error;
        const std::string path = Path("in.wav");
        EXPECT_TRUE(WriteWavFile(path, audio, WavSampleFormat::Float32, error)) << error;
        return path;
    }

    AudioData ReadOutput(const std::string& path)
    {
        AudioData audio;
        WavInfo info;
        std::string error;
        EXPECT_TRUE(ReadWavFile(path, audio, info, error)) << error;
        return audio;
    }

    std::filesystem::path dir_;
};

// Every output sample equals gain x input (the fixture's Smooth is 0).
void ExpectScaled(const AudioData& in, const AudioData& out, double gain)
{
    ASSERT_EQ(out.ChannelCount(), 2);
    ASSERT_EQ(out.Frames(), in.Frames());
    for (int c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < in.Frames(); ++i)
            ASSERT_EQ(out.channels[c][i], static_cast<float>(gain * in.channels[c][i])) << c << " " << i;
}
} // namespace

TEST_F(HostTool, RendersAWavFileWithParametersByNameOrIndex)
{
    AudioData in;
    const std::string input = WriteInput(3000, in);
    const struct
    {
        std::vector<std::string> settings;
        double gain;
    } cases[] = {
        {{}, 1.0},
        {{"--param", "Gain=0.25"}, 0.5},
        {{"--param", "0=0.125"}, 0.25},
        {{"--param-text", "gain=1.5"}, 1.5},
        {{"--program", "1"}, 0.5},
        {{"--program", "1", "--param", "gain=1"}, 2.0},
        {{"--param", "Gain=0.25", "--double"}, 0.5},
        {{"--param", "Gain=0.25", "--block", "7"}, 0.5},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> args = {"render", FIXTURE_GAIN, "--in", input, "--out", Path("out.wav")};
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        const ToolRun run = Tool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("rendered 3000 frames"), std::string::npos) << run.out;
        ExpectScaled(in, ReadOutput(Path("out.wav")), c.gain);
    }
}

TEST_F(HostTool, FeedsAMonoFileToEveryInput)
{
    AudioData mono;
    mono.sampleRate = 44100.0;
    mono.Resize(1, 100);
    for (std::size_t i = 0; i < 100; ++i)
        mono.channels[0][i] = 0.01 * static_cast<double>(i);
    std::string error;
    ASSERT_TRUE(WriteWavFile(Path("mono.wav"), mono, WavSampleFormat::Float32, error));
    const ToolRun run = Tool({"render", FIXTURE_GAIN, "--in", Path("mono.wav"), "--out", Path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const AudioData out = ReadOutput(Path("out.wav"));
    EXPECT_EQ(out.sampleRate, 44100.0);
    ASSERT_EQ(out.ChannelCount(), 2);
    for (std::size_t i = 0; i < 100; ++i)
    {
        EXPECT_EQ(out.channels[0][i], static_cast<float>(mono.channels[0][i]));
        EXPECT_EQ(out.channels[1][i], static_cast<float>(mono.channels[0][i]));
    }
}

TEST_F(HostTool, RendersTheDemoSignalWithoutAnInputFile)
{
    const ToolRun run = Tool({"render", FIXTURE_GAIN, "--rate", "44100", "--seconds", "1.5", "--out",
                              Path("demo.wav"), "--format", "pcm24"});
    ASSERT_EQ(run.status, 0) << run.err;
    AudioData out;
    WavInfo info;
    std::string error;
    ASSERT_TRUE(ReadWavFile(Path("demo.wav"), out, info, error)) << error;
    EXPECT_EQ(info.format, WavSampleFormat::Pcm24);
    EXPECT_EQ(out.sampleRate, 44100.0);
    EXPECT_EQ(out.Frames(), 66150u);
    EXPECT_NE(run.out.find("in 1 peak -6.0 dBFS"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("out 2 peak -6.0 dBFS"), std::string::npos) << run.out;
}

TEST_F(HostTool, SavesAndLoadsStateChunks)
{
    ToolRun run = Tool({"info", FIXTURE_GAIN, "--param", "Gain=0.375", "--save-state", Path("state.fxp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(Path("state.fxp")), 16u);
    run = Tool({"info", FIXTURE_GAIN, "--bank", "--param", "Gain=0.375", "--save-state", Path("bank.fxb")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(Path("bank.fxb")), 20u);

    AudioData in;
    const std::string input = WriteInput(500, in);
    run = Tool(
        {"render", FIXTURE_GAIN, "--in", input, "--out", Path("out.wav"), "--load-state", Path("state.fxp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ExpectScaled(in, ReadOutput(Path("out.wav")), 0.75);

    // A program chunk offered as a bank: the plug-in answers 0, the tool warns and goes on.
    run = Tool({"render", FIXTURE_GAIN, "--in", input, "--out", Path("out.wav"), "--bank", "--load-state",
                Path("state.fxp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: the plug-in answered 0"), std::string::npos) << run.err;
    ExpectScaled(in, ReadOutput(Path("out.wav")), 1.0);
}

TEST_F(HostTool, InfoListsWhatThePluginDeclares)
{
    const ToolRun run = Tool({"info", FIXTURE_GAIN, "--param", "gain=0.25"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line : {
             "(entry point VSTPluginMain)\n",
             "effect name    Fixture Gain\n",
             "vendor         Grovane Tests\n",
             "version        1001 (vendor version 7)\n",
             "unique ID      'GhTf' (0x47685466)\n",
             "category       1 (effect)\n",
             "flags          0x00001030 CanReplacing ProgramChunks CanDoubleReplacing\n",
             "inputs         2\n",
             "  0      Gain                    0.250000  0.500           x\n",
             "  1      Smooth                  0.000000  0.000           \n",
             "programs       2 (current 0)\n",
             "  1      Half\n",
         })
        EXPECT_NE(run.out.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << run.out;
}

TEST_F(HostTool, MeasuresTheResponseAndPlotsIt)
{
    // Smooth = 0.5: a one-pole low-pass with a = 0.495, gain 1:
    // |H(w)| = (1 - a) / sqrt(1 - 2a cos w + a^2).
    const ToolRun run = Tool({"response", FIXTURE_GAIN, "--param", "Smooth=0.5", "--out", Path("plot.png"),
                              "--table", "--points", "12", "--size", "640x400"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream table(run.out);
    std::string header;
    std::getline(table, header);
    EXPECT_EQ(header.substr(0, 2), "Hz");
    const double a = 0.99 * 0.5;
    int rows = 0;
    double hz, left, right;
    while (table >> hz >> left >> right)
    {
        const double w = 2.0 * std::numbers::pi * hz / 48000.0;
        const double expected = 20.0 * std::log10((1.0 - a) / std::sqrt(1.0 - 2.0 * a * std::cos(w) + a * a));
        EXPECT_NEAR(left, expected, 0.01) << hz;
        EXPECT_NEAR(right, expected, 0.01) << hz;
        ++rows;
    }
    EXPECT_EQ(rows, 12);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, Path("plot.png").c_str()), 0) << image.message;
    EXPECT_EQ(image.width, 640u);
    EXPECT_EQ(image.height, 400u);
    png_image_free(&image);
}

TEST_F(HostTool, BenchPrintsBothPrecisions)
{
    const ToolRun run = Tool({"bench", FIXTURE_GAIN, "--seconds", "0.2", "--block", "256"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("bench: 256-frame blocks at 48000 Hz"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  Fixture Gain        processReplacing "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  Fixture Gain        processDoubleReplacing "), std::string::npos) << run.out;
}

TEST_F(HostTool, BenchDrivesThePluginInRealtimeMode)
{
    std::string error;
    auto plugin = HostedPlugin::Load(FIXTURE_GAIN, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_TRUE(plugin->Open(error) && plugin->Prepare(48000.0, 480, false, error)) << error;
    BenchResult result;
    ASSERT_TRUE(BenchPlugin(*plugin, 1.0, false, result, error)) << error;
    const FixtureProbe& p =
        *reinterpret_cast<FixtureProbe*>(plugin->Dispatch(effVendorSpecific, kFixtureProbeIndex));
    EXPECT_EQ(p.levelInProcess, kVstProcessLevelRealtime);
    // 10 passes of 48000 / 10 / 480 = 10 blocks, after a warm-up of one pass.
    EXPECT_EQ(result.passes, 10);
    EXPECT_EQ(result.frames, 48000);
    EXPECT_EQ(p.blocks, 110);
    EXPECT_EQ(p.suspends, 1);
    EXPECT_GT(result.nsPerFrame, 0.0);
    EXPECT_LE(result.bestNsPerFrame, result.nsPerFrame);
}

TEST_F(HostTool, FailsClearlyWithTheRightStatus)
{
    std::vector<std::uint8_t> truncated;
    AudioData tiny;
    tiny.Resize(1, 10);
    std::string error;
    ASSERT_TRUE(EncodeWav(tiny, WavSampleFormat::Pcm16, truncated, error));
    truncated.resize(truncated.size() - 3);
    ASSERT_TRUE(WriteWholeFile(Path("truncated.wav"), truncated, error));
    const std::string out = Path("out.wav");

    const struct
    {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{}, 2, "no command given"},
        {{"frobnicate", FIXTURE_GAIN}, 2, "unknown command 'frobnicate'"},
        {{"info"}, 2, "info needs a plug-in library"},
        {{"info", FIXTURE_GAIN, FIXTURE_GAIN}, 2, "info takes one plug-in"},
        {{"render", FIXTURE_GAIN}, 2, "render needs --out FILE"},
        {{"info", FIXTURE_GAIN, "--in", "x.wav"}, 2, "option --in does not apply to info"},
        {{"info", FIXTURE_GAIN, "--block", "0"}, 2, "--block takes a frame count"},
        {{"info", FIXTURE_GAIN, "--block"}, 2, "option --block needs a value"},
        {{"info", FIXTURE_GAIN, "--volume", "3"}, 2, "unknown option --volume"},
        {{"info", FIXTURE_GAIN, "--param", "Gain"}, 2, "--param takes PARAMETER=VALUE"},
        {{"render", FIXTURE_GAIN, "--in", "x.wav", "--rate", "44100", "--out", out},
         2,
         "--rate does not apply"},
        {{"info", std::string(FIXTURE_GAIN) + ".missing"}, 1, "no such file"},
        {{"info", FIXTURE_NOENTRY}, 1, "exports neither VSTPluginMain nor main"},
        {{"info", FIXTURE_NULL}, 1, "plug-in refused to open"},
        {{"info", FIXTURE_BADMAGIC}, 1, "not 'VstP'"},
        {{"render", FIXTURE_GAIN, "--in", Path("missing.wav"), "--out", out}, 1, "no such file"},
        {{"render", FIXTURE_GAIN, "--in", Path("truncated.wav"), "--out", out}, 1, "truncated WAV file"},
        {{"info", FIXTURE_GAIN, "--param", "Gain=1.5"}, 1, "normalized values are numbers from 0 to 1"},
        {{"info", FIXTURE_GAIN, "--param", "Gain=nan"}, 1, "normalized values are numbers from 0 to 1"},
        {{"info", FIXTURE_GAIN, "--param", "Volume=0.5"},
         1,
         "no parameter 'Volume'; the plug-in has: 0 Gain, 1 Smooth"},
        {{"info", FIXTURE_GAIN, "--param-text", "Gain=loud"},
         1,
         "refused the text 'loud' for parameter 0 (Gain)"},
        {{"info", FIXTURE_GAIN, "--program", "2"}, 1, "program 2 does not exist (the plug-in has 2)"},
        {{"info", FIXTURE_GAIN, "--load-state", Path("missing.fxp")}, 1, "no such file"},
        {{"render", FIXTURE_GAIN, "--out", Path("no/such/dir/out.wav"), "--seconds", "0.1"},
         1,
         "cannot create"},
    };
    for (const auto& c : cases)
    {
        const ToolRun run = Tool(c.args);
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        EXPECT_EQ(run.status, c.status) << joined << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << joined << "\n" << run.err;
    }
}
