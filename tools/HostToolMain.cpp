// grovane-host: loads a VST2 plug-in and drives it as a host does (see HostTool.h).
#include "tools/HostTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunHostTool(args, std::cout, std::cerr);
}
