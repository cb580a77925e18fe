#include "core/StateChunk.h"
#include "core/tests/TestPlugin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes BytesOf(const StateChunk& chunk)
{
    return chunk.Size() ? Bytes(chunk.Data(), chunk.Data() + chunk.Size()) : Bytes();
}

void Append(Bytes& bytes, const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
}

StateChunk& Fill(StateChunk& chunk, const Bytes& bytes)
{
    chunk.Clear();
    chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
    return chunk;
}

// The little-endian bytes of the product's default values.
const Bytes kGain0 = {0, 0, 0, 0, 0, 0, 0x00, 0x00};                    // 0.0
const Bytes kFreq80 = {0, 0, 0, 0, 0, 0, 0x54, 0x40};                   // 80.0
const Bytes kAmp1_5 = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};                   // 1.5
const Bytes kMix100 = {0, 0, 0, 0, 0, 0, 0x59, 0x40};                   // 100.0
const Bytes kHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}; // "tffp", 1.0.0

std::vector<double> Values(const PluginBase& plug)
{
    std::vector<double> values;
    for (int i = 0; i < plug.ParamCount(); ++i)
        values.push_back(plug.ParamAt(i)->Value());
    return values;
}

void SetValues(PluginBase& plug, const std::vector<double>& values)
{
    for (int i = 0; i < plug.ParamCount(); ++i)
        plug.ParamAt(i)->SetValue(values[i]);
}

void ExpectAllInRange(const PluginBase& plug)
{
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const PluginParam* p = plug.ParamAt(i);
        EXPECT_TRUE(std::isfinite(p->Value())) << "parameter " << i;
        EXPECT_GE(p->Value(), p->Min()) << "parameter " << i;
        EXPECT_LE(p->Value(), p->Max()) << "parameter " << i;
    }
}

struct Product : TestPlugin
{
    explicit Product(int presets = 1) : TestPlugin(4, "1-1 2-2", presets) { SetUpEffectParams(); }
};
} // namespace

