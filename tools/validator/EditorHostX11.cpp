#include "tools/validator/EditorHost.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{
int CountDescendants(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0)
        return 0;
    int total = static_cast<int>(count);
    for (unsigned int i = 0; i < count; ++i)
        total += CountDescendants(display, children[i]);
    if (children != nullptr)
        XFree(children);
    return total;
}

class X11EditorHost : public EditorHost
{
public:
    X11EditorHost(Display* display, Window window) : display_(display), window_(window) {}
    ~X11EditorHost() override
    {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    void* ParentHandle() override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }
    void Resize(int width, int height) override
    {
        XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(display_, False);
    }
    void Pump(int milliseconds) override
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do
        {
            XSync(display_, False);
            while (XPending(display_) > 0)
            {
                XEvent event;
                XNextEvent(display_, &event);
            }
            if (milliseconds > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
    }
    UiResources Resources() override
    {
        XSync(display_, False);
        UiResources resources;
        resources.childWindows = CountDescendants(display_, window_);
        return resources;
    }

private:
    Display* display_;
    Window window_;
};
} // namespace

namespace
{
Display* OpenDisplay(std::string& whyNot)
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
    {
        whyNot = "no X display (DISPLAY is not set)";
        return nullptr;
    }
    // Plug-ins with X11 editors may talk to the display from their own threads.
    static const bool threads = XInitThreads() != 0;
    static_cast<void>(threads);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        whyNot = std::string("cannot open the X display ") + name;
    return display;
}
} // namespace

bool EditorHost::Available(std::string& whyNot)
{
    Display* display = OpenDisplay(whyNot);
    if (display == nullptr)
        return false;
    XCloseDisplay(display);
    return true;
}

std::unique_ptr<EditorHost> EditorHost::Create(int width, int height, std::string& whyNot)
{
    Display* display = OpenDisplay(whyNot);
    if (display == nullptr)
        return nullptr;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "grovane-validate editor");
    XMapWindow(display, window);
    XSync(display, False);
    return std::make_unique<X11EditorHost>(display, window);
}
