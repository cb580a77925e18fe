#include "tools/HostTool.h"

#include "tools/Bench.h"
#include "tools/DemoSignal.h"
#include "tools/HostedPlugin.h"
#include "tools/Renderer.h"
#include "tools/ResponsePlot.h"
#include "tools/ResponseProbe.h"
#include "tools/WavFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace
{
constexpr const char* kUsage = R"(usage: grovane-host COMMAND PLUGIN [options]

Loads a VST2 plug-in (its VSTPluginMain or main) and drives it as a host does.

commands:
  info PLUGIN                   what the plug-in declares: names, version, flags, I/O,
                                parameters (name, value, display text, label), programs
  render PLUGIN --out OUT.wav [--in IN.wav]
                                audio through the plug-in; without --in, a built-in demo
                                signal (a bass line with kicks, 8 s)
  response PLUGIN --out PLOT.png [--table]
                                magnitude response at the current settings as a PNG plot
  bench PLUGIN [PLUGIN...]      time per frame of the process calls (stereo noise)

settings (every command, applied in this order after open):
  --rate HZ            sample rate (default 48000; render with --in uses the file's)
  --block N            block size in frames (default 512)
  --load-state FILE    state chunk to load (effSetChunk)
  --program N          program to select
  --param P=V          parameter P (index or name) to normalized value V, 0 to 1
                       (setParameter); repeatable, applied in order
  --param-text P=TEXT  parameter P from the plug-in's own text, e.g. Frequency=80
                       (effString2Parameter); repeatable
  --save-state FILE    write the state chunk (effGetChunk) at the end
  --bank               state files hold the bank chunk instead of the program chunk
  --double             64-bit processing (processDoubleReplacing)
render:
  --format F           output samples: float (32-bit float, default), pcm24, pcm16
  --seconds S          length of the demo signal (default 8)
response:
  --table              also print the figures
  --points N           probe frequencies, 10 Hz to 20 kHz (default 100)
  --level DB           probe level in dB full scale (default -12)
  --size WxH           plot size in pixels (default 960x600)
bench:
  --seconds S          audio timed per plug-in and path (default 10)
)";

struct ParamSetting
{
    std::string id;
    std::string value;
    bool text = false;
};

struct Options
{
    std::string command;
    std::vector<std::string> plugins;
    std::optional<double> rate;
    int block = 512;
    bool useDouble = false;
    std::vector<ParamSetting> params;
    std::optional<int> program;
    std::string loadState, saveState;
    bool bank = false;
    std::string input, output;
    WavSampleFormat format = WavSampleFormat::Float32;
    std::optional<double> seconds;
    bool table = false;
    int points = 100;
    double level = -12.0;
    int width = 960, height = 600;
};

bool UsageFault(std::string& error, std::string message)
{
    error = std::move(message);
    return false;
}

bool ParseDouble(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseInt(const std::string& text, int& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Which commands take which option; "*" for all.
const std::map<std::string, std::string> kOptionCommands = {
    {"--rate", "*"},
    {"--block", "*"},
    {"--load-state", "*"},
    {"--program", "*"},
    {"--param", "*"},
    {"--param-text", "*"},
    {"--save-state", "*"},
    {"--bank", "*"},
    {"--double", "*"},
    {"--in", "render"},
    {"--out", "render response"},
    {"--format", "render"},
    {"--seconds", "render bench"},
    {"--table", "response"},
    {"--points", "response"},
    {"--level", "response"},
    {"--size", "response"},
};

bool ParseArgs(const std::vector<std::string>& args, Options& o, std::string& error)
{
    if (args.empty())
        return UsageFault(error, "no command given");
    o.command = args[0];
    if (o.command != "info" && o.command != "render" && o.command != "response" && o.command != "bench")
        return UsageFault(error, "unknown command '" + o.command + "'");
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0)
        {
            o.plugins.push_back(arg);
            continue;
        }
        const auto known = kOptionCommands.find(arg);
        if (known == kOptionCommands.end())
            return UsageFault(error, "unknown option " + arg);
        if (known->second != "*" &&
            (" " + known->second + " ").find(" " + o.command + " ") == std::string::npos)
            return UsageFault(error, "option " + arg + " does not apply to " + o.command);
        if (arg == "--bank" || arg == "--double" || arg == "--table")
        {
            (arg == "--bank" ? o.bank : arg == "--double" ? o.useDouble : o.table) = true;
            continue;
        }
        if (i + 1 >= args.size())
            return UsageFault(error, "option " + arg + " needs a value");
        const std::string& v = args[++i];
        double d = 0.0;
        int n = 0;
        if (arg == "--rate")
        {
            if (!ParseDouble(v, d) || d < 1.0 || d > 1e6)
                return UsageFault(error, "--rate takes a sample rate in Hz, 1 to 1000000");
            o.rate = d;
        }
        else if (arg == "--block")
        {
            if (!ParseInt(v, n) || n < 1 || n > HostedPlugin::kMaxBlockSize)
                return UsageFault(error, "--block takes a frame count, 1 to " +
                                             std::to_string(HostedPlugin::kMaxBlockSize));
            o.block = n;
        }
        else if (arg == "--program")
        {
            if (!ParseInt(v, n) || n < 0)
                return UsageFault(error, "--program takes a program index");
            o.program = n;
        }
        else if (arg == "--param" || arg == "--param-text")
        {
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                return UsageFault(error, arg + " takes PARAMETER=VALUE");
            o.params.push_back({v.substr(0, eq), v.substr(eq + 1), arg == "--param-text"});
        }
        else if (arg == "--load-state")
            o.loadState = v;
        else if (arg == "--save-state")
            o.saveState = v;
        else if (arg == "--in")
            o.input = v;
        else if (arg == "--out")
            o.output = v;
        else if (arg == "--format")
        {
            if (v == "float")
                o.format = WavSampleFormat::Float32;
            else if (v == "pcm24")
                o.format = WavSampleFormat::Pcm24;
            else if (v == "pcm16")
                o.format = WavSampleFormat::Pcm16;
            else
                return UsageFault(error, "--format takes float, pcm24 or pcm16");
        }
        else if (arg == "--seconds")
        {
            if (!ParseDouble(v, d) || d < 0.1 || d > 3600.0)
                return UsageFault(error, "--seconds takes 0.1 to 3600");
            o.seconds = d;
        }
        else if (arg == "--points")
        {
            if (!ParseInt(v, n) || n < 2 || n > 10000)
                return UsageFault(error, "--points takes 2 to 10000");
            o.points = n;
        }
        else if (arg == "--level")
        {
            if (!ParseDouble(v, d) || d > 0.0 || d < -120.0)
                return UsageFault(error, "--level takes -120 to 0 dB full scale");
            o.level = d;
        }
        else if (arg == "--size")
        {
            const auto x = v.find('x');
            if (x == std::string::npos || !ParseInt(v.substr(0, x), o.width) ||
                !ParseInt(v.substr(x + 1), o.height) || o.width < kPlotMinWidth ||
                o.height < kPlotMinHeight || o.width > 8000 || o.height > 8000)
                return UsageFault(error, "--size takes WIDTHxHEIGHT, from " + std::to_string(kPlotMinWidth) +
                                             "x" + std::to_string(kPlotMinHeight) + " to 8000x8000");
        }
    }
    if (o.plugins.empty())
        return UsageFault(error, o.command + " needs a plug-in library");
    if (o.command != "bench" && o.plugins.size() > 1)
        return UsageFault(error, o.command + " takes one plug-in; unexpected '" + o.plugins[1] + "'");
    if ((o.command == "render" || o.command == "response") && o.output.empty())
        return UsageFault(error, o.command + " needs --out FILE");
    if (o.command == "render" && !o.input.empty() && o.seconds)
        return UsageFault(error, "--seconds sets the demo signal's length; it does not apply with --in");
    if (o.command == "render" && !o.input.empty() && o.rate)
        return UsageFault(error, "--rate does not apply with --in: the file's sample rate is used");
    return true;
}

std::string FourCC(VstInt32 id)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        text += c >= 0x20 && c < 0x7f ? c : '?';
    }
    return text;
}

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string FlagNames(VstInt32 flags)
{
    static const std::pair<VstInt32, const char*> kNames[] = {
        {effFlagsHasEditor, "HasEditor"},
        {effFlagsCanMono, "CanMono"},
        {effFlagsCanReplacing, "CanReplacing"},
        {effFlagsProgramChunks, "ProgramChunks"},
        {effFlagsIsSynth, "IsSynth"},
        {effFlagsNoSoundInStop, "NoSoundInStop"},
        {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    std::string text;
    VstInt32 rest = flags;
    for (const auto& [bit, name] : kNames)
        if (flags & bit)
        {
            text += text.empty() ? "" : " ";
            text += name;
            rest &= ~bit;
        }
    if (rest != 0)
        text +=
            (text.empty() ? "" : " ") + std::string("other bits ") + Hex(static_cast<std::uint32_t>(rest));
    return text.empty() ? "none" : text;
}

std::string CategoryName(VstIntPtr category)
{
    switch (category)
    {
    case kPlugCategUnknown:
        return "0 (unknown)";
    case kPlugCategEffect:
        return "1 (effect)";
    case kPlugCategSynth:
        return "2 (synth)";
    default:
        return std::to_string(category);
    }
}

std::string Number(double value, const char* format)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Pad(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string PeakDb(const std::vector<double>& samples)
{
    double peak = 0.0;
    for (double v : samples)
        if (std::isfinite(v))
            peak = std::max(peak, std::abs(v));
    return peak > 0.0 ? Number(20.0 * std::log10(peak), "%.1f dBFS") : std::string("silent");
}

std::string ParamList(HostedPlugin& plugin)
{
    std::string names;
    for (int i = 0; i < plugin.ParamCount() && i < 64; ++i)
        names += (i ? ", " : "") + std::to_string(i) + " " + plugin.ParamName(i);
    return names.empty() ? "none" : names;
}

// Applies --load-state, --program, --param and --param-text in that order.
bool ApplySettings(HostedPlugin& plugin, const Options& o, std::ostream& err, std::string& error)
{
    if (!o.loadState.empty())
    {
        std::vector<std::uint8_t> chunk;
        if (!ReadWholeFile(o.loadState, chunk, HostedPlugin::kMaxChunkBytes, error))
            return false;
        bool accepted = false;
        if (!plugin.SetChunk(o.bank, chunk, accepted, error))
            return false;
        if (!accepted)
            err << "grovane-host: warning: the plug-in answered 0 to the state in " << o.loadState
                << " (it may have rejected it)\n";
    }
    if (o.program)
    {
        if (!plugin.SetProgram(*o.program))
        {
            error = "program " + std::to_string(*o.program) + " does not exist (the plug-in has " +
                    std::to_string(plugin.ProgramCount()) + ")";
            return false;
        }
    }
    for (const ParamSetting& p : o.params)
    {
        const int index = plugin.FindParameter(p.id);
        if (index < 0)
        {
            error = "no parameter '" + p.id + "'; the plug-in has: " + ParamList(plugin);
            return false;
        }
        if (p.text)
        {
            if (!plugin.SetParameterText(index, p.value))
            {
                error = "the plug-in refused the text '" + p.value + "' for parameter " +
                        std::to_string(index) + " (" + plugin.ParamName(index) + ")";
                return false;
            }
            continue;
        }
        double v = 0.0;
        if (!ParseDouble(p.value, v) || v < 0.0 || v > 1.0)
        {
            error = "--param " + p.id + "=" + p.value +
                    ": normalized values are numbers from 0 to 1 (use --param-text for plain values)";
            return false;
        }
        plugin.SetParameter(index, static_cast<float>(v));
    }
    return true;
}

std::unique_ptr<HostedPlugin> StartPlugin(const std::string& path, const Options& o, double rate,
                                          bool useDouble, std::ostream& err, std::string& error)
{
    std::unique_ptr<HostedPlugin> plugin = HostedPlugin::Load(path, error);
    if (!plugin || !plugin->Open(error) || !plugin->Prepare(rate, o.block, useDouble, error) ||
        !ApplySettings(*plugin, o, err, error))
        return nullptr;
    return plugin;
}

bool SaveState(HostedPlugin& plugin, const Options& o, std::ostream& out, std::string& error)
{
    if (o.saveState.empty())
        return true;
    std::vector<std::uint8_t> chunk;
    if (!plugin.GetChunk(o.bank, chunk, error) || !WriteWholeFile(o.saveState, chunk, error))
        return false;
    out << "state: " << chunk.size() << " bytes (" << (o.bank ? "bank" : "program") << " chunk) written to "
        << o.saveState << "\n";
    return true;
}

bool Info(const Options& o, std::ostream& out, std::ostream& err, std::string& error)
{
    auto plugin = StartPlugin(o.plugins[0], o, o.rate.value_or(48000.0), o.useDouble, err, error);
    if (!plugin)
        return false;
    HostedPlugin& p = *plugin;
    const AEffect& e = p.Effect();
    out << "plug-in        " << o.plugins[0] << " (entry point " << p.Library().EntryName() << ")\n";
    out << "effect name    " << p.EffectName() << "\n";
    out << "vendor         " << p.VendorString() << "\n";
    out << "product        " << p.ProductString() << "\n";
    out << "version        " << e.version << " (vendor version " << p.VendorVersion() << ")\n";
    out << "unique ID      '" << FourCC(e.uniqueID) << "' (" << Hex(static_cast<std::uint32_t>(e.uniqueID))
        << ")\n";
    out << "VST version    " << p.VstVersion() << "\n";
    out << "category       " << CategoryName(p.Category()) << "\n";
    out << "flags          " << Hex(static_cast<std::uint32_t>(e.flags)) << " " << FlagNames(e.flags) << "\n";
    out << "inputs         " << p.InputCount() << "\n";
    out << "outputs        " << p.OutputCount() << "\n";
    for (int dir = 0; dir < 2; ++dir)
    {
        const bool input = dir == 0;
        for (int i = 0; i < (input ? p.InputCount() : p.OutputCount()); ++i)
        {
            VstPinProperties pin;
            if (p.PinProperties(input, i, pin))
                out << "  " << (input ? "input " : "output ") << i << "       '" << pin.label << "' flags "
                    << pin.flags << "\n";
        }
    }
    out << "initial delay  " << e.initialDelay << " frames\n";
    out << "tail size      " << p.TailSize() << "\n";
    out << "can do         ";
    for (const char* what : {"receiveVstTimeInfo", "receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                             "sendVstMidiEvent", "bypass"})
        out << what << "=" << p.CanDo(what) << " ";
    out << "\n";
    out << "parameters     " << p.ParamCount() << "\n";
    constexpr int kListed = 1000;
    if (p.ParamCount() > 0)
        out << "  index  " << Pad("name", 24) << Pad("value", 10) << Pad("display", 16) << "label\n";
    for (int i = 0; i < p.ParamCount() && i < kListed; ++i)
        out << "  " << Pad(std::to_string(i), 7) << Pad(p.ParamName(i), 24)
            << Pad(Number(p.GetParameter(i), "%.6f"), 10) << Pad(p.ParamDisplay(i), 16) << p.ParamLabel(i)
            << "\n";
    if (p.ParamCount() > kListed)
        out << "  ... and " << p.ParamCount() - kListed << " more\n";
    out << "programs       " << p.ProgramCount() << " (current " << p.CurrentProgram() << ")\n";
    for (int i = 0; i < p.ProgramCount() && i < kListed; ++i)
        out << "  " << Pad(std::to_string(i), 7) << p.ProgramName(i) << "\n";
    if (p.ProgramCount() > kListed)
        out << "  ... and " << p.ProgramCount() - kListed << " more\n";
    return SaveState(p, o, out, error);
}

bool Render(const Options& o, std::ostream& out, std::ostream& err, std::string& error)
{
    AudioData input;
    if (!o.input.empty())
    {
        WavInfo info;
        if (!ReadWavFile(o.input, input, info, error))
            return false;
        if (info.nonFiniteSamples > 0)
            err << "grovane-host: warning: " << info.nonFiniteSamples << " NaN or infinite samples in "
                << o.input << " read as 0\n";
        if (input.Frames() == 0)
        {
            error = o.input + " holds no audio";
            return false;
        }
    }
    else
    {
        input = MakeDemoSignal(o.rate.value_or(48000.0), o.seconds.value_or(8.0));
    }
    auto plugin = StartPlugin(o.plugins[0], o, input.sampleRate, o.useDouble, err, error);
    if (!plugin)
        return false;
    if (plugin->OutputCount() < 1)
    {
        error = "the plug-in has no outputs to render";
        return false;
    }
    if (input.ChannelCount() != 1 && input.ChannelCount() != plugin->InputCount())
        err << "grovane-host: note: the input has " << input.ChannelCount() << " channels, the plug-in "
            << plugin->InputCount() << " inputs; missing inputs get silence, extra channels are left out\n";
    plugin->SetProcessMode(ProcessMode::Offline);
    plugin->Resume();
    AudioData output;
    const bool rendered = RenderAudio(*plugin, input, o.useDouble, output, error);
    plugin->Suspend();
    if (!rendered)
        return false;
    std::size_t nonFinite = 0;
    for (const auto& channel : output.channels)
        nonFinite += static_cast<std::size_t>(
            std::count_if(channel.begin(), channel.end(), [](double v) { return !std::isfinite(v); }));
    if (nonFinite > 0)
        err << "grovane-host: warning: the plug-in produced " << nonFinite << " NaN or infinite samples\n";
    if (!WriteWavFile(o.output, output, o.format, error))
        return false;
    out << "rendered " << output.Frames() << " frames ("
        << Number(output.Frames() / output.sampleRate, "%.2f") << " s at "
        << Number(output.sampleRate, "%.0f") << " Hz) of "
        << (o.input.empty() ? std::string("the demo signal") : o.input) << " through " << plugin->EffectName()
        << " (" << (o.useDouble ? "processDoubleReplacing" : "processReplacing") << ", " << o.block
        << "-frame blocks) into " << o.output << "\n";
    for (int c = 0; c < input.ChannelCount(); ++c)
        out << "  in " << c + 1 << " peak " << PeakDb(input.channels[static_cast<std::size_t>(c)]) << "\n";
    for (int c = 0; c < output.ChannelCount(); ++c)
        out << "  out " << c + 1 << " peak " << PeakDb(output.channels[static_cast<std::size_t>(c)]) << "\n";
    return SaveState(*plugin, o, out, error);
}

bool Response(const Options& o, std::ostream& out, std::ostream& err, std::string& error)
{
    const double rate = o.rate.value_or(48000.0);
    auto plugin = StartPlugin(o.plugins[0], o, rate, o.useDouble, err, error);
    if (!plugin)
        return false;
    ResponseOptions options;
    options.points = o.points;
    options.levelDb = o.level;
    options.useDouble = o.useDouble;
    plugin->SetProcessMode(ProcessMode::Offline);
    std::vector<ResponsePoint> response;
    if (!MeasureResponse(*plugin, options, response, error))
        return false;
    std::string name = plugin->EffectName();
    if (name.empty())
        name = std::filesystem::path(o.plugins[0]).stem().string();
    const std::string title = name + " magnitude response at " + Number(rate, "%.0f") + " Hz";
    const RgbImage plot = DrawResponsePlot(title, response, o.width, o.height);
    if (!plot.WritePng(o.output, error))
        return false;
    if (o.table)
    {
        out << Pad("Hz", 12);
        for (std::size_t c = 0; c < response.front().gainDb.size(); ++c)
            out << Pad("out " + std::to_string(c + 1) + " dB", 12);
        out << "\n";
        for (const auto& point : response)
        {
            out << Pad(Number(point.hz, "%.1f"), 12);
            for (double db : point.gainDb)
                out << Pad(std::isfinite(db) ? Number(db, "%.3f") : db < 0 ? "-inf" : "nan", 12);
            out << "\n";
        }
    }
    out << "response of " << name << " (" << response.size() << " frequencies, " << Number(o.level, "%.0f")
        << " dBFS probes) plotted in " << o.output << " (" << plot.Width() << "x" << plot.Height() << ")\n";
    return SaveState(*plugin, o, out, error);
}

bool Bench(const Options& o, std::ostream& out, std::ostream& err, std::string& error)
{
    const double rate = o.rate.value_or(48000.0);
    const double seconds = o.seconds.value_or(10.0);
    out << "bench: " << o.block << "-frame blocks at " << Number(rate, "%.0f") << " Hz, "
        << Number(seconds, "%g") << " s of audio per path, median of 10 passes\n";
    for (const std::string& path : o.plugins)
    {
        for (int precision = 0; precision < 2; ++precision)
        {
            const bool useDouble = precision == 1;
            auto plugin = StartPlugin(path, o, rate, useDouble, err, error);
            if (!plugin)
                return false;
            BenchResult result;
            if (!BenchPlugin(*plugin, seconds, useDouble, result, error))
                return false;
            std::string name = plugin->EffectName();
            if (name.empty())
                name = std::filesystem::path(path).stem().string();
            out << "  " << Pad(name, 20) << Pad(useDouble ? "processDoubleReplacing" : "processReplacing", 24)
                << Number(result.nsPerFrame, "%8.2f") << " ns/frame (best "
                << Number(result.bestNsPerFrame, "%.2f") << ", " << plugin->InputCount() << " in / "
                << plugin->OutputCount() << " out, " << Number(1e9 / rate / result.nsPerFrame, "%.0f")
                << "x realtime)\n";
            if (!plugin->CanDouble())
                break;
        }
    }
    return true;
}
} // namespace

int RunHostTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help"))
    {
        out << kUsage;
        return 0;
    }
    Options o;
    std::string error;
    if (!ParseArgs(args, o, error))
    {
        err << "grovane-host: " << error << "\n\n" << kUsage;
        return 2;
    }
    bool ok = false;
    if (o.command == "info")
        ok = Info(o, out, err, error);
    else if (o.command == "render")
        ok = Render(o, out, err, error);
    else if (o.command == "response")
        ok = Response(o, out, err, error);
    else
        ok = Bench(o, out, err, error);
    if (!ok)
    {
        err << "grovane-host: " << error << "\n";
        return 1;
    }
    return 0;
}
