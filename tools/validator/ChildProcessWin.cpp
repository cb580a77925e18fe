#include "tools/validator/CheckSupport.h"
#include "tools/validator/ChildProcess.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace
{
std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// One argument quoted as the C runtime's command-line parser reads it back.
std::wstring Quote(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    int backslashes = 0;
    for (wchar_t c : arg)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        out.append(static_cast<std::size_t>(c == L'"' ? 2 * backslashes + 1 : backslashes), L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(static_cast<std::size_t>(2 * backslashes), L'\\');
    return out + L"\"";
}

const char* ExceptionName(DWORD code)
{
    switch (code)
    {
    case EXCEPTION_ACCESS_VIOLATION:
        return "access violation";
    case EXCEPTION_STACK_OVERFLOW:
        return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return "integer division by zero";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
        return "floating-point exception";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        return "array bounds exceeded";
    case 0xC0000409:
        return "stack buffer overrun";
    case 0xC0000374:
        return "heap corruption";
    default:
        return nullptr;
    }
}

constexpr int kStartAttempts = 5;

// Creates the pipe for the child's standard output and the child itself. On success
// readEnd is our end of the pipe; on failure error is GetLastError() and readEnd is
// null when the pipe could not be made, otherwise still open for the caller to close.
bool StartChild(std::wstring& commandLine, HANDLE& readEnd, PROCESS_INFORMATION& process, DWORD& error)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    readEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    {
        error = GetLastError();
        readEnd = nullptr;
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    if (!created)
        error = GetLastError();
    CloseHandle(writeEnd);
    return created != FALSE;
}
} // namespace

ChildOutcome RunSelf(const std::vector<std::string>& args, double timeoutSeconds)
{
    ChildOutcome outcome;
    wchar_t self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    if (length == 0 || length >= std::size(self))
        return outcome;
    std::wstring commandLine = Quote(self);
    for (const std::string& arg : args)
        commandLine += L" " + Quote(Widen(arg));

    // Process creation under a busy Wine server occasionally fails for a moment (seen on
    // a freshly started prefix); a few spaced attempts tell that apart from a real fault.
    HANDLE readEnd = nullptr;
    PROCESS_INFORMATION process{};
    for (int attempt = 1;; ++attempt)
    {
        DWORD error = 0;
        if (StartChild(commandLine, readEnd, process, error))
            break;
        if (attempt == kStartAttempts)
        {
            char text[96];
            std::snprintf(text, sizeof text, "%s failed %d times, last error %lu",
                          readEnd == nullptr ? "CreatePipe" : "CreateProcess", attempt,
                          static_cast<unsigned long>(error));
            outcome.startError = text;
            if (readEnd != nullptr)
                CloseHandle(readEnd);
            return outcome;
        }
        if (readEnd != nullptr)
            CloseHandle(readEnd);
        readEnd = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(250 * attempt));
    }
    outcome.started = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;)
    {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr))
            break; // the child has closed its end
        if (available > 0)
        {
            char buffer[4096];
            DWORD n = 0;
            if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr) || n == 0)
                break;
            outcome.output.append(buffer, n);
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline)
        {
            outcome.timedOut = true;
            TerminateProcess(process.hProcess, 1);
            break;
        }
        WaitForSingleObject(process.hProcess, 20);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(readEnd);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (outcome.timedOut)
        return outcome;
    // Exit codes of the form 0xCxxxxxxx are exception codes: the child died of one.
    if ((code & 0xF0000000u) == 0xC0000000u)
    {
        outcome.crashed = true;
        char text[96];
        const char* name = ExceptionName(code);
        std::snprintf(text, sizeof text, name != nullptr ? "exception 0x%08lX (%s)" : "exception 0x%08lX%s",
                      static_cast<unsigned long>(code), name != nullptr ? name : "");
        outcome.crash = text;
    }
    else
    {
        outcome.exitCode = static_cast<int>(code);
    }
    return outcome;
}

namespace
{
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    char text[320];
    const int n = std::snprintf(text, sizeof text, "\n@@crash %s\n", CurrentStep());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(n > 0 ? n : 0), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}
} // namespace

void InstallCrashReporter()
{
    // No error boxes: a crash ends the child with its exception code.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
}
