#include "ui/status_bar.h"

#include <commctrl.h>

#include "app/ui_settings.h"
#include "ui/layout.h"
#include "ui/window_ids.h"

// The pin and page symbols lie outside the BMP and are surrogate pairs.
const wchar_t* const STATUS_BAR_TEXTS[3] = {
    L"\u26A1 查词汇 · 查词组 · 查出处",
    L"\U0001F4CC 2021-2025年省政府报告",
    L"\U0001F4C3 300万字政府工作报告",
};

static const int STATUS_FALLBACK_HEIGHT = 22;

static HWND g_statusBar;
static HFONT g_statusFont;

static void SetParts(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    int edges[3];
    ComputeStatusParts(client.right - client.left, edges);
    SendMessageW(g_statusBar, SB_SETPARTS, 3, (LPARAM)edges);
}

static void ReplaceFont() {
    HFONT old = g_statusFont;
    g_statusFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    SendMessageW(g_statusBar, WM_SETFONT, (WPARAM)g_statusFont, TRUE);
    if (old) DeleteObject(old);
}

void CreateStatusBar(HWND window, HINSTANCE instance) {
    g_statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                  window, (HMENU)(INT_PTR)IDC_STATUS_BAR, instance, nullptr);
    if (!g_statusBar) return;
    ReplaceFont();
    SetParts(window);
    for (int part = 0; part < 3; ++part) SendMessageW(g_statusBar, SB_SETTEXTW, part, (LPARAM)STATUS_BAR_TEXTS[part]);
}

void PlaceStatusBar(HWND window) {
    if (!g_statusBar) return;
    SendMessageW(g_statusBar, WM_SIZE, 0, 0);  // docks itself to the parent's foot
    SetParts(window);
}

int GetStatusBarHeight() {
    RECT r;
    if (!g_statusBar || !GetWindowRect(g_statusBar, &r)) return ScaleForDpi(STATUS_FALLBACK_HEIGHT);
    return r.bottom - r.top;
}

void RefreshStatusBarFont() {
    if (g_statusBar) ReplaceFont();
}

HWND GetStatusBarHandle() { return g_statusBar; }
