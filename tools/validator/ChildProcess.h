#pragma once
// Runs this program again as a child process with other arguments, collecting what it
// prints, so that a check whose plug-in crashes or hangs ends only the child. Also the
// child's side: a crash handler that prints the step the check had reached.

#include <string>
#include <vector>

struct ChildOutcome
{
    bool started = false;
    bool timedOut = false;
    bool crashed = false;   // ended by a signal (POSIX) or an unhandled exception (Windows)
    int exitCode = 0;       // when neither timed out nor crashed
    std::string crash;      // "SIGSEGV", "exception 0xC0000005 (access violation)"
    std::string output;     // everything the child wrote to its standard output
    std::string startError; // why it did not start, when !started
};

// Runs this executable with args; kills it after timeoutSeconds. [main thread]
ChildOutcome RunSelf(const std::vector<std::string>& args, double timeoutSeconds);

// In a child: on a crash, writes "@@crash <CurrentStep()>" to standard output and ends
// the process as the crash would (POSIX: the same signal; Windows: the exception code).
void InstallCrashReporter();