TEST(StateChunk, EncodingsAreLittleEndianAndUnpadded)
{
    StateChunk chunk;
    EXPECT_EQ(chunk.Size(), 0);
    EXPECT_EQ(chunk.Data(), nullptr);
    EXPECT_EQ(chunk.AppendInt32(0x01020304), 4);
    EXPECT_EQ(chunk.AppendDouble(1.0), 12);
    EXPECT_EQ(chunk.AppendFlag(true), 13);
    EXPECT_EQ(chunk.AppendFlag(false), 14);
    EXPECT_EQ(chunk.AppendText("Empty"), 23);
    EXPECT_EQ(chunk.AppendText(""), 27);
    EXPECT_EQ(chunk.AppendBytes("ab", 2), 29);
    EXPECT_EQ(chunk.AppendInt32(-2), 33);
    const Bytes expected = {0x04, 0x03, 0x02, 0x01, 0, 0,   0,   0,    0,    0,    0xF0,
                            0x3F, 1,    0,    5,    0, 0,   0,   'E',  'm',  'p',  't',
                            'y',  0,    0,    0,    0, 'a', 'b', 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(BytesOf(chunk), expected);

    int32_t i = 0;
    double d = 0.0;
    bool f = false;
    TextBuffer text;
    EXPECT_EQ(chunk.ReadInt32(&i, 0), 4);
    EXPECT_EQ(i, 0x01020304);
    EXPECT_EQ(chunk.ReadDouble(&d, 4), 12);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(chunk.ReadFlag(&f, 12), 13);
    EXPECT_TRUE(f);
    EXPECT_EQ(chunk.ReadFlag(&f, 13), 14);
    EXPECT_FALSE(f);
    EXPECT_EQ(chunk.ReadText(&text, 14), 23);
    EXPECT_STREQ(text.Get(), "Empty");
    EXPECT_EQ(chunk.ReadInt32(&i, 29), 33);
    EXPECT_EQ(i, -2);
}

TEST(StateChunk, AnyNonZeroByteReadsAsTrue)
{
    StateChunk chunk;
    Fill(chunk, {0x80});
    bool f = false;
    EXPECT_EQ(chunk.ReadFlag(&f, 0), 1);
    EXPECT_TRUE(f);
}

TEST(StateChunk, ReadsStopAtTheBounds)
{
    StateChunk chunk;
    Fill(chunk, {1, 2, 3, 4, 5, 6});
    unsigned char out[8] = {};
    const struct
    {
        int n, pos, answer;
    } cases[] = {{4, 0, 4},   {4, 2, 6},   {4, 3, -1},       {0, 6, 6},        {1, 6, -1},
                 {1, -1, -1}, {-1, 0, -1}, {1, INT_MAX, -1}, {INT_MAX, 1, -1}, {4, INT_MIN, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(chunk.ReadBytes(out, c.n, c.pos), c.answer) << c.n << " at " << c.pos;
    int32_t value = 7;
    EXPECT_EQ(chunk.ReadInt32(&value, 3), -1);
    EXPECT_EQ(value, 7);
}

TEST(StateChunk, ReadTextCounts)
{
    const struct
    {
        Bytes bytes;
        int answer;
        const char* text; // what the buffer holds afterwards (it starts as "old")
    } cases[] = {
        {{3, 0, 0, 0, 'a', 'b', 'c'}, 7, "abc"},
        {{0, 0, 0, 0}, 4, "old"},                                  // nothing taken
        {{4, 0, 0, 0, 'a', 0, 'b', 'c'}, 8, "a"},                  // stops at a NUL
        {{4, 0, 0, 0, 'a', 'b'}, -1, "old"},                       // past the end
        {{0xFF, 0xFF, 0xFF, 0xFF, 'a'}, -1, "old"},                // negative
        {{0xFC, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c', 'd'}, -1, "old"}, // negative, lands inside
        {{0xFF, 0xFF, 0xFF, 0x7F, 'a'}, -1, "old"},                // INT_MAX: would overflow
        {{0xFB, 0xFF, 0xFF, 0x7F, 'a'}, -1, "old"},                // INT_MAX - 4
        {{3, 0, 0}, -1, "old"},                                    // count cut off
    };
    for (const auto& c : cases)
    {
        StateChunk chunk;
        Fill(chunk, c.bytes);
        TextBuffer text;
        text.Set("old");
        EXPECT_EQ(chunk.ReadText(&text, 0), c.answer) << c.text;
        EXPECT_STREQ(text.Get(), c.text);
    }
}

TEST(StateChunk, ResizeZeroedAndClear)
{
    StateChunk chunk;
    Fill(chunk, {9, 9});
    EXPECT_EQ(chunk.ResizeZeroed(5), 2);
    EXPECT_EQ(BytesOf(chunk), (Bytes{9, 9, 0, 0, 0}));
    EXPECT_EQ(chunk.ResizeZeroed(1), 5);
    EXPECT_EQ(BytesOf(chunk), Bytes{9});
    chunk.Clear();
    EXPECT_EQ(chunk.Size(), 0);
    EXPECT_EQ(chunk.Data(), nullptr);
}

TEST(StateChunk, ProgramChunkBytes)
{
    Product plug;
    StateChunk chunk;
    PluginBase::WriteChunkHeader(&chunk);
    ASSERT_TRUE(plug.WriteState(&chunk));
    Bytes expected = kHeader;
    Append(expected, kGain0);
    Append(expected, kFreq80);
    Append(expected, kAmp1_5);
    Append(expected, kMix100);
    ASSERT_EQ(expected.size(), 40u);
    EXPECT_EQ(BytesOf(chunk), expected);
}

TEST(StateChunk, BankChunkBytes)
{
    Product plug;
    plug.FillEmptyPresets("Empty", plug.PresetCount());
    plug.ModifyCurrentPreset(nullptr);
    StateChunk chunk;
    PluginBase::WriteChunkHeader(&chunk);
    ASSERT_TRUE(plug.SerializePresets(&chunk));
    Bytes expected = kHeader;
    Append(expected, {5, 0, 0, 0, 'E', 'm', 'p', 't', 'y', 1});
    Append(expected, kGain0);
    Append(expected, kFreq80);
    Append(expected, kAmp1_5);
    Append(expected, kMix100);
    ASSERT_EQ(expected.size(), 50u);
    EXPECT_EQ(BytesOf(chunk), expected);
}

TEST(StateChunk, WriteChunkHeaderReplacesTheContents)
{
    StateChunk chunk;
    Fill(chunk, {1, 2, 3});
    PluginBase::WriteChunkHeader(&chunk);
    EXPECT_EQ(BytesOf(chunk), kHeader);
}

TEST(StateChunk, ReadChunkHeader)
{
    const struct
    {
        Bytes bytes;
        int startPos;
        int version;
        int pos;
    } cases[] = {
        {{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00, 1}, 0, 0x10000, 8},
        {{0x74, 0x66, 0x66, 0x70, 0x01, 0x02, 0x00, 0x00}, 0, 0x0201, 8},
        {{0, 0, 0, 0, 0, 0, 0x54, 0x40}, 0, 0, 0},        // no header: read from the start
        {{0x74, 0x66, 0x66}, 0, 0, 0},                    // cut inside the magic
        {{0x74, 0x66, 0x66, 0x70, 0x00, 0x00}, 0, 0, -1}, // version cut off
        {{9, 0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}, 1, 0x10000, 9},
        {{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}, -3, 0, -3},
    };
    for (const auto& c : cases)
    {
        StateChunk chunk;
        Fill(chunk, c.bytes);
        int pos = c.startPos;
        EXPECT_EQ(PluginBase::ReadChunkHeader(&chunk, &pos), c.version) << c.bytes.size();
        EXPECT_EQ(pos, c.pos) << c.bytes.size();
    }
}

TEST(StateChunk, ProgramRoundTrip)
{
    Product from;
    SetValues(from, {-12.5, 1234.25, 7.75, 33.3});
    StateChunk chunk;
    ASSERT_TRUE(from.SerializeParams(&chunk));
    Product to;
    EXPECT_EQ(to.UnserializeParams(&chunk, 0), 32);
    EXPECT_EQ(Values(to), Values(from));
    EXPECT_EQ(to.paramChanges, (std::vector<int>{0, 1, 2, 3}));
}

TEST(StateChunk, ShortProgramSetsTheFirstMissingParameterToZeroClamped)
{
    const double kStored[] = {1.0, 20.0, 3.0};
    const struct
    {
        int valuesInChunk;
        std::vector<double> after; // starting from -5, 500, 5, 50
    } cases[] = {
        {3, {1.0, 20.0, 3.0, 0.0}},   // Mix takes 0
        {1, {1.0, 10.0, 5.0, 50.0}},  // Frequency takes 0 clamped to 10; the rest stay
        {0, {0.0, 500.0, 5.0, 50.0}}, // Gain takes 0
    };
    for (const auto& c : cases)
    {
        Product plug;
        SetValues(plug, {-5.0, 500.0, 5.0, 50.0});
        StateChunk chunk;
        for (int i = 0; i < c.valuesInChunk; ++i)
            chunk.AppendDouble(kStored[i]);
        chunk.AppendBytes("\1\2\3", 3); // a partial value
        EXPECT_EQ(plug.UnserializeParams(&chunk, 0), -1);
        EXPECT_EQ(Values(plug), c.after) << c.valuesInChunk;
        EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));
    }
}

TEST(StateChunk, ValuesFromAChunkAreClampedAndNaNIsRefused)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Product plug;
    SetValues(plug, {6.0, 440.0, 2.0, 75.0});
    StateChunk chunk;
    chunk.AppendDouble(nan);
    chunk.AppendDouble(inf);
    chunk.AppendDouble(-inf);
    chunk.AppendDouble(1e9);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 32);
    EXPECT_EQ(Values(plug), (std::vector<double>{6.0, 2000.0, 0.707, 100.0}));
    ExpectAllInRange(plug);
}

TEST(StateChunk, StateMatchesWithin32BitPrecision)
{
    TestPlugin plug(2);
    plug.ParamAt(0)->SetValue(0.1);
    plug.ParamAt(1)->SetValue(0.5);
    const struct
    {
        double first;
        bool matches;
    } cases[] = {{0.1, true}, {0.1000000001, true}, {0.10002, false}, {std::nan(""), false}};
    for (const auto& c : cases)
    {
        StateChunk chunk;
        chunk.AppendDouble(99.0); // value 0, skipped with valueIndex 1
        chunk.AppendDouble(c.first);
        chunk.AppendDouble(0.5);
        EXPECT_EQ(plug.StateMatches(chunk.Data(), 1), c.matches) << c.first;
    }
    TestPlugin none(0);
    EXPECT_TRUE(none.StateMatches(nullptr, 0));
}

TEST(StateChunk, LoadPresetOfAnUninitializedSlotNamesItUserPreset)
{
    Product plug(4);
    plug.PresetAt(0)->SetName("user preset 1");
    plug.PresetAt(0)->initialized = true;
    plug.PresetAt(2)->SetName("user preset 2");
    plug.PresetAt(2)->initialized = true;
    SetValues(plug, {3.0, 100.0, 2.0, 50.0});
    ASSERT_TRUE(plug.LoadPreset(1));
    EXPECT_STREQ(plug.PresetName(1), "user preset 3");
    EXPECT_TRUE(plug.PresetAt(1)->initialized);
    EXPECT_EQ(plug.CurrentPreset(), 1);
    EXPECT_EQ(plug.presetChanges, 1);
    double stored[4];
    ASSERT_EQ(plug.PresetAt(1)->state.Size(), 32);
    std::memcpy(stored, plug.PresetAt(1)->state.Data(), 32);
    EXPECT_EQ(std::vector<double>(stored, stored + 4), (std::vector<double>{3.0, 100.0, 2.0, 50.0}));
}

TEST(StateChunk, LoadPresetReadsAStoredSlot)
{
    Product plug(2);
    plug.FillEmptyPresets("Empty", 2);
    SetValues(plug, {3.0, 100.0, 2.0, 50.0});
    plug.ModifyCurrentPreset("Mine"); // slot 0
    SetValues(plug, {0.0, 80.0, 1.5, 100.0});
    ASSERT_TRUE(plug.LoadPreset(0));
    EXPECT_EQ(Values(plug), (std::vector<double>{3.0, 100.0, 2.0, 50.0}));
    EXPECT_TRUE(plug.LoadPresetByName("Empty"));
    EXPECT_EQ(plug.CurrentPreset(), 1);
    EXPECT_EQ(Values(plug), (std::vector<double>{0.0, 80.0, 1.5, 100.0}));
    EXPECT_FALSE(plug.LoadPresetByName("empty")); // exact names only
    EXPECT_FALSE(plug.LoadPresetByName(""));
    EXPECT_FALSE(plug.LoadPresetByName(nullptr));
    const int changes = plug.presetChanges;
    EXPECT_FALSE(plug.LoadPreset(2));
    EXPECT_FALSE(plug.LoadPreset(-1));
    EXPECT_EQ(plug.CurrentPreset(), 1);
    EXPECT_EQ(plug.presetChanges, changes);
}

TEST(StateChunk, FillEmptyPresetsFillsOnlyUninitializedSlots)
{
    Product plug(3);
    plug.PresetAt(1)->initialized = true;
    plug.PresetAt(1)->SetName("Factory");
    plug.FillEmptyPresets(nullptr, 1);
    EXPECT_STREQ(plug.PresetName(0), "Empty");
    EXPECT_TRUE(plug.PresetAt(0)->initialized);
    EXPECT_EQ(plug.PresetAt(0)->state.Size(), 32);
    EXPECT_FALSE(plug.PresetAt(2)->initialized);
    SetValues(plug, {1.0, 90.0, 2.5, 10.0});
    plug.FillEmptyPresets("Init", 5);
    EXPECT_STREQ(plug.PresetName(1), "Factory");
    EXPECT_EQ(plug.PresetAt(1)->state.Size(), 0);
    EXPECT_STREQ(plug.PresetName(2), "Init");
    EXPECT_TRUE(plug.StateMatches(plug.PresetAt(2)->state.Data(), 0));
    EXPECT_FALSE(plug.StateMatches(plug.PresetAt(0)->state.Data(), 0));
    // Called again it changes nothing.
    plug.FillEmptyPresets("Again", 1);
    EXPECT_STREQ(plug.PresetName(0), "Empty");
    EXPECT_STREQ(plug.PresetName(2), "Init");
}

TEST(StateChunk, ModifyCurrentPreset)
{
    Product plug(2);
    plug.FillEmptyPresets("Empty", 2);
    SetValues(plug, {1.0, 90.0, 2.5, 10.0});
    plug.ModifyCurrentPreset("");
    EXPECT_STREQ(plug.PresetName(0), "Empty");
    EXPECT_TRUE(plug.StateMatches(plug.PresetAt(0)->state.Data(), 0));
    EXPECT_EQ(plug.PresetAt(0)->state.Size(), 32); // replaced, not appended
    plug.ModifyCurrentPreset(std::string(300, 'p').c_str());
    EXPECT_EQ(std::string(plug.PresetName(0)), std::string(255, 'p'));
    EXPECT_STREQ(plug.PresetName(5), "");
}

TEST(StateChunk, DropEmptyPresetsKeepsTheOrderOfTheOthers)
{
    Product plug(4);
    plug.PresetAt(1)->SetName("B");
    plug.PresetAt(1)->initialized = true;
    plug.PresetAt(3)->SetName("D");
    plug.PresetAt(3)->initialized = true;
    plug.DropEmptyPresets();
    ASSERT_EQ(plug.PresetCount(), 2);
    EXPECT_STREQ(plug.PresetName(0), "B");
    EXPECT_STREQ(plug.PresetName(1), "D");
}

TEST(StateChunk, BankRoundTrip)
{
    Product from(3);
    from.FillEmptyPresets("Empty", 3);
    const std::vector<std::vector<double>> values = {
        {1.0, 90.0, 2.5, 10.0}, {-6.0, 300.0, 0.707, 0.0}, {36.0, 2000.0, 10.0, 100.0}};
    const char* names[] = {"Warm", "Tight", "Max"};
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_TRUE(from.LoadPreset(i));
        SetValues(from, values[i]);
        from.ModifyCurrentPreset(names[i]);
    }
    from.LoadPreset(1);
    StateChunk chunk;
    PluginBase::WriteChunkHeader(&chunk);
    ASSERT_TRUE(from.SerializePresets(&chunk));

    Product to(3);
    int pos = 0;
    ASSERT_EQ(PluginBase::ReadChunkHeader(&chunk, &pos), 0x10000);
    EXPECT_EQ(to.UnserializePresets(&chunk, pos), chunk.Size());
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_STREQ(to.PresetName(i), names[i]);
        EXPECT_TRUE(to.PresetAt(i)->initialized);
        EXPECT_EQ(BytesOf(to.PresetAt(i)->state), BytesOf(from.PresetAt(i)->state));
    }
    // The current preset (0 in the new instance) is loaded.
    EXPECT_EQ(Values(to), values[0]);
}

