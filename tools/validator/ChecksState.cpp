#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"

#include <cmath>
#include <cstring>

namespace
{
// Every parameter finite within 0..1, or the first that is not.
std::string ParameterFault(HostedPlugin& plugin)
{
    for (int i = 0; i < plugin.ParamCount(); ++i)
    {
        const float value = GetParameterRaw(plugin, i);
        if (!std::isfinite(value) || value < 0.0f || value > 1.0f)
            return Format("getParameter(%d) = %s", i, SampleText(value).c_str());
    }
    return {};
}

// One short block of noise; "" when the output is finite.
std::string BlockFault(HostedPlugin& plugin, std::uint32_t seed)
{
    const Signal input = TestSignal(plugin.InputCount(), 64, kRate, seed);
    Signal output;
    std::string error;
    if (!Render(plugin, input, output, FixedBlocks(64), {}, error))
        return error;
    return SignalFault(Analyse(output, false), Demand::Finite);
}

void RandomParameters(HostedPlugin& plugin, std::uint32_t seed)
{
    Noise random(seed);
    for (int i = 0; i < plugin.ParamCount(); ++i)
        plugin.SetParameter(i, static_cast<float>(0.5 + 0.5 * random.Next()));
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// State chunks of other plug-ins and formats: a program file of another plug-in with an
// opaque chunk, another plug-in's float parameters, text states and an oversized one.
std::vector<std::vector<std::uint8_t>> ForeignChunks()
{
    std::vector<std::vector<std::uint8_t>> chunks;
    // A program file of plug-in 'Abcd' holding an 8-byte opaque chunk: magic, size,
    // 'FPCh', version, ID, plug-in version, parameter count, 28-byte name, chunk size, chunk.
    std::string fxp("CcnK\0\0\0\x44"
                    "FPCh\0\0\0\x01"
                    "Abcd\0\0\0\x01\0\0\0\x04",
                    24);
    std::string name = "Another plug-in's program";
    name.resize(28, '\0');
    fxp += name;
    fxp += std::string("\0\0\0\x08\x00\x11\x22\x33\x44\x55\x66\x77", 12);
    chunks.push_back(Bytes(fxp));
    std::string floats = "FXpr";
    for (float value : {0.5f, 0.25f, 1.0f})
        floats.append(reinterpret_cast<const char*>(&value), sizeof value);
    chunks.push_back(Bytes(floats));
    chunks.push_back(Bytes("<?xml version=\"1.0\"?><state><param id=\"0\" value=\"0.5\"/></state>"));
    chunks.push_back(Bytes("{\"version\": 3, \"params\": [0.1, 0.2, 0.3, 0.4]}"));
    chunks.push_back(std::vector<std::uint8_t>(1 << 20, 0));
    std::vector<std::uint8_t> big(1 << 20);
    Noise noise(101u);
    for (auto& byte : big)
        byte = static_cast<std::uint8_t>(noise.NextBits());
    chunks.push_back(big);
    return chunks;
}
// The largest difference between two fresh instances given the same parameter values and
// the same input: 0 for a plug-in without randomness. Infinity when one fails to start.
double Randomness(const std::string& path, const std::vector<float>& values, const Signal& input)
{
    Signal outputs[2];
    for (Signal& output : outputs)
    {
        std::string fault;
        std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
        if (!plugin)
            return INFINITY;
        SetStep("two instances set alike");
        for (int i = 0; i < plugin->ParamCount() && i < static_cast<int>(values.size()); ++i)
            plugin->SetParameter(i, values[static_cast<std::size_t>(i)]);
        if (!Render(*plugin, input, output, FixedBlocks(kBlock), {}, fault))
            return INFINITY;
    }
    return MaxDifference(outputs[0], outputs[1]);
}
} // namespace

CheckResult CheckStateRoundTrip(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> source = StartPlugin(path, kRate, kBlock, false, fault);
    if (!source)
        return {false, fault};
    SetStep("setting parameters on the first instance");
    RandomParameters(*source, 107u);
    std::vector<float> values;
    for (int i = 0; i < source->ParamCount(); ++i)
        values.push_back(source->GetParameter(i));
    std::vector<std::uint8_t> chunks[2];
    bool have[2] = {false, false};
    for (int bank = 0; bank < 2; ++bank)
    {
        SetStep("effGetChunk(%s)", bank != 0 ? "bank" : "program");
        std::string ignored;
        have[bank] = source->GetChunk(bank != 0, chunks[bank], ignored);
    }
    if (source->HasChunks() && !have[0] && !have[1])
        return {false, "flags effFlagsProgramChunks but effGetChunk hands out no state"};
    const Signal input = TestSignal(source->InputCount(), FramesOf(0.5, kRate), kRate, 109);
    Signal expected;
    std::string error;
    if (!Render(*source, input, expected, FixedBlocks(kBlock), {}, error))
        return {false, "first instance: " + error};

    // How far two fresh instances given the same values apart; measured only when needed.
    double randomness = -1.0;
    // Routes: each chunk the plug-in hands out, and always the parameter values alone (what
    // a host stores for a plug-in without chunks).
    std::vector<std::string> routes;
    for (int route = 0; route < 3; ++route)
    {
        const bool viaChunk = route < 2;
        const bool bank = route == 1;
        if (viaChunk && !have[bank ? 1 : 0])
            continue;
        const std::string name = viaChunk ? (bank ? "bank chunk" : "program chunk") : "parameter values";
        std::unique_ptr<HostedPlugin> copy = StartPlugin(path, kRate, kBlock, false, fault);
        if (!copy)
            return {false, fault};
        SetStep("restoring the %s into a new instance", name.c_str());
        if (viaChunk)
        {
            bool accepted = false;
            copy->SetChunk(bank, chunks[bank ? 1 : 0], accepted, error);
            if (!accepted)
                return {false, Format("the new instance refused the %s of %zu bytes", name.c_str(),
                                      chunks[bank ? 1 : 0].size())};
        }
        else
        {
            for (int i = 0; i < copy->ParamCount(); ++i)
                copy->SetParameter(i, values[static_cast<std::size_t>(i)]);
        }
        for (int i = 0; i < copy->ParamCount(); ++i)
        {
            const float got = copy->GetParameter(i);
            if (!(std::fabs(got - values[static_cast<std::size_t>(i)]) <= 1e-6f))
                return {false, Format("via the %s, parameter %d reads %s instead of %s", name.c_str(), i,
                                      SampleText(got).c_str(),
                                      SampleText(values[static_cast<std::size_t>(i)]).c_str())};
        }
        if (viaChunk)
        {
            std::vector<std::uint8_t> again;
            copy->GetChunk(bank, again, error);
            const auto& original = chunks[bank ? 1 : 0];
            if (again != original)
            {
                std::size_t at = 0;
                while (at < again.size() && at < original.size() && again[at] == original[at])
                    ++at;
                return {false,
                        Format("the new instance's %s differs from the one it was given (%zu against %zu "
                               "bytes, first difference at byte %zu)",
                               name.c_str(), again.size(), original.size(), at)};
            }
        }
        Signal output;
        if (!Render(*copy, input, output, FixedBlocks(kBlock), {}, error))
            return {false, "new instance: " + error};
        const double difference = MaxDifference(output, expected);
        if (!(difference <= 1e-6))
        {
            if (randomness < 0.0)
                randomness = Randomness(path, values, input);
            if (!(randomness <= 1e-6))
            {
                // Two instances set alike differ too: the output says nothing about the state.
                routes.push_back(name);
                continue;
            }
            return {false, Format("via the %s, the new instance's output differs by %.3g", name.c_str(),
                                  difference)};
        }
        routes.push_back(name);
    }
    std::string list;
    for (const std::string& route : routes)
        list += (list.empty() ? "" : ", ") + route;
    const std::string chunkNote = have[0] || have[1] ? ", chunks byte-identical" : "";
    const std::string output =
        randomness > 1e-6
            ? Format("; output not comparable: two instances set alike differ by %.3g (random numbers?)",
                     randomness)
            : ", output equal";
    return {true, Format("%d parameters restored via %s: values within 1e-6%s%s", source->ParamCount(),
                         list.c_str(), chunkNote.c_str(), output.c_str())};
}

CheckResult CheckChunkFuzz(const std::string& path, const ValidatorOptions& options)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
    if (!plugin)
        return {false, fault};
    std::vector<std::uint8_t> own[2];
    for (int bank = 0; bank < 2; ++bank)
    {
        std::string ignored;
        SetStep("effGetChunk(%s)", bank != 0 ? "bank" : "program");
        if (!plugin->GetChunk(bank != 0, own[bank], ignored) || own[bank].empty())
            own[bank] = std::vector<std::uint8_t>(64, 0x42);
    }
    const std::vector<std::vector<std::uint8_t>> foreign = ForeignChunks();
    const std::uint32_t versions[] = {0, 1, 2, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000u, 0x20000u, 0x80000000u};
    Noise random(113u);
    int accepted = 0;
    for (int k = 0; k < options.chunkCases; ++k)
    {
        const int index = k % 2; // program chunks (1) and bank chunks (0) in turn
        const std::vector<std::uint8_t>& base = own[index == 0 ? 1 : 0];
        std::vector<std::uint8_t> chunk;
        const char* kind = "";
        switch (k % 8)
        {
        case 0:
            kind = "empty";
            break;
        case 1:
        case 2:
            kind = "random";
            chunk.resize(
                static_cast<std::size_t>(k % 8 == 1 ? random.Between(1, 64) : random.Between(65, 4096)));
            for (auto& byte : chunk)
                byte = static_cast<std::uint8_t>(random.NextBits());
            break;
        case 3:
            kind = "truncated";
            chunk.assign(base.begin(), base.begin() + random.Between(0, static_cast<int>(base.size()) - 1));
            break;
        case 4:
            kind = "bit flips";
            chunk = base;
            for (int flips = random.Between(1, 4); flips > 0; --flips)
                chunk[static_cast<std::size_t>(random.Between(0, static_cast<int>(chunk.size()) - 1))] ^=
                    static_cast<std::uint8_t>(1u << random.Between(0, 7));
            break;
        case 5:
        {
            kind = "wrong version";
            chunk = base;
            const std::uint32_t version = versions[random.Between(0, 7)];
            // The version word right after a 4-byte magic, or the magic itself.
            const std::size_t at = random.Between(0, 3) == 0 ? 0 : 4;
            if (chunk.size() >= at + 4)
                std::memcpy(chunk.data() + at, &version, 4);
            break;
        }
        case 6:
            kind = "another plug-in's";
            chunk = foreign[static_cast<std::size_t>(k / 8) % foreign.size()];
            break;
        default:
        {
            kind = "huge length field";
            chunk = base;
            const std::uint32_t huge = random.Between(0, 1) == 0 ? 0x7FFFFFFFu : 0xFFFFFFF0u;
            const std::size_t at =
                static_cast<std::size_t>(random.Between(0, static_cast<int>(chunk.size()) / 4)) * 4;
            if (chunk.size() >= at + 4)
                std::memcpy(chunk.data() + at, &huge, 4);
            chunk.resize(chunk.size() + static_cast<std::size_t>(random.Between(0, 16)), 0xEE);
            break;
        }
        }
        SetStep("chunk case %d: %s %s chunk of %zu bytes", k, kind, index == 0 ? "bank" : "program",
                chunk.size());
        // An exact-size copy, so that reads past its end meet whatever lies there.
        std::vector<std::uint8_t> exact(chunk);
        std::uint8_t empty = 0;
        if (plugin->Dispatch(effSetChunk, index, static_cast<VstIntPtr>(exact.size()),
                             exact.empty() ? &empty : exact.data()) != 0)
            ++accepted;
        std::string wrong = ParameterFault(*plugin);
        if (wrong.empty())
            wrong = BlockFault(*plugin, static_cast<std::uint32_t>(k));
        if (!wrong.empty())
            return {false, Format("after case %d (%s %s chunk of %zu bytes, %s): %s", k, kind,
                                  index == 0 ? "bank" : "program", chunk.size(),
                                  accepted > 0 ? "some accepted" : "all refused", wrong.c_str())};
    }
    return {true,
            Format("%d cases (empty, random, truncated, bit flips, wrong version, foreign, huge lengths; %d "
                   "accepted): parameters within 0..1, output finite",
                   options.chunkCases, accepted)};
}

