#include "graphics/Control.h"

#include "core/PluginBase.h"

#include <cmath>

Control::Control(PluginBase* plug, const Bounds& bounds, int paramIndex, Blend blend)
    : plug(plug), bounds(bounds), hitBounds(bounds), paramIndex(paramIndex), blend(blend)
{
}

Control::~Control() = default;

void Control::SetValueFromHost(double normalized)
{
    // The first value from the plug-in side (its default, for a fresh plug-in) becomes the
    // double-click value.
    if (defaultValue < 0.0)
        value = defaultValue = normalized;
    if (normalized != value || std::isnan(normalized) || std::isnan(value))
    {
        value = normalized;
        MarkDirty(false);
        redrawAgain = true;
    }
}

void Control::SetHidden(bool hide)
{
    hidden = hide;
    redrawAgain = true;
    MarkDirty(false);
}

void Control::SetGrayed(bool gray)
{
    grayed = gray;
    blend.weight = gray ? 0.25f : 1.0f;
    MarkDirty(false);
}

bool Control::HitTest(int x, int y) const
{
    if (hitBounds.Empty())
        return false;
    return hitBounds.left <= x && x < hitBounds.right && hitBounds.top <= y && y < hitBounds.bottom;
}

void Control::MarkDirty(bool pushToPlug)
{
    // A NaN value stays NaN: neither comparison holds.
    if (clampLow > value)
        value = clampLow;
    else if (value > clampHigh)
        value = clampHigh;
    dirty = true;
    if (pushToPlug && plug && paramIndex >= 0)
        plug->SetParameterFromGUI(paramIndex, value);
}

void Control::MarkClean()
{
    dirty = redrawAgain;
    redrawAgain = false;
}
