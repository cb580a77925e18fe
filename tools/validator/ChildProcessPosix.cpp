#include "tools/validator/CheckSupport.h"
#include "tools/validator/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

ChildOutcome RunSelf(const std::vector<std::string>& args, double timeoutSeconds)
{
    ChildOutcome outcome;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
    {
        outcome.startError = std::string("pipe: ") + std::strerror(errno);
        return outcome;
    }
    std::vector<std::string> argv{"/proc/self/exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
    {
        outcome.startError = std::string("fork: ") + std::strerror(errno);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return outcome;
    }
    if (pid == 0)
    {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv("/proc/self/exe", pointers.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    outcome.started = true;
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    bool open = true;
    while (open)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            outcome.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd watch{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0)
            outcome.output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            open = false;
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    if (outcome.timedOut)
        return outcome;
    if (WIFSIGNALED(status))
    {
        outcome.crashed = true;
        const int signal = WTERMSIG(status);
        const char* name = sigabbrev_np(signal);
        outcome.crash = name != nullptr ? std::string("SIG") + name : "signal " + std::to_string(signal);
    }
    else if (WIFEXITED(status))
    {
        outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
}

// In sanitizer builds the sanitizer keeps the fatal signals for its own report and calls
// this on its way out; elsewhere the symbol is absent.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace
{
void WriteStep()
{
    static const char prefix[] = "\n@@crash ";
    const char* step = CurrentStep();
    [[maybe_unused]] ssize_t ignored = write(STDOUT_FILENO, prefix, sizeof prefix - 1);
    ignored = write(STDOUT_FILENO, step, strnlen(step, 255));
    ignored = write(STDOUT_FILENO, "\n", 1);
}

void ReportCrash(int signal)
{
    // Only async-signal-safe calls: write the step, then die of the same signal.
    WriteStep();
    std::signal(signal, SIG_DFL);
    raise(signal);
}
} // namespace

void InstallCrashReporter()
{
    if (__sanitizer_set_death_callback != nullptr)
        __sanitizer_set_death_callback(WriteStep);
    // On an alternate stack, so that a stack overflow in the plug-in is reported too.
    static char alternate[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternate;
    stack.ss_size = sizeof alternate;
    sigaltstack(&stack, nullptr);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
    {
        struct sigaction action
        {
        };
        action.sa_handler = ReportCrash;
        action.sa_flags = SA_ONSTACK | SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}
