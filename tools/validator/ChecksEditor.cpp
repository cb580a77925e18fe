#include "tools/validator/CheckSupport.h"
#include "tools/validator/Checks.h"
#include "tools/validator/EditorHost.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
// Lets the editor run for a moment: window messages and the plug-in's idle call.
void Settle(HostedPlugin& plugin, EditorHost& host, int milliseconds)
{
    for (int t = 0; t < milliseconds; t += 10)
    {
        plugin.Dispatch(effEditIdle);
        host.Pump(10);
    }
}

std::string Growth(const char* what, int before, int after)
{
    if (before < 0 || after < 0)
        return {};
    return Format("%s %+d", what, after - before);
}
} // namespace

CheckResult CheckEditor(const std::string& path, const ValidatorOptions&)
{
    // Growth of GDI or USER objects over the cycles beyond this counts as a leak (caches
    // filled on the first opens may add a few).
    constexpr int kObjectSlack = 5;
    constexpr int kCycles = 50;
    std::string fault;
    std::unique_ptr<HostedPlugin> plugin = StartPlugin(path, kRate, kBlock, false, fault);
    if (!plugin)
        return {false, fault};
    if ((plugin->Effect().flags & effFlagsHasEditor) == 0)
        return {true, "no editor"};
    // The window comes first: a host without one never asks for the editor's rectangle.
    std::string whyNot;
    std::unique_ptr<EditorHost> host = EditorHost::Create(400, 300, whyNot);
    if (!host)
        return {true, "editor present, not exercised: " + whyNot};
    SetStep("effEditGetRect");
    ERect* rect = nullptr;
    int width = 400;
    int height = 300;
    if (plugin->Dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr)
    {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
            return {false, Format("effEditGetRect answers a rectangle of %d x %d", width, height)};
        host->Resize(width, height);
    }
    void* parent = host->ParentHandle();
    auto openClose = [&](const char* what, int cycle) -> std::string
    {
        SetStep("effEditOpen (%s %d)", what, cycle);
        if (plugin->Dispatch(effEditOpen, 0, 0, parent) == 0 && cycle == 0)
            return Format("effEditOpen answered 0 (%s)", what);
        Settle(*plugin, *host, 30);
        SetStep("effEditClose (%s %d)", what, cycle);
        plugin->Dispatch(effEditClose);
        Settle(*plugin, *host, 10);
        const int left = host->Resources().childWindows;
        if (left > 0)
            return Format("%d window%s left inside the parent after effEditClose (%s %d)", left,
                          left == 1 ? "" : "s", what, cycle + 1);
        return {};
    };
    // The first opening loads what the editor keeps for the life of the library.
    std::string wrong = openClose("first opening", 0);
    if (!wrong.empty())
        return {false, wrong};
    const UiResources before = host->Resources();
    for (int cycle = 0; cycle < kCycles && wrong.empty(); ++cycle)
        wrong = openClose("cycle", cycle);
    if (!wrong.empty())
        return {false, wrong};
    const UiResources after = host->Resources();
    SetStep("opening twice and closing twice");
    plugin->Dispatch(effEditOpen, 0, 0, parent);
    plugin->Dispatch(effEditOpen, 0, 0, parent);
    Settle(*plugin, *host, 30);
    plugin->Dispatch(effEditClose);
    plugin->Dispatch(effEditClose);
    Settle(*plugin, *host, 10);
    if (const int left = host->Resources().childWindows; left > 0)
        return {false,
                Format("%d windows left inside the parent after opening twice and closing twice", left)};
    // Opening and closing while another thread processes.
    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            HostBuffers<float> in(plugin->InputCount(), kBlock);
            HostBuffers<float> out(plugin->OutputCount(), kBlock);
            in.Zero(kBlock);
            while (!stop)
            {
                plugin->Process(in.Pointers(), out.Pointers(), kBlock);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    for (int cycle = 0; cycle < 5 && wrong.empty(); ++cycle)
        wrong = openClose("while processing", cycle);
    stop = true;
    audio.join();
    if (!wrong.empty())
        return {false, wrong};
    const UiResources end = host->Resources();
    if (before.ownWindows >= 0 && end.ownWindows > before.ownWindows)
        return {false, Format("%d top-level windows left behind after %d openings",
                              end.ownWindows - before.ownWindows, kCycles + 7)};
    if (before.gdiObjects >= 0 && after.gdiObjects - before.gdiObjects > kObjectSlack)
        return {false, Format("GDI objects grew by %d over %d open/close cycles",
                              after.gdiObjects - before.gdiObjects, kCycles)};
    if (before.userObjects >= 0 && after.userObjects - before.userObjects > kObjectSlack)
        return {false, Format("USER objects grew by %d over %d open/close cycles",
                              after.userObjects - before.userObjects, kCycles)};
    std::string counts = "child windows 0 after each close";
    for (const std::string& part : {Growth("GDI objects", before.gdiObjects, end.gdiObjects),
                                    Growth("USER objects", before.userObjects, end.userObjects)})
        if (!part.empty())
            counts += ", " + part;
    if (before.gdiObjects < 0)
        counts += ", GDI and USER object counts not available here";
    return {true,
            Format("%d x %d editor: %d open/close cycles, open twice/close twice, 5 while processing; %s",
                   width, height, kCycles, counts.c_str())};
}
