// The operations of PluginBase that reach into the editor. They live apart so that the
// rest of the core builds without the graphics core.
#include "core/PluginBase.h"

#include "graphics/Graphics.h"

void PluginBase::AttachEditor(Graphics* graphics)
{
    if (!graphics)
        return;
    PlugLockGuard lock(mutex_);
    for (int i = 0; i < ParamCount(); ++i)
        graphics->SetControlsFromParam(i, ParamAt(i)->AsNormalized(), true);
    graphics->PrepareSurfaces();
    // Attaching a second editor must not leak the first.
    if (editor_ != graphics)
        delete editor_;
    editor_ = graphics;
}

void PluginBase::RefreshEditorParams()
{
    if (!editor_)
        return;
    for (int i = 0; i < ParamCount(); ++i)
        editor_->SetControlsFromParam(i, ParamAt(i)->Value(), false);
}

void PluginBase::DeleteEditor()
{
    delete editor_;
    editor_ = nullptr;
}
