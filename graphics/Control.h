#pragma once
// Control: one element of the editor. It owns a rectangle, may be bound to a plug-in
// parameter through a normalized value in [clampLow, clampHigh], draws itself into the
// editor surface and is told when the parameter moves.
//
// Threads: drawing and mouse handling run on the editor thread; SetValueFromHost is also
// called from whatever host thread changes a parameter (with the plug-in's instance lock
// held) and only stores the value and sets the dirty flags, which the editor's timer
// reads later.

#include "graphics/Blend.h"
#include "graphics/Bounds.h"

class Graphics;
class PluginBase;

class Control
{
public:
    // plug is borrowed; paramIndex is -1 for a control bound to no parameter.
    Control(PluginBase* plug, const Bounds& bounds, int paramIndex = -1, Blend blend = {});
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Draws the control into graphics' surface; answers whether it drew.
    virtual bool Render(Graphics& graphics) = 0;
    // A parameter value arrived from the plug-in side (normalized).
    virtual void SetValueFromHost(double normalized);
    virtual void SetHidden(bool hidden);
    virtual void SetGrayed(bool grayed);
    virtual bool HitTest(int x, int y) const;
    // Limits the value, marks the control for redraw and, when asked and bound, hands the
    // value to the plug-in as an edit from the editor.
    virtual void MarkDirty(bool pushToPlug);
    virtual void MarkClean();
    virtual bool NeedsRedraw() const { return dirty; }

    PluginBase* Plug() const { return plug; }
    const Bounds& GetBounds() const { return bounds; }
    int ParamIndex() const { return paramIndex; }
    double Value() const { return value; }
    double DefaultValue() const { return defaultValue; }
    bool IsHidden() const { return hidden; }
    bool IsGrayed() const { return grayed; }
    const Blend& GetBlend() const { return blend; }

protected:
    PluginBase* plug;
    Bounds bounds;
    Bounds hitBounds;
    int paramIndex;
    double value = 0.0;
    // Value restored by a double click; negative until the first host value arrives.
    double defaultValue = -1.0;
    double clampLow = 0.0;
    double clampHigh = 1.0;
    bool dirty = true;
    bool hidden = false;
    bool grayed = false;
    // Keeps the control dirty for one more redraw after the next one.
    bool redrawAgain = false;
    Blend blend;
};
