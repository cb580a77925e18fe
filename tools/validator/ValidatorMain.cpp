// grovane-validate: runs the battery of checks against a VST2 plug-in library and prints
// one line per check and a summary; exits 0 when every check passed, 1 when one failed,
// 2 on a usage error. Each check runs in a child process of this program, so that a
// plug-in that crashes or hangs fails that check and the battery goes on.
#include "tools/validator/CheckSupport.h"
#include "tools/validator/ChildProcess.h"
#include "tools/validator/Validator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr const char* kResultTag = "@@result ";
constexpr const char* kCrashTag = "@@crash ";

void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: grovane-validate [options] PLUGIN\n"
                 "Runs the battery of checks against a VST2 plug-in library (.dll, .so).\n"
                 "  --quick          the thread check runs 1 s and the denormal check 6 s of silence\n"
                 "                   (instead of 10 s and 60 s); everything else as in the full battery\n"
                 "  --check LIST     only these checks: numbers or names, separated by commas\n"
                 "  --stereo-by-design  the plug-in's left and right outputs differ on purpose (a panner,\n"
                 "                   a stereo reverb): identical inputs need not give identical outputs\n"
                 "  --list           list the checks and exit\n"
                 "  --in-process     run the checks in this process (a crash ends the run)\n"
                 "  --timeout SEC    time limit of each check (default 600)\n");
}

struct Arguments
{
    std::string plugin;
    ValidatorOptions options;
    bool quick = false;
    bool stereoByDesign = false;
    bool inProcess = false;
    bool list = false;
    double timeout = 600.0;
    std::vector<CheckId> checks;
    int child = 0; // in a child: the check to run
};

bool ParseChecks(const std::string& text, std::vector<CheckId>& checks)
{
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ','))
    {
        CheckId id;
        if (!FindCheck(item, id))
        {
            std::fprintf(stderr, "grovane-validate: no check named %s (see --list)\n", item.c_str());
            return false;
        }
        checks.push_back(id);
    }
    return !checks.empty();
}

bool Parse(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick")
        {
            args.quick = true;
            args.options = ValidatorOptions::Quick();
        }
        else if (arg == "--stereo-by-design")
            args.stereoByDesign = true;
        else if (arg == "--in-process")
            args.inProcess = true;
        else if (arg == "--list")
            args.list = true;
        else if (arg == "--check" && hasValue)
        {
            if (!ParseChecks(argv[++i], args.checks))
                return false;
        }
        else if (arg == "--timeout" && hasValue)
        {
            args.timeout = std::atof(argv[++i]);
            if (!(args.timeout > 0.0))
                return false;
        }
        else if (arg == "--child" && hasValue)
        {
            args.child = std::atoi(argv[++i]);
            if (args.child < 1 || args.child > kCheckCount)
                return false;
        }
        else if (arg == "-h" || arg == "--help")
        {
            Usage(stdout);
            std::exit(0);
        }
        else if (!arg.empty() && arg[0] == '-')
        {
            std::fprintf(stderr, "grovane-validate: unknown option %s\n", arg.c_str());
            return false;
        }
        else if (args.plugin.empty())
            args.plugin = arg;
        else
            return false;
    }
    args.options.stereoByDesign = args.stereoByDesign;
    if (args.checks.empty())
        for (const CheckInfo& info : Checks())
            args.checks.push_back(info.id);
    return args.list || !args.plugin.empty();
}

// The child's side: run one check, print its verdict, end without running the plug-in's
// static destructors (its threads may still be stuck).
[[noreturn]] void RunChild(const Arguments& args)
{
    InstallCrashReporter();
    const CheckResult result = RunCheck(static_cast<CheckId>(args.child), args.plugin, args.options);
    std::string figure = result.figure;
    for (char& c : figure)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::printf("\n%s%s %s\n", kResultTag, result.passed ? "PASS" : "FAIL", figure.c_str());
    std::fflush(stdout);
    std::_Exit(0);
}

// The last line of the child's output that starts with tag, without the tag.
bool TaggedLine(const std::string& output, const char* tag, std::string& line)
{
    bool found = false;
    std::stringstream stream(output);
    std::string each;
    while (std::getline(stream, each))
    {
        if (!each.empty() && each.back() == '\r')
            each.pop_back();
        if (each.rfind(tag, 0) == 0)
        {
            line = each.substr(std::strlen(tag));
            found = true;
        }
    }
    return found;
}

CheckResult RunIsolated(CheckId id, const Arguments& args)
{
    std::vector<std::string> childArgs{"--child", std::to_string(static_cast<int>(id))};
    if (args.quick)
        childArgs.push_back("--quick");
    if (args.stereoByDesign)
        childArgs.push_back("--stereo-by-design");
    childArgs.push_back(args.plugin);
    const ChildOutcome outcome = RunSelf(childArgs, args.timeout);
    if (!outcome.started)
        return {false, "could not start a child process of the validator (" + outcome.startError + ")"};
    std::string line;
    if (TaggedLine(outcome.output, kResultTag, line) && line.size() >= 4)
        return {line.rfind("PASS", 0) == 0, line.size() > 5 ? line.substr(5) : std::string()};
    std::string step;
    const bool hasStep = TaggedLine(outcome.output, kCrashTag, step);
    if (outcome.timedOut)
        return {false,
                Format("no verdict within %g s (deadlock or endless loop in the plug-in?)", args.timeout)};
    if (outcome.crashed)
        return {false, "the plug-in crashed (" + outcome.crash + ")" +
                           (hasStep ? " during " + step : std::string())};
    // A sanitizer's report ends the process with a code of its own; the report is on
    // standard error.
    return {false, Format("the check's process died (exit code %d, no verdict)%s", outcome.exitCode,
                          hasStep ? (" during " + step).c_str() : "")};
}
} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!Parse(argc, argv, args))
    {
        Usage(stderr);
        return 2;
    }
    if (args.child != 0)
        RunChild(args);
    if (args.list)
    {
        for (const CheckInfo& info : Checks())
            std::printf("%2d %-17s %s\n", static_cast<int>(info.id), info.name, info.summary);
        return 0;
    }
    std::printf("grovane-validate: %s\n", args.plugin.c_str());
    const std::string scaled = args.options.ScaledDescription();
    if (!scaled.empty())
        std::printf("scaled (--quick): %s\n", scaled.c_str());
    if (args.stereoByDesign)
        std::printf("stereo by design: identical left and right inputs need not give identical outputs\n");
    std::fflush(stdout);
    int passed = 0;
    int failed = 0;
    for (CheckId id : args.checks)
    {
        const CheckResult result =
            args.inProcess ? RunCheck(id, args.plugin, args.options) : RunIsolated(id, args);
        std::printf("%s\n", FormatResultLine(id, result).c_str());
        std::fflush(stdout);
        (result.passed ? passed : failed) += 1;
    }
    std::printf("%s\n", FormatSummaryLine(passed, failed).c_str());
    return failed == 0 ? 0 : 1;
}
