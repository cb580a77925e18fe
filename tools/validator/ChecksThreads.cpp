#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"
#include "tools/validator/EditorHost.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A thread any check can abandon: when the plug-in deadlocks it, the check reports so and
// leaves the thread (and the instance it uses) behind instead of hanging with it.
class Worker
{
public:
    template <typename Body> explicit Worker(Body body) : done_(std::make_shared<std::atomic<bool>>(false))
    {
        thread_ = std::thread(
            [done = done_, body = std::move(body)]() mutable
            {
                body();
                *done = true;
            });
    }
    bool Done() const { return *done_; }
    // Joins when finished; otherwise detaches and answers false.
    bool JoinOrAbandon()
    {
        if (Done())
        {
            thread_.join();
            return true;
        }
        thread_.detach();
        return false;
    }

private:
    std::shared_ptr<std::atomic<bool>> done_;
    std::thread thread_;
};

// First fault from any thread.
class SharedFault
{
public:
    void Set(const std::string& fault)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fault_.empty())
            fault_ = fault;
    }
    std::string Get()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fault_;
    }

private:
    std::mutex mutex_;
    std::string fault_;
};

// Waits until every worker has finished or timeout passes; false on timeout.
bool WaitAll(std::vector<std::unique_ptr<Worker>>& workers, std::chrono::duration<double> timeout)
{
    const auto end = Clock::now() + timeout;
    for (;;)
    {
        bool all = true;
        for (auto& worker : workers)
            all = all && worker->Done();
        if (all)
            return true;
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
}

// Joins finished workers, abandons the rest; answers how many were abandoned.
int Finish(std::vector<std::unique_ptr<Worker>>& workers)
{
    int abandoned = 0;
    for (auto& worker : workers)
        abandoned += worker->JoinOrAbandon() ? 0 : 1;
    return abandoned;
}
// Opens the plug-in's editor in a window of this thread and drags over a grid of points,
// as a user moving its controls would; answers how many drags reached a window of the
// editor (0 without an editor or where this host cannot send input).
int DragOverEditor(HostedPlugin& plugin)
{
    if ((plugin.Effect().flags & effFlagsHasEditor) == 0)
        return 0;
    std::string whyNot;
    std::unique_ptr<EditorHost> host = EditorHost::Create(400, 300, whyNot);
    if (!host)
        return 0;
    ERect* rect = nullptr;
    int width = 400;
    int height = 300;
    if (plugin.Dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr && rect->right > rect->left &&
        rect->bottom > rect->top && rect->right - rect->left <= 8192 && rect->bottom - rect->top <= 8192)
    {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        host->Resize(width, height);
    }
    if (plugin.Dispatch(effEditOpen, 0, 0, host->ParentHandle()) == 0)
        return 0;
    host->Pump(50);
    int drags = 0;
    constexpr int kGrid = 6;
    for (int gx = 0; gx < kGrid; ++gx)
        for (int gy = 0; gy < kGrid; ++gy)
        {
            const int x = (2 * gx + 1) * width / (2 * kGrid);
            const int y = (2 * gy + 1) * height / (2 * kGrid);
            drags += host->Drag(x, y, x + 5, y - 40) ? 1 : 0;
            plugin.Dispatch(effEditIdle);
            host->Pump(5);
        }
    plugin.Dispatch(effEditClose);
    host->Pump(10);
    return drags;
}
} // namespace

