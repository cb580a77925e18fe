// Grovane-VST2 loaded as a host loads it, through the library's entry point, and checked
// through the AEffect record and its callbacks only.

#include "ExportLookup.h"
#include "formats/vst2/VstInterface.h"
#include "tools/PluginLibrary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace
{

// ---- A host callback that records what the plug-in asks ----

struct HostCall
{
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

std::vector<HostCall> gCalls;
std::string gProductString;
VstIntPtr gVendorVersion = 0;
VstTimeInfo gTime = {};
bool gAnswerTime = true;

VstIntPtr VSTCALLBACK RecordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* data,
                                    float opt)
{
    (void)value;
    gCalls.push_back({opcode, index, opt});
    switch (opcode)
    {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetProductString:
        std::snprintf(static_cast<char*>(data), 64, "%s", gProductString.c_str());
        return 1;
    case audioMasterGetVendorVersion:
        return gVendorVersion;
    case audioMasterGetTime:
        return gAnswerTime ? reinterpret_cast<VstIntPtr>(&gTime) : 0;
    default:
        return 0;
    }
}

int CountCalls(VstInt32 opcode)
{
    int n = 0;
    for (const HostCall& c : gCalls)
        n += c.opcode == opcode ? 1 : 0;
    return n;
}

// ---- Fixture: the library, loaded once; a fresh instance per test ----

class VstBinary : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        library = PluginLibrary::Open(GROVANE_VST2_PATH, error).release();
        ASSERT_NE(library, nullptr) << error;
    }
    static void TearDownTestSuite()
    {
        delete library;
        library = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(library, nullptr);
        gCalls.clear();
        gProductString.clear();
        gVendorVersion = 0;
        gAnswerTime = true;
        effect = library->Entry()(RecordingHost);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override
    {
        if (effect)
            Dispatch(effClose);
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* data = nullptr,
                       float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, data, opt);
    }
    std::string Text(VstInt32 opcode, VstInt32 index = 0)
    {
        char text[256];
        std::memset(text, 'x', sizeof text);
        text[255] = '\0';
        Dispatch(opcode, index, 0, text);
        return text;
    }
    std::vector<unsigned char> Chunk(VstInt32 index)
    {
        void* data = nullptr;
        const VstIntPtr size = Dispatch(effGetChunk, index, 0, &data);
        if (size <= 0 || !data)
            return {};
        const auto* bytes = static_cast<const unsigned char*>(data);
        return {bytes, bytes + size};
    }
    void Open(double rate = 44100.0, int block = 512)
    {
        Dispatch(effOpen);
        Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        Dispatch(effSetBlockSize, 0, block);
        Dispatch(effMainsChanged, 0, 1);
    }

    static PluginLibrary* library;
    AEffect* effect = nullptr;
};

PluginLibrary* VstBinary::library = nullptr;

std::vector<unsigned char> DoubleBytes(std::initializer_list<double> values)
{
    std::vector<unsigned char> out(values.size() * 8);
    std::memcpy(out.data(), values.begin(), out.size()); // every target is little-endian
    return out;
}

const std::vector<unsigned char> kHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

// First outputs of the 80 Hz, Q 1.5 high-pass at 44100 Hz for a constant 1.0.
constexpr double kFirstOutputs[] = {0.9961827502081985, 0.9885129290121634, 0.9807732305791512};

} // namespace

TEST_F(VstBinary, RecordDeclaresTheEffect)
{
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->flags, 0x1018); // replacing, double replacing, mono-capable; no editor yet
    EXPECT_EQ(effect->numParams, 4);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->uniqueID, 0x4772766E);
    EXPECT_EQ(effect->version, 10201);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_FLOAT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
}