TEST(StateChunk, BankNamesOfLengthZeroTakeThePreviousName)
{
    Product plug(3);
    StateChunk chunk;
    chunk.AppendText("First");
    chunk.AppendFlag(false);
    chunk.AppendText("");
    chunk.AppendFlag(false);
    chunk.AppendText("Third");
    chunk.AppendFlag(false);
    EXPECT_EQ(plug.UnserializePresets(&chunk, 0), chunk.Size());
    EXPECT_STREQ(plug.PresetName(0), "user preset 1"); // current preset loaded from empty
    EXPECT_STREQ(plug.PresetName(1), "First");
    EXPECT_STREQ(plug.PresetName(2), "Third");
}

TEST(StateChunk, DamagedBanksFailWithoutLeavingTheChunk)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char* what;
        Bytes bytes;
        int answer;
    } cases[] = {
        {"huge name count", {0xFF, 0xFF, 0xFF, 0x7F, 'a', 1}, -1},
        {"negative name count", {0xF0, 0xFF, 0xFF, 0xFF, 'a', 1}, -1},
        {"flag missing", {1, 0, 0, 0, 'a'}, -1},
        {"state cut off", {1, 0, 0, 0, 'a', 1, 0, 0, 0, 0}, -1},
        {"empty", {}, -1},
    };
    for (const auto& c : cases)
    {
        Product plug(3);
        plug.FillEmptyPresets("Empty", 3);
        StateChunk chunk;
        Fill(chunk, c.bytes);
        EXPECT_EQ(plug.UnserializePresets(&chunk, 0), c.answer) << c.what;
        ExpectAllInRange(plug);
        for (int i = 0; i < plug.PresetCount(); ++i)
            EXPECT_LT(std::strlen(plug.PresetName(i)), 256u);
    }

    // A NaN inside a stored state never reaches a parameter.
    Product plug(1);
    StateChunk chunk;
    chunk.AppendText(std::string(400, 'n').c_str());
    chunk.AppendFlag(true);
    chunk.AppendDouble(nan);
    chunk.AppendDouble(nan);
    chunk.AppendDouble(nan);
    chunk.AppendDouble(nan);
    EXPECT_EQ(plug.UnserializePresets(&chunk, 0), chunk.Size());
    EXPECT_EQ(Values(plug), (std::vector<double>{0.0, 80.0, 1.5, 100.0}));
    EXPECT_EQ(std::string(plug.PresetName(0)), std::string(255, 'n'));
}