CheckResult CheckThreadSafety(const std::string& path, const ValidatorOptions& options)
{
    constexpr int kFrames = 32;
    std::string fault;
    std::unique_ptr<HostedPlugin> owned = StartPlugin(path, kRate, kFrames, false, fault);
    if (!owned)
        return {false, fault};
    struct State
    {
        std::atomic<bool> stop{false};
        std::atomic<long long> blocks{0}, changes{0}, reads{0};
        SharedFault fault;
    };
    auto state = std::make_shared<State>();
    HostedPlugin* plugin = owned.get();
    std::vector<std::unique_ptr<Worker>> workers;
    workers.push_back(std::make_unique<Worker>(
        [state, plugin]
        {
            HostBuffers<float> in(plugin->InputCount(), kFrames);
            HostBuffers<float> out(plugin->OutputCount(), kFrames);
            const Signal noise = TestSignal(plugin->InputCount(), 48000, kRate, 139);
            std::size_t at = 0;
            while (!state->stop)
            {
                in.Load(noise, at, kFrames);
                at = (at + kFrames) % (noise[0].size() - kFrames);
                plugin->Process(in.Pointers(), out.Pointers(), kFrames);
                for (int c = 0; c < plugin->OutputCount(); ++c)
                    for (int i = 0; i < kFrames; ++i)
                        if (!std::isfinite(out.Channel(c)[i]))
                            state->fault.Set(
                                Format("non-finite output %s in block %lld while other threads called",
                                       SampleText(out.Channel(c)[i]).c_str(), state->blocks.load()));
                ++state->blocks;
            }
        }));
    workers.push_back(std::make_unique<Worker>(
        [state, plugin]
        {
            Noise random(149u);
            while (!state->stop)
            {
                for (int i = 0; i < plugin->ParamCount(); ++i)
                {
                    plugin->SetParameter(i, static_cast<float>(0.5 + 0.5 * random.Next()));
                    const float value = plugin->GetParameter(i);
                    if (!std::isfinite(value) || value < 0.0f || value > 1.0f)
                        state->fault.Set(Format("getParameter(%d) = %s under concurrent calls", i,
                                                SampleText(value).c_str()));
                }
                ++state->changes;
                std::this_thread::yield();
            }
        }));
    workers.push_back(std::make_unique<Worker>(
        [state, plugin]
        {
            std::string error;
            std::vector<std::uint8_t> chunk;
            while (!state->stop)
            {
                for (int i = 0; i < plugin->ParamCount(); ++i)
                    plugin->ParamDisplay(i);
                plugin->GetChunk(false, chunk, error);
                plugin->GetChunk(true, chunk, error);
                ++state->reads;
                std::this_thread::yield();
            }
        }));
    // Every thread must keep moving; one that stands still for this long is stuck.
    constexpr auto kStall = 5s;
    SetStep("three threads calling the plug-in for %g s", options.threadSeconds);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(options.threadSeconds);
    long long last[3] = {-1, -1, -1};
    Clock::time_point moved[3] = {start, start, start};
    const char* names[3] = {"audio", "automation", "display and chunk"};
    std::string stuck;
    while (Clock::now() < end && stuck.empty())
    {
        std::this_thread::sleep_for(20ms);
        const long long now[3] = {state->blocks, state->changes, state->reads};
        for (int t = 0; t < 3; ++t)
        {
            if (now[t] != last[t])
            {
                last[t] = now[t];
                moved[t] = Clock::now();
            }
            else if (Clock::now() - moved[t] > kStall)
            {
                stuck = names[t];
            }
        }
    }
    state->stop = true;
    if (!stuck.empty() || !WaitAll(workers, kStall))
    {
        Finish(workers);
        // The plug-in is left as it is: its threads may still hold it.
        static_cast<void>(owned.release());
        return {
            false,
            Format("deadlock: the %s thread made no progress for %lld s (%lld blocks, %lld parameter rounds, "
                   "%lld text and chunk rounds)",
                   stuck.empty() ? "audio, automation or display" : stuck.c_str(),
                   static_cast<long long>(kStall.count()), state->blocks.load(), state->changes.load(),
                   state->reads.load())};
    }
    Finish(workers);
    const std::string problem = state->fault.Get();
    if (!problem.empty())
        return {false, problem};
    return {true,
            Format("%g s on three threads: %lld blocks of %d frames, %lld parameter rounds, %lld display and "
                   "chunk rounds; no crash, no deadlock, output finite",
                   options.threadSeconds, state->blocks.load(), kFrames, state->changes.load(),
                   state->reads.load())};
}

