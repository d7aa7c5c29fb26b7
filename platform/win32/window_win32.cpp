// The show window over Win32 and WGL: the "kqx" window class with its own
// device context, a display mode switch through ChangeDisplaySettingsA, and
// the five window messages the shell handles, translated for its procedure.
#include <windows.h>

#include "platform/window.h"
#include "platform/win32/window_handle.h"

struct PlatformWindow {
    HWND handle;
    WindowProcedure procedure;
};

namespace {

const char kClassName[] = "kqx";
PlatformWindow* g_creating = nullptr;  // the window whose WM_CREATE is under way

int32_t deliver(PlatformWindow* window, WindowEvent event, int32_t value) {
    WindowMessage message = {event, value};
    return window->procedure(window, message);
}

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    PlatformWindow* window = reinterpret_cast<PlatformWindow*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
    if (message == WM_CREATE && g_creating) {
        window = g_creating;
        window->handle = handle;
        SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    if (!window) return DefWindowProcA(handle, message, wParam, lParam);
    switch (message) {
        case WM_CREATE: return deliver(window, WindowEvent::Created, 0);
        case WM_DESTROY: return deliver(window, WindowEvent::Destroyed, 0);
        case WM_SIZE: return deliver(window, WindowEvent::Resized, 0);
        case WM_ACTIVATE: return deliver(window, WindowEvent::Activated, wParam != 0 ? 1 : 0);
        case WM_ERASEBKGND: return deliver(window, WindowEvent::EraseBackground, 0);
        default: return DefWindowProcA(handle, message, wParam, lParam);
    }
}

void registerClass() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;  // 48 bytes on 32-bit Windows
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hIconSm = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);  // the result is not needed: creation tells
}

}  // namespace

bool platformChangeDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bitsPerPixel);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void platformRestoreDisplayMode() { ChangeDisplaySettingsA(nullptr, 0); }

void platformShowCursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

PlatformWindow* platformCreateWindow(const char* title, int32_t x, int32_t y, int32_t width,
                                     int32_t height, WindowProcedure procedure) {
    registerClass();
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_POPUP, FALSE, WS_EX_APPWINDOW);
    PlatformWindow* window = new PlatformWindow{nullptr, procedure};
    g_creating = window;
    HWND handle = CreateWindowExA(WS_EX_APPWINDOW, kClassName, title, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  x, y, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    g_creating = nullptr;
    if (!handle) {
        delete window;
        return nullptr;
    }
    return window;
}

void platformShowWindow(PlatformWindow* window, int32_t showCommand) {
    ShowWindow(window->handle, showCommand);
    UpdateWindow(window->handle);
}

void platformClientSize(PlatformWindow* window, int32_t* width, int32_t* height) {
    RECT rect = {};
    GetClientRect(window->handle, &rect);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

void platformChoosePixelFormat(PlatformWindow* window, const PixelFormatRequest& format) {
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (format.doubleBuffer ? PFD_DOUBLEBUFFER : 0);
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = static_cast<BYTE>(format.colorBits);
    descriptor.cDepthBits = static_cast<BYTE>(format.depthBits);
    descriptor.iLayerType = PFD_MAIN_PLANE;
    HDC dc = GetDC(window->handle);
    int index = ChoosePixelFormat(dc, &descriptor);
    SetPixelFormat(dc, index, &descriptor);
    ReleaseDC(window->handle, dc);
}

PlatformGlContext* platformCreateGlContext(PlatformWindow* window) {
    HDC dc = GetDC(window->handle);
    HGLRC context = wglCreateContext(dc);
    ReleaseDC(window->handle, dc);
    return reinterpret_cast<PlatformGlContext*>(context);
}

bool platformMakeCurrent(PlatformWindow* window, PlatformGlContext* context) {
    if (!window || !context) return wglMakeCurrent(nullptr, nullptr) != FALSE;
    // The class owns its device context: the one made current here is the one
    // every later GetDC returns.
    HDC dc = GetDC(window->handle);
    BOOL made = wglMakeCurrent(dc, reinterpret_cast<HGLRC>(context));
    ReleaseDC(window->handle, dc);
    return made != FALSE;
}

void platformDeleteGlContext(PlatformGlContext* context) {
    if (context) wglDeleteContext(reinterpret_cast<HGLRC>(context));
}

void platformSwapBuffers(PlatformWindow* window) {
    HDC dc = GetDC(window->handle);
    SwapBuffers(dc);
    ReleaseDC(window->handle, dc);
}

bool platformPeekEvent() {
    MSG message;
    return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

bool platformDispatchEvent(int32_t* quitCode) {
    MSG message;
    if (GetMessageA(&message, nullptr, 0, 0) == 0) {
        *quitCode = static_cast<int32_t>(message.wParam);
        return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

void platformPostQuit(int32_t code) { PostQuitMessage(code); }

HWND win32WindowHandle(PlatformWindow* window) { return window ? window->handle : nullptr; }