TEST_F(VstBinary, TheOlderEntryPointAnswersTheSameKindOfRecord)
{
    auto legacy = reinterpret_cast<VstPluginEntryProc>(FindLoadedExport(GROVANE_VST2_PATH, "main"));
    ASSERT_NE(legacy, nullptr);
    AEffect* other = legacy(RecordingHost);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, effect);
    EXPECT_EQ(other->magic, effect->magic);
    EXPECT_EQ(other->uniqueID, effect->uniqueID);
    EXPECT_EQ(other->flags, effect->flags);
    other->dispatcher(other, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(VstBinary, FixedAnswers)
{
    EXPECT_EQ(Dispatch(effGetPlugCategory), 1);
    EXPECT_EQ(Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(Dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(Text(effGetEffectName), "Grovane");
    EXPECT_EQ(Text(effGetVendorString), "Tessaly");
    EXPECT_EQ(Text(effGetProductString), "");
    EXPECT_EQ(Dispatch(effGetTailSize), 0);
    EXPECT_EQ(Dispatch(12345), 0);
}

TEST_F(VstBinary, CanDoAnswers)
{
    struct
    {
        const char* text;
        VstIntPtr answer;
    } cases[] = {
        {"receiveVstTimeInfo", 1},
        {"receiveVstEvents", 0}, // no MIDI
        {"sendVstMidiEvent", 0},
        {"hasCockosExtensions", 0xBEEF0000},
        {"hasCockosViewAsConfig", 0xBEEF0000},
        {"bypass", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Dispatch(effCanDo, 0, 0, const_cast<char*>(c.text)), c.answer) << c.text;
    EXPECT_EQ(Dispatch(effCanDo), 0);
}

TEST_F(VstBinary, ParameterTexts)
{
    const char* names[] = {"Gain", "Frequency", "Amplitude", "Mix"};
    const char* labels[] = {"dB", "Hz", "Q", "L->R"};
    const char* displays[] = {"0.00", "80.00", "1.50", "100.0"};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Text(effGetParamName, i), names[i]);
        EXPECT_EQ(Text(effGetParamLabel, i), labels[i]);
        EXPECT_EQ(Text(effGetParamDisplay, i), displays[i]);
        EXPECT_EQ(Dispatch(effCanBeAutomated, i), 1);
    }
    // An index outside the list writes nothing and answers 0.
    EXPECT_EQ(Text(effGetParamName, 4), std::string(255, 'x'));
    EXPECT_EQ(Text(effGetParamDisplay, -1), std::string(255, 'x'));
    EXPECT_EQ(Dispatch(effCanBeAutomated, 4), 0);
}

TEST_F(VstBinary, ParameterValuesFromTheHost)
{
    // Frequency 10..2000 with shape 3: 0.5 sits at 258.75 Hz.
    effect->setParameter(effect, 1, 0.5f);
    EXPECT_EQ(Text(effGetParamDisplay, 1), "258.75");
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 0.5f);
    // NaN is ignored; values outside 0..1 are limited.
    effect->setParameter(effect, 1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 0.5f);
    effect->setParameter(effect, 0, -1.0f);
    EXPECT_EQ(Text(effGetParamDisplay, 0), "-36.00");
    effect->setParameter(effect, 0, 2.0f);
    EXPECT_EQ(Text(effGetParamDisplay, 0), "36.00");
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 1.0f);
    // Invalid indices change nothing and read 0.
    effect->setParameter(effect, 7, 0.3f);
    EXPECT_EQ(effect->getParameter(effect, 7), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
}

TEST_F(VstBinary, String2Parameter)
{
    EXPECT_EQ(Dispatch(effString2Parameter, 1, 0, const_cast<char*>("12.5")), 1);
    EXPECT_EQ(Text(effGetParamDisplay, 1), "12.50");
    EXPECT_EQ(Dispatch(effString2Parameter, 1, 0, const_cast<char*>("5000")), 1);
    EXPECT_EQ(Text(effGetParamDisplay, 1), "2000.00"); // clamped to the range
    EXPECT_EQ(Dispatch(effString2Parameter, 1, 0, const_cast<char*>("nan")), 0);
    EXPECT_EQ(Text(effGetParamDisplay, 1), "2000.00");
    EXPECT_EQ(Dispatch(effString2Parameter, 1), 1); // no text: nothing changes
    EXPECT_EQ(Dispatch(effString2Parameter, 9, 0, const_cast<char*>("1")), 0);
}

TEST_F(VstBinary, PinProperties)
{
    VstPinProperties pin = {};
    ASSERT_EQ(Dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 3);
    EXPECT_STREQ(pin.label, "Input 1");
    ASSERT_EQ(Dispatch(effGetInputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 1);
    EXPECT_STREQ(pin.label, "Input 2");
    ASSERT_EQ(Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 1");
    EXPECT_EQ(Dispatch(effGetInputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(Dispatch(effGetInputProperties, 0), 0);
}

TEST_F(VstBinary, ProgramChunkByteForByte)
{
    std::vector<unsigned char> expected = kHeader;
    const auto values = DoubleBytes({0.0, 80.0, 1.5, 100.0});
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(Chunk(1), expected);
    EXPECT_EQ(Dispatch(effGetChunk, 1), 0); // no data pointer
}

TEST_F(VstBinary, BankChunkByteForByte)
{
    // One preset, named "-" by the effect, holding the defaults.
    std::vector<unsigned char> expected = kHeader;
    const unsigned char name[] = {1, 0, 0, 0, '-', 1};
    expected.insert(expected.end(), name, name + sizeof name);
    const auto values = DoubleBytes({0.0, 80.0, 1.5, 100.0});
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(Chunk(0), expected);
    EXPECT_EQ(Text(effGetProgramNameIndexed, 0), "-");
    EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
}

TEST_F(VstBinary, SetChunkWithAndWithoutHeader)
{
    std::vector<unsigned char> chunk = kHeader;
    const auto values = DoubleBytes({6.0, 120.0, 2.0, 50.0});
    chunk.insert(chunk.end(), values.begin(), values.end());
    EXPECT_EQ(Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()), 1);
    EXPECT_EQ(Text(effGetParamDisplay, 0), "6.00");
    EXPECT_EQ(Text(effGetParamDisplay, 1), "120.00");
    EXPECT_EQ(Text(effGetParamDisplay, 3), "50.0");
    // Stored into the current preset as well.
    const auto bank = Chunk(0);
    ASSERT_EQ(bank.size(), 46u);
    EXPECT_TRUE(std::equal(values.begin(), values.end(), bank.begin() + 14));

    // Without the header: read as values from byte 0.
    auto bare = DoubleBytes({-6.0, 200.0, 3.0, 25.0});
    EXPECT_EQ(Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(bare.size()), bare.data()), 1);
    EXPECT_EQ(Text(effGetParamDisplay, 1), "200.00");

    // The magic with 4 to 7 bytes fails and answers 0.
    EXPECT_EQ(Dispatch(effSetChunk, 1, 6, chunk.data()), 0);
}

TEST_F(VstBinary, SetChunkRefusesBadCountsAndChangesNothing)
{
    std::vector<unsigned char> chunk = DoubleBytes({6.0, 120.0, 2.0, 50.0});
    EXPECT_EQ(Dispatch(effSetChunk, 1, -8, chunk.data()), 0);
    EXPECT_EQ(Dispatch(effSetChunk, 1, std::numeric_limits<VstIntPtr>::max(), chunk.data()), 0);
    EXPECT_EQ(Dispatch(effSetChunk, 1, 32, nullptr), 0);
    EXPECT_EQ(Dispatch(effSetChunk, 0, 0, chunk.data()), 0);
    EXPECT_EQ(Text(effGetParamDisplay, 0), "0.00");
    EXPECT_EQ(Text(effGetParamDisplay, 1), "80.00");
}

TEST_F(VstBinary, BankChunkRoundTripsIntoANewInstance)
{
    effect->setParameter(effect, 3, 0.25f);
    Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Deep"));
    const auto bank = Chunk(0);
    ASSERT_FALSE(bank.empty());

    AEffect* other = library->Entry()(RecordingHost);
    ASSERT_NE(other, nullptr);
    std::vector<unsigned char> copy = bank;
    EXPECT_EQ(other->dispatcher(other, effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data(), 0),
              1);
    EXPECT_FLOAT_EQ(other->getParameter(other, 3), 0.25f);
    char name[64] = {};
    other->dispatcher(other, effGetProgramName, 0, 0, name, 0);
    EXPECT_STREQ(name, "Deep");
    void* data = nullptr;
    const VstIntPtr size = other->dispatcher(other, effGetChunk, 0, 0, &data, 0);
    ASSERT_EQ(size, static_cast<VstIntPtr>(bank.size()));
    EXPECT_EQ(std::memcmp(data, bank.data(), bank.size()), 0);
    other->dispatcher(other, effClose, 0, 0, nullptr, 0);
}

TEST_F(VstBinary, LongProgramNamesAreKeptToAPresetsRoom)
{
    const std::string longName(300, 'n');
    Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
    // The bank stores the first 255 characters...
    const auto bank = Chunk(0);
    ASSERT_GE(bank.size(), 12u);
    int32_t stored = 0;
    std::memcpy(&stored, bank.data() + 8, 4);
    EXPECT_EQ(stored, 255);
    // ...and a host's program-name area receives no more than the published 24 bytes.
    char area[64];
    std::memset(area, '#', sizeof area);
    Dispatch(effGetProgramName, 0, 0, area);
    EXPECT_EQ(std::strlen(area), 23u);
    EXPECT_EQ(area[24], '#');
}

TEST_F(VstBinary, ProcessReplacingGivesTheFilteredFirstSamples)
{
    Open();
    std::vector<float> inL(64, 1.0f), inR(64, 1.0f), outL(64), outR(64);
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {outL.data(), outR.data()};
    effect->processReplacing(effect, in, out, 64);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(outL[i], static_cast<float>(kFirstOutputs[i])) << i;
        EXPECT_EQ(outR[i], static_cast<float>(kFirstOutputs[i])) << i;
    }
}

TEST_F(VstBinary, ProcessDoubleReplacingGivesTheExactFirstSamples)
{
    Open();
    std::vector<double> inL(64, 1.0), inR(64, 1.0), outL(64), outR(64);
    double* in[] = {inL.data(), inR.data()};
    double* out[] = {outL.data(), outR.data()};
    effect->processDoubleReplacing(effect, in, out, 64);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(outL[i], kFirstOutputs[i]) << i;
        EXPECT_EQ(outR[i], kFirstOutputs[i]) << i;
    }
    // In place: the same buffer in and out.
    std::vector<double> l(64, 1.0), r(64, 1.0);
    Dispatch(effMainsChanged, 0, 0); // suspending clears the filters
    Dispatch(effMainsChanged, 0, 1);
    double* io[] = {l.data(), r.data()};
    effect->processDoubleReplacing(effect, io, io, 64);
    EXPECT_EQ(l[0], kFirstOutputs[0]);
    EXPECT_EQ(r[2], kFirstOutputs[2]);
}

TEST_F(VstBinary, MonoArrangementReadsOneHostBuffer)
{
    Open();
    VstSpeakerArrangement mono = {};
    mono.type = kSpeakerArrMono;
    mono.numChannels = 1;
    EXPECT_EQ(Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
    std::vector<float> inL(32, 1.0f), outL(32, -7.0f);
    float* in[] = {inL.data()}; // one buffer each: a second entry would be read past the list
    float* out[] = {outL.data()};
    effect->processReplacing(effect, in, out, 32);
    EXPECT_EQ(outL[0], static_cast<float>(kFirstOutputs[0]));
    EXPECT_EQ(outL[1], static_cast<float>(kFirstOutputs[1]));
    VstSpeakerArrangement* inArr = nullptr;
    VstSpeakerArrangement* outArr = nullptr;
    EXPECT_EQ(Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inArr), &outArr), 1);
    ASSERT_NE(inArr, nullptr);
    ASSERT_NE(outArr, nullptr);
}