CheckResult CheckHostReentry(const std::string& path, const ValidatorOptions&)
{
    std::string fault;
    std::unique_ptr<HostedPlugin> owned = StartPlugin(path, kRate, kBlock, false, fault);
    if (!owned)
        return {false, fault};
    HostedPlugin* plugin = owned.get();
    struct State
    {
        std::atomic<bool> stop{false};
        std::atomic<std::thread::id> audio{};
        std::atomic<long long> automations{0}, fromAudio{0}, reentries{0}, edits{0}, hostCalls{0}, blocks{0};
        std::atomic<int> firstAudioIndex{-1};
        std::atomic<int> drags{0};
    };
    auto state = std::make_shared<State>();
    // A host whose answer to audioMasterAutomate is to set the parameter right away, as
    // hosts that echo automation to their own controls do.
    plugin->SetCallInterceptor(
        [state](HostedPlugin& host, const HostCall& call)
        {
            static thread_local int depth = 0;
            if (call.opcode == audioMasterAutomate || call.opcode == audioMasterBeginEdit ||
                call.opcode == audioMasterEndEdit)
            {
                const bool onAudio = std::this_thread::get_id() == state->audio.load();
                if (call.opcode == audioMasterAutomate)
                    ++state->automations;
                else
                    ++state->edits;
                if (onAudio)
                {
                    int none = -1;
                    state->firstAudioIndex.compare_exchange_strong(none, call.index);
                    ++state->fromAudio;
                }
                if (call.opcode == audioMasterAutomate && depth == 0 && call.index >= 0 &&
                    call.index < host.ParamCount() && call.opt >= 0.0f && call.opt <= 1.0f)
                {
                    ++depth;
                    SetParameterRaw(host, call.index, call.opt);
                    --depth;
                    ++state->reentries;
                }
            }
            return host.DefaultAnswer(call);
        });
    std::vector<std::unique_ptr<Worker>> audio;
    audio.push_back(std::make_unique<Worker>(
        [state, plugin]
        {
            state->audio = std::this_thread::get_id();
            HostBuffers<float> in(plugin->InputCount(), kBlock);
            HostBuffers<float> out(plugin->OutputCount(), kBlock);
            const Signal noise = TestSignal(plugin->InputCount(), kBlock, kRate, 151);
            in.Load(noise, 0, kBlock);
            while (!state->stop)
            {
                plugin->Process(in.Pointers(), out.Pointers(), kBlock);
                ++state->blocks;
                std::this_thread::sleep_for(1ms);
            }
        }));
    while (state->audio.load() == std::thread::id{})
        std::this_thread::yield();
    // What a host's user-interface thread does that may make a plug-in automate: values,
    // texts, programs, state.
    std::vector<std::unique_ptr<Worker>> host;
    host.push_back(std::make_unique<Worker>(
        [state, plugin]
        {
            std::string error;
            // At least a second of it, so that many blocks run meanwhile.
            const auto until = Clock::now() + 1s;
            for (int round = 0; round < 8 || Clock::now() < until; ++round)
            {
                for (int i = 0; i < plugin->ParamCount(); ++i)
                {
                    for (float value : {0.0f, 0.25f, 0.5f, 1.0f})
                    {
                        plugin->SetParameter(i, value);
                        ++state->hostCalls;
                    }
                    plugin->SetParameterText(i, plugin->ParamDisplay(i));
                    ++state->hostCalls;
                }
                for (int p = 0; p < std::min(plugin->ProgramCount(), 16); ++p)
                {
                    plugin->SetProgram(p);
                    ++state->hostCalls;
                }
                std::vector<std::uint8_t> chunk;
                bool accepted = false;
                if (plugin->GetChunk(false, chunk, error))
                    plugin->SetChunk(false, chunk, accepted, error);
                state->hostCalls += 2;
            }
            state->drags = DragOverEditor(*plugin);
        }));
    SetStep("host calls with re-entrant automation");
    constexpr auto kLimit = 30s;
    const bool hostFinished = WaitAll(host, kLimit);
    state->stop = true;
    const bool audioFinished = hostFinished && WaitAll(audio, 5s);
    if (!hostFinished || !audioFinished)
    {
        Finish(host);
        Finish(audio);
        static_cast<void>(owned.release());
        return {
            false,
            Format("deadlock: the %s thread stuck for %lld s after %lld host calls, %lld automation calls "
                   "(%lld answered with setParameter)",
                   hostFinished ? "audio" : "host", static_cast<long long>(hostFinished ? 5 : kLimit.count()),
                   state->hostCalls.load(), state->automations.load(), state->reentries.load())};
    }
    Finish(host);
    Finish(audio);
    plugin->SetCallInterceptor(nullptr);
    if (state->fromAudio > 0)
        return {false, Format("%lld automation or edit calls from the audio thread (first for parameter %d)",
                              state->fromAudio.load(), state->firstAudioIndex.load())};
    const std::string drags =
        state->drags > 0 ? Format(" and %d drags over the editor", state->drags.load()) : std::string();
    if (state->automations == 0)
        return {true,
                Format("no automation sent in answer to %lld host calls%s while processing (%lld blocks); "
                       "re-entry not exercised, no deadlock",
                       state->hostCalls.load(), drags.c_str(), state->blocks.load())};
    return {
        true,
        Format("%lld automation calls (after %lld host calls%s), %lld answered at once with setParameter, "
               "%lld edit brackets; none from the audio thread; no deadlock",
               state->automations.load(), state->hostCalls.load(), drags.c_str(), state->reentries.load(),
               state->edits.load())};
}

