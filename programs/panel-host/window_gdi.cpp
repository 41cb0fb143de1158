// window_gdi.cpp - the window of panel-host's window mode on Windows, with
// USER32 and GDI (window.h). It shows the picture window.cpp draws and
// reports the person's clicks and keys.
//
// Needs: USER32 and GDI32 as Windows 98 has them (ANSI calls). Provides:
//   [x] a window whose inside is the picture's size, drawn with
//       SetDIBitsToDevice, and again whenever Windows asks
//   [x] left button press (the pointer captured while held), release and
//       motion; B for the brake; the arrows (or keypad 1 and 3) held to
//       turn; Esc and closing the window to quit
//   [x] waiting for input or a moment without using the processor
//   [x] a one-line reason when no window opens
#include <windows.h>

#include <deque>

#include "programs/panel-host/window.h"

namespace {

HWND window = nullptr;
std::deque<WindowInput> inputs;
Image shown;

void Paint(HDC dc) {
    if (shown.w == 0) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shown.w;
    info.bmiHeader.biHeight = -shown.h;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;       // 0x00RRGGBB is a 32-bit DIB's own order
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, DWORD(shown.w), DWORD(shown.h), 0, 0, 0, UINT(shown.h), shown.px.data(), &info,
                      DIB_RGB_COLORS);
}

// The slew rotation keys: the arrows, or 1 and 3 on the keypad; -1 turns
// the nose left.
int32_t TurnSide(WPARAM key) {
    if (key == VK_LEFT || key == VK_NUMPAD1) return -1;
    if (key == VK_RIGHT || key == VK_NUMPAD3) return 1;
    return 0;
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const int32_t x = int16_t(LOWORD(lparam)), y = int16_t(HIWORD(lparam));
    switch (message) {
        case WM_CLOSE:
            inputs.push_back({kInputQuit, 0, 0});
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_ESCAPE) inputs.push_back({kInputQuit, 0, 0});
            // Bit 30: the key was already down, a repeat of the keyboard's own.
            if (wparam == 'B' && (lparam & (1L << 30)) == 0) inputs.push_back({kInputBrakeKey, 0, 0});
            if (TurnSide(wparam) != 0 && (lparam & (1L << 30)) == 0) inputs.push_back({kInputTurn, TurnSide(wparam), 0});
            return 0;
        case WM_KEYUP:
            if (TurnSide(wparam) != 0) inputs.push_back({kInputTurn, 0, 0});
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            inputs.push_back({kInputPress, x, y});
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            inputs.push_back({kInputRelease, x, y});
            return 0;
        case WM_MOUSEMOVE:
            inputs.push_back({kInputMove, x, y});
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            Paint(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

}  // namespace

bool WindowOpen(const char* title, int32_t w, int32_t h, bool, std::string* problem) {
    WNDCLASSA c = {};
    c.lpfnWndProc = Procedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));   // the arrow
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    c.lpszClassName = "VORNAK_TOWS panel-host";
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT r = {0, 0, w, h};
    AdjustWindowRect(&r, style, FALSE);
    if (RegisterClassA(&c) != 0)
        window = CreateWindowA(c.lpszClassName, title, style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, c.hInstance, nullptr);
    if (window == nullptr) {
        *problem = "cannot open a window (no display here? error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    return true;
}

bool WindowNextInput(WindowInput* input) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (inputs.empty()) return false;
    *input = inputs.front();
    inputs.pop_front();
    return true;
}

void WindowWait(double seconds) {
    if (!inputs.empty()) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(seconds * 1000.0) + 1, QS_ALLINPUT);
}

void WindowShow(const Image& screen) {
    shown = screen;
    HDC dc = GetDC(window);
    Paint(dc);
    ReleaseDC(window, dc);
}

void WindowClose() {
    DestroyWindow(window);
    window = nullptr;
}