TEST_F(VstBinary, BlocksLongerThanAnnouncedRunInSlices)
{
    // The same 1000 frames: once in blocks of the announced 1000, once as one call of
    // 1000 frames after announcing 64. Both must give the same samples.
    std::vector<float> in(1000), expected(1000), got(1000);
    for (int i = 0; i < 1000; ++i)
        in[i] = static_cast<float>(std::sin(i * 0.01) * 0.5);
    {
        Open(44100.0, 1000);
        float* ins[] = {in.data(), in.data()};
        std::vector<float> r(1000);
        float* outs[] = {expected.data(), r.data()};
        effect->processReplacing(effect, ins, outs, 1000);
    }
    AEffect* other = library->Entry()(RecordingHost);
    ASSERT_NE(other, nullptr);
    other->dispatcher(other, effOpen, 0, 0, nullptr, 0);
    other->dispatcher(other, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    other->dispatcher(other, effSetBlockSize, 0, 64, nullptr, 0);
    other->dispatcher(other, effMainsChanged, 0, 1, nullptr, 0);
    float* ins[] = {in.data(), in.data()};
    std::vector<float> r(1000);
    float* outs[] = {got.data(), r.data()};
    other->processReplacing(other, ins, outs, 1000);
    other->dispatcher(other, effClose, 0, 0, nullptr, 0);
    EXPECT_EQ(got, expected);
}

TEST_F(VstBinary, AccumulatingProcessAddsToTheOutput)
{
    Open();
    std::vector<float> inL(8, 1.0f), inR(8, 1.0f), outL(8, 1.0f), outR(8, 1.0f);
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {outL.data(), outR.data()};
    effect->process(effect, in, out, 8);
    EXPECT_EQ(outL[0], 1.0f + static_cast<float>(kFirstOutputs[0]));
}

TEST_F(VstBinary, HostIsAskedForItsNameOnceOnOpen)
{
    gProductString = "REAPER64";
    gVendorVersion = 60123;
    Dispatch(effOpen);
    EXPECT_EQ(CountCalls(audioMasterGetProductString), 1);
    EXPECT_EQ(CountCalls(audioMasterGetVendorVersion), 1);
    Dispatch(effOpen);
    EXPECT_EQ(CountCalls(audioMasterGetProductString), 1);
}

TEST_F(VstBinary, AHostWithoutANameIsNotAskedForItsVersion)
{
    Dispatch(effOpen);
    EXPECT_EQ(CountCalls(audioMasterGetProductString), 1);
    EXPECT_EQ(CountCalls(audioMasterGetVendorVersion), 0);
}

TEST_F(VstBinary, VendorSpecificQueries)
{
    char text[64] = {};
    EXPECT_EQ(Dispatch(effVendorSpecific, 7, 1, text, 0.5f), 0xBEEF);
    EXPECT_STREQ(text, "258.75");
    EXPECT_EQ(Dispatch(effVendorSpecific, 7, 9, text, 0.5f), 0xBEEF);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Dispatch(effVendorSpecific, 8, i), 0); // four real parameters
    EXPECT_EQ(Dispatch(effVendorSpecific, 3, 0), 0);
}

TEST_F(VstBinary, ProgramsAndSampleRates)
{
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, 5); // outside the list: ignored
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    Dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(Dispatch(effGetProgram), 0);
    // Absurd rates and block sizes are ignored; processing stays finite.
    Open();
    Dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
    Dispatch(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    Dispatch(effSetBlockSize, 0, -5);
    Dispatch(effSetBlockSize, 0, 0);
    std::vector<float> l(16, 0.5f), r(16, 0.5f);
    float* io[] = {l.data(), r.data()};
    effect->processReplacing(effect, io, io, 16);
    for (float v : l)
        EXPECT_TRUE(std::isfinite(v));
}
