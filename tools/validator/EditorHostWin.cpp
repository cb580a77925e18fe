#include "tools/validator/EditorHost.h"

#include <windows.h>

namespace
{
const wchar_t kClassName[] = L"GrovaneValidateEditorHost";

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

struct OwnWindows
{
    DWORD process;
    HWND except;
    int count;
};

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM context)
{
    auto* own = reinterpret_cast<OwnWindows*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == own->process && window != own->except)
        ++own->count;
    return TRUE;
}

class WinEditorHost : public EditorHost
{
public:
    explicit WinEditorHost(HWND window) : window_(window) {}
    ~WinEditorHost() override
    {
        DestroyWindow(window_);
        Pump(10);
    }
    void* ParentHandle() override { return window_; }
    void Resize(int width, int height) override
    {
        RECT frame{0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void Pump(int milliseconds) override
    {
        const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
        do
        {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (milliseconds > 0)
                Sleep(1);
        } while (static_cast<LONG>(end - GetTickCount()) > 0);
    }
    UiResources Resources() override
    {
        UiResources resources;
        EnumChildWindows(window_, CountWindow, reinterpret_cast<LPARAM>(&resources.childWindows));
        OwnWindows own{GetCurrentProcessId(), window_, 0};
        EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&own));
        resources.ownWindows = own.count;
        // This window alone is a USER object: a count of 0 means the system keeps none (Wine).
        const int gdi = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        const int user = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
        resources.gdiObjects = user > 0 ? gdi : -1;
        resources.userObjects = user > 0 ? user : -1;
        return resources;
    }

    bool Drag(int x0, int y0, int x1, int y1) override
    {
        // The deepest visible window under the start point.
        HWND target = window_;
        POINT at{x0, y0};
        for (;;)
        {
            HWND child = ChildWindowFromPointEx(target, at, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
            if (child == nullptr || child == target)
                break;
            MapWindowPoints(target, child, &at, 1);
            target = child;
        }
        if (target == window_)
            return false;
        POINT start{x0, y0};
        POINT end{x1, y1};
        MapWindowPoints(window_, target, &start, 1);
        MapWindowPoints(window_, target, &end, 1);
        SendMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(start.x, start.y));
        SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        constexpr int kSteps = 8;
        for (int i = 1; i <= kSteps; ++i)
        {
            const int x = start.x + (end.x - start.x) * i / kSteps;
            const int y = start.y + (end.y - start.y) * i / kSteps;
            SendMessageW(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
        }
        SendMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(end.x, end.y));
        return true;
    }

private:
    HWND window_;
};
} // namespace

bool EditorHost::Available(std::string&)
{
    return true;
}

std::unique_ptr<EditorHost> EditorHost::Create(int width, int height, std::string& whyNot)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    if (!GetClassInfoW(instance, kClassName, &windowClass))
    {
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        if (RegisterClassW(&windowClass) == 0)
        {
            whyNot = "cannot register a window class (error " + std::to_string(GetLastError()) + ")";
            return nullptr;
        }
    }
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowExW(0, kClassName, L"grovane-validate editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
    {
        whyNot = "cannot create a window (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return std::make_unique<WinEditorHost>(window);
}