CheckResult CheckPrograms(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
    if (!plugin)
        return {false, fault};
    const int count = plugin->ProgramCount();
    std::vector<int> indices;
    for (int i = 0; i < std::min(count, 1024); ++i)
        indices.push_back(i);
    indices.push_back(-1);
    indices.push_back(count);
    for (int index : indices)
    {
        SetStep("effSetProgram(%d) of %d", index, count);
        plugin->Dispatch(effBeginSetProgram);
        plugin->Dispatch(effSetProgram, 0, index);
        plugin->Dispatch(effEndSetProgram);
        SetStep("program queries after effSetProgram(%d)", index);
        const VstIntPtr current = plugin->Dispatch(effGetProgram);
        char name[HostedPlugin::kTextRoom] = {};
        plugin->Dispatch(effGetProgramName, 0, 0, name);
        plugin->ProgramName(index);
        char indexed[HostedPlugin::kTextRoom] = {};
        plugin->Dispatch(effGetProgramNameIndexed, index, -1, indexed);
        if (count > 0 && (current < 0 || current >= count))
            return {false, Format("effGetProgram answers %lld after effSetProgram(%d) with %d programs",
                                  static_cast<long long>(current), index, count)};
        std::string wrong = ParameterFault(*plugin);
        if (wrong.empty())
            wrong = BlockFault(*plugin, static_cast<std::uint32_t>(index + 7));
        if (!wrong.empty())
            return {false, Format("after effSetProgram(%d): %s", index, wrong.c_str())};
    }
    return {
        true,
        Format("%zu program changes (every index of %d%s, -1 and %d): no crash, current program in range, "
               "parameters valid, output finite",
               indices.size(), count, count > 1024 ? " up to 1024" : "", count)};
}
