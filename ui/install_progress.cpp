#include "ui/install_progress.h"

#include <commctrl.h>

#include "app/ui_settings.h"

static const wchar_t kTitle[] = L"云杉阅报";
static const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;

static HWND g_window;
static HWND g_stage;
static HWND g_bar;
static HFONT g_font;
static int g_classRegistered;

static int Scale(int px, int dpi) { return MulDiv(px, dpi, 96); }

InstallProgressLayout LayoutInstallProgress(int dpi, int textHeight) {
    InstallProgressLayout layout = {};
    const int margin = Scale(INSTALL_PROGRESS_MARGIN, dpi);
    layout.clientWidth = Scale(INSTALL_PROGRESS_CLIENT_WIDTH, dpi);
    layout.stage = {margin, margin, layout.clientWidth - margin, margin + textHeight};
    const int barTop = layout.stage.bottom + Scale(INSTALL_PROGRESS_GAP, dpi);
    layout.bar = {margin, barTop, layout.clientWidth - margin, barTop + Scale(INSTALL_PROGRESS_BAR_HEIGHT, dpi)};
    layout.clientHeight = layout.bar.bottom + margin;
    return layout;
}

RECT CenterInWorkArea(const RECT& work, int width, int height) {
    int left = work.left + (work.right - work.left - width) / 2;
    int top = work.top + (work.bottom - work.top - height) / 2;
    // A work area smaller than the window keeps its caption reachable.
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
    return {left, top, left + width, top + height};
}

// The user cannot close it: the installation goes on whatever they press.
static LRESULT CALLBACK InstallProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

static int TextHeight(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    if (!dc) return ScaleForDpi(GetLevelFontSize()) * 3 / 2;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return metrics.tmHeight + metrics.tmExternalLeading;
}

static void PlaceWindow() {
    InstallProgressLayout layout = LayoutInstallProgress(GetUiDpi(), TextHeight(g_window, g_font));
    RECT outer = {0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT at = CenterInWorkArea(work, outer.right - outer.left, outer.bottom - outer.top);
    SetWindowPos(g_window, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    MoveWindow(g_stage, layout.stage.left, layout.stage.top, layout.stage.right - layout.stage.left,
               layout.stage.bottom - layout.stage.top, FALSE);
    MoveWindow(g_bar, layout.bar.left, layout.bar.top, layout.bar.right - layout.bar.left,
               layout.bar.bottom - layout.bar.top, FALSE);
}

static int OpenInstallProgress(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!g_classRegistered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = InstallProgressProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = INSTALL_PROGRESS_CLASS;
        if (!RegisterClassW(&wc)) return 0;
        g_classRegistered = 1;
    }
    g_window = CreateWindowExW(0, INSTALL_PROGRESS_CLASS, kTitle, kStyle, 0, 0, 0, 0, nullptr, nullptr, instance,
                               nullptr);
    if (!g_window) return 0;
    g_stage = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, 0, 0,
                              0, 0, g_window, (HMENU)(INT_PTR)IDC_INSTALL_STAGE, instance, nullptr);
    g_bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 0, 0, g_window,
                            (HMENU)(INT_PTR)IDC_INSTALL_BAR, instance, nullptr);
    g_font = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    if (g_stage && g_font) SendMessageW(g_stage, WM_SETFONT, (WPARAM)g_font, FALSE);
    if (g_bar) SendMessageW(g_bar, PBM_SETRANGE32, 0, 100);
    PlaceWindow();
    ShowWindow(g_window, SW_SHOWNORMAL);
    return 1;
}

// Between stages the installer gives the thread back for a moment: paint,
// let the window be dragged. A quit request is put back for the real loop.
static void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage((int)msg.wParam);
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void ReportInstallProgress(int percent, const wchar_t* text, void* context) {
    if (!g_window && !OpenInstallProgress(context ? (HINSTANCE)context : GetModuleHandleW(nullptr))) return;
    if (g_stage) SetWindowTextW(g_stage, text ? text : L"");
    if (g_bar) SendMessageW(g_bar, PBM_SETPOS, (WPARAM)(percent < 0 ? 0 : percent > 100 ? 100 : percent), 0);
    UpdateWindow(g_window);
    PumpMessages();
}

void CloseInstallProgress() {
    if (g_window) DestroyWindow(g_window);
    g_window = nullptr;
    g_stage = nullptr;
    g_bar = nullptr;
    if (g_font) DeleteObject(g_font);
    g_font = nullptr;
}

HWND InstallProgressWindow() { return g_window; }
