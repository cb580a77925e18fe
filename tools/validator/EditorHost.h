#pragma once
// A real window that a plug-in's editor can open into, and the counts that tell whether
// the editor left anything behind. Windows: a top-level window of this program; X11: a
// window on the display named by DISPLAY. [the thread that created it]

#include <memory>
#include <string>

struct UiResources
{
    int childWindows = 0; // windows inside the parent (all depths)
    int ownWindows = -1;  // top-level windows of this process other than the parent (-1: unknown)
    int gdiObjects = -1;  // GDI objects of the process (-1: unknown)
    int userObjects = -1; // USER objects of the process (-1: unknown)
};

class EditorHost
{
public:
    // Answers none with the reason in whyNot when no window can be made here.
    static std::unique_ptr<EditorHost> Create(int width, int height, std::string& whyNot);
    // Whether this program can show windows here at all (Linux: an X display answers).
    // Plug-ins build their editor as early as effEditGetRect, which a host without a
    // window system never sends.
    static bool Available(std::string& whyNot);
    virtual ~EditorHost() = default;

    // What effEditOpen receives: the HWND, or the X11 window id.
    virtual void* ParentHandle() = 0;
    // The size of the area the editor gets, in pixels.
    virtual void Resize(int width, int height) = 0;
    // Dispatches window messages or events for about milliseconds.
    virtual void Pump(int milliseconds) = 0;
    virtual UiResources Resources() = 0;
    // A left-button drag from (x0, y0) to (x1, y1), in pixels of the parent, sent to the
    // window under the start point as a user's would arrive. False where this host cannot
    // send input (X11) or no window of the editor lies there.
    virtual bool Drag(int x0, int y0, int x1, int y1)
    {
        static_cast<void>(x0 + y0 + x1 + y1);
        return false;
    }
};