CheckResult CheckManyInstances(const std::string& path, const ValidatorOptions&)
{
    constexpr int kInstances = 16;
    std::string fault;
    // The instances exist first, so that the library stays loaded: state one instance
    // leaves in the library's globals then reaches the others.
    std::vector<std::unique_ptr<HostedPlugin>> plugins;
    for (int k = 0; k < kInstances; ++k)
    {
        SetStep("starting instance %d of %d", k + 1, kInstances);
        plugins.push_back(StartPlugin(path, kRate, kBlock, false, fault));
        if (!plugins.back())
            return {false, Format("instance %d: %s", k + 1, fault.c_str())};
    }
    Signal expected;
    const Signal input = TestSignal(plugins.front()->InputCount(), static_cast<int>(kRate), kRate, 157);
    {
        std::unique_ptr<HostedPlugin> lone = StartPlugin(path, kRate, kBlock, false, fault);
        if (!lone)
            return {false, fault};
        std::string error;
        SetStep("a lone instance processing");
        if (!Render(*lone, input, expected, FixedBlocks(kBlock), {}, error))
            return {false, "a lone instance: " + error};
    }
    struct State
    {
        std::atomic<int> ready{0};
        std::vector<Signal> outputs;
        std::vector<std::string> errors;
    };
    auto state = std::make_shared<State>();
    state->outputs.resize(kInstances);
    state->errors.resize(kInstances);
    auto shared = std::make_shared<Signal>(input);
    std::vector<std::unique_ptr<Worker>> workers;
    for (int k = 0; k < kInstances; ++k)
    {
        HostedPlugin* plugin = plugins[static_cast<std::size_t>(k)].get();
        workers.push_back(std::make_unique<Worker>(
            [state, shared, plugin, k]
            {
                // All start together, so that the instances really process at once.
                ++state->ready;
                while (state->ready < kInstances)
                    std::this_thread::yield();
                Render(*plugin, *shared, state->outputs[static_cast<std::size_t>(k)], FixedBlocks(kBlock), {},
                       state->errors[static_cast<std::size_t>(k)]);
            }));
    }
    SetStep("16 instances processing at once");
    if (!WaitAll(workers, 60s))
    {
        Finish(workers);
        for (auto& plugin : plugins)
            static_cast<void>(plugin.release());
        return {false, "deadlock: 16 instances processing at once did not finish within 60 s"};
    }
    Finish(workers);
    for (int k = 0; k < kInstances; ++k)
    {
        const std::size_t i = static_cast<std::size_t>(k);
        if (!state->errors[i].empty())
            return {false, Format("instance %d: %s", k + 1, state->errors[i].c_str())};
        const double difference = MaxDifference(state->outputs[i], expected);
        if (difference != 0.0)
            return {false, Format("instance %d of %d processing at once differs from a lone instance by %.3g",
                                  k + 1, kInstances, difference)};
    }
    return {true, Format("%d instances on %d threads, 1 s each: output identical to a lone instance",
                         kInstances, kInstances)};
}
