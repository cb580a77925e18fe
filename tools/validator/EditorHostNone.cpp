#include "tools/validator/EditorHost.h"

bool EditorHost::Available(std::string& whyNot)
{
    whyNot = "this build of the validator has no window system (built without X11)";
    return false;
}

std::unique_ptr<EditorHost> EditorHost::Create(int, int, std::string& whyNot)
{
    Available(whyNot);
    return nullptr;
}
