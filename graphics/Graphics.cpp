#include "graphics/Graphics.h"

#include "core/PluginBase.h"
#include "raster/RasterBitmap.h"

#include <cmath>

Graphics::Graphics(PluginBase* plug, int width, int height, int frameRate)
    : plug(plug), width(width), height(height), frameRate(frameRate)
{
}

Graphics::~Graphics()
{
    controls.DeleteAll();
    delete surface;
}

Control* Graphics::AddControl(Control* control)
{
    if (!control)
        return nullptr;
    if (!controls.Add(control))
    {
        delete control;
        return nullptr;
    }
    return control;
}

void Graphics::PrepareSurfaces()
{
    delete surface;
    surface = CreateSurfaceBitmap(width, height);
}

void Graphics::SetControlsFromParam(int paramIndex, double value, bool isNormalized)
{
    if (!isNormalized)
    {
        const PluginParam* param = plug ? plug->ParamAt(paramIndex) : nullptr;
        if (!param)
            return;
        value = param->NormalizeValue(value);
    }
    for (int i = 0; i < controls.Count(); ++i)
    {
        Control* control = controls.Get(i);
        if (control->ParamIndex() == paramIndex)
            control->SetValueFromHost(value);
    }
}

bool Graphics::GatherDirty(Bounds& bounds) const
{
    bool any = false;
    for (int i = 0; i < controls.Count(); ++i)
    {
        const Control* control = controls.Get(i);
        if (control->NeedsRedraw())
        {
            bounds = Union(bounds, control->GetBounds());
            any = true;
        }
    }
    return any;
}
