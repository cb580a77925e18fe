#pragma once
// Graphics: the platform-neutral core of the editor. It owns the editor's controls (list
// order is drawing order, index 0 the background) and its drawing surface, and keeps the
// controls in step with the plug-in's parameters. The window itself is the business of a
// platform class derived from it.
//
// Threads: everything runs on the editor thread, except SetControlsFromParam, which the
// plug-in also calls from host threads with its instance lock held; it only stores values
// on controls. The control list itself is not locked.

#include "core/PtrList.h"
#include "graphics/Bounds.h"
#include "graphics/Control.h"

class PluginBase;
class RasterBitmap;

class Graphics
{
public:
    // plug is borrowed; width and height in pixels; frameRate in redraws per second.
    Graphics(PluginBase* plug, int width, int height, int frameRate);
    // Destroys every control, last first, and the surface.
    virtual ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    // Appends a control, taking ownership; answers it, or none (and deletes it) when the
    // list cannot grow. Its index is its list position.
    Control* AddControl(Control* control);
    Control* ControlAt(int index) const { return controls.Get(index); }
    int ControlCount() const { return controls.Count(); }

    // Creates the drawing surface at the editor's size.
    void PrepareSurfaces();
    // The drawing surface, or none before PrepareSurfaces.
    RasterBitmap* Surface() const { return surface; }

    // Moves every control bound to paramIndex to value; a plain value is first clamped to
    // the parameter's range and mapped through its curve.
    void SetControlsFromParam(int paramIndex, double value, bool isNormalized);

    // Unions the bounds of every control that needs a redraw into bounds; answers whether
    // any did. The caller passes an empty rectangle.
    bool GatherDirty(Bounds& bounds) const;

    // Opens the editor as a child of the host's window (a native window handle); answers
    // the editor's window, or none when it could not be created. [editor thread]
    virtual void* AttachToParent(void* parentWindow) = 0;
    // Destroys the editor's window; the controls and the surface stay. [editor thread]
    virtual void DetachWindow() = 0;

    PluginBase* Plug() const { return plug; }
    int EditorWidth() const { return width; }
    int EditorHeight() const { return height; }
    int FrameRate() const { return frameRate; }

private:
    PluginBase* plug;
    OwnedPtrList<Control> controls;
    Bounds drawBounds;
    RasterBitmap* surface = nullptr;
    int width;
    int height;
    int frameRate;
};

// The surface bitmap of this platform: a device bitmap GDI can draw into on Windows, a
// heap bitmap elsewhere (where no window shows it). Owned by the caller.
RasterBitmap* CreateSurfaceBitmap(int width, int height);
