#pragma once
// grovane-host: the command-line VST2 host. RunHostTool takes the arguments after the
// program name, writes results to out and messages to err, and answers the exit status:
// 0 success, 1 failure (missing file, unloadable plug-in, malformed WAV...), 2 usage error.

#include <ostream>
#include <string>
#include <vector>

int RunHostTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
