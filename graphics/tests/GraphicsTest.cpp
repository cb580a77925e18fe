#include "graphics/Graphics.h"
#include "raster/RasterBitmap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

// A control that counts its draws.
class ProbeControl : public Control
{
public:
    using Control::Control;
    bool Render(Graphics&) override
    {
        ++renders;
        return true;
    }
    int renders = 0;
};

// The graphics core with no window behind it.
class WindowlessGraphics : public Graphics
{
public:
    using Graphics::Graphics;
    void* AttachToParent(void*) override { return nullptr; }
    void DetachWindow() override {}
};

} // namespace

TEST(Graphics, SetControlsFromParamMovesOnlyBoundControls)
{
    WindowlessGraphics g(nullptr, 224, 434, 25);
    auto* a = static_cast<ProbeControl*>(g.AddControl(new ProbeControl(nullptr, {0, 0, 10, 10}, 1)));
    auto* b = static_cast<ProbeControl*>(g.AddControl(new ProbeControl(nullptr, {0, 0, 10, 10}, 2)));
    g.SetControlsFromParam(1, 0.25, true);
    EXPECT_DOUBLE_EQ(a->Value(), 0.25);
    EXPECT_DOUBLE_EQ(a->DefaultValue(), 0.25); // the first host value becomes the default
    EXPECT_DOUBLE_EQ(b->Value(), 0.0);
    g.SetControlsFromParam(1, 0.5, true);
    EXPECT_DOUBLE_EQ(a->Value(), 0.5);
    EXPECT_DOUBLE_EQ(a->DefaultValue(), 0.25);
}

TEST(Graphics, DirtyControlsStayDirtyOneMoreRedrawAfterAHostChange)
{
    WindowlessGraphics g(nullptr, 100, 100, 25);
    Control* c = g.AddControl(new ProbeControl(nullptr, {10, 10, 20, 20}, 0));
    g.AddControl(new ProbeControl(nullptr, {50, 5, 60, 15}, -1));
    c->SetValueFromHost(0.2); // the first host value: the control's default
    Bounds dirty;
    ASSERT_TRUE(g.GatherDirty(dirty)); // new controls start dirty
    EXPECT_EQ(dirty, (Bounds{10, 5, 60, 20}));
    for (int i = 0; i < g.ControlCount(); ++i)
        g.ControlAt(i)->MarkClean();
    Bounds none;
    EXPECT_FALSE(g.GatherDirty(none));

    c->SetValueFromHost(0.7);
    c->MarkClean();
    EXPECT_TRUE(c->NeedsRedraw()); // redrawAgain
    c->MarkClean();
    EXPECT_FALSE(c->NeedsRedraw());
}

TEST(Graphics, MarkDirtyClampsButKeepsNaN)
{
    WindowlessGraphics g(nullptr, 100, 100, 25);
    Control* c = g.AddControl(new ProbeControl(nullptr, {0, 0, 1, 1}, -1));
    c->SetValueFromHost(0.5); // the first value only becomes the default
    c->SetValueFromHost(1.5);
    EXPECT_DOUBLE_EQ(c->Value(), 1.0);
    c->SetValueFromHost(-0.5);
    EXPECT_DOUBLE_EQ(c->Value(), 0.0);
    c->SetValueFromHost(std::nan(""));
    EXPECT_TRUE(std::isnan(c->Value()));
}

TEST(Graphics, GrayedControlsDrawAtAQuarterAndHiddenOnesAreNotHit)
{
    WindowlessGraphics g(nullptr, 100, 100, 25);
    Control* c = g.AddControl(new ProbeControl(nullptr, {10, 10, 20, 20}, -1));
    EXPECT_TRUE(c->HitTest(10, 10));
    EXPECT_FALSE(c->HitTest(20, 10));
    c->SetGrayed(true);
    EXPECT_FLOAT_EQ(c->GetBlend().weight, 0.25f);
    c->SetGrayed(false);
    EXPECT_FLOAT_EQ(c->GetBlend().weight, 1.0f);
}

TEST(Graphics, PrepareSurfacesMakesAnEditorSizedSurface)
{
    WindowlessGraphics g(nullptr, 224, 434, 25);
    EXPECT_EQ(g.Surface(), nullptr);
    g.PrepareSurfaces();
    ASSERT_NE(g.Surface(), nullptr);
    EXPECT_EQ(g.Surface()->Width(), 224);
    EXPECT_EQ(g.Surface()->Height(), 434);
    EXPECT_NE(g.Surface()->PixelData(), nullptr);
    EXPECT_EQ(g.Surface()->RowStride(), 224);
}
