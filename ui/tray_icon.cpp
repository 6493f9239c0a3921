#include "ui/tray_icon.h"

#include <shellapi.h>
#include <wchar.h>

#include "ui/window_ids.h"

static NOTIFYICONDATAW g_trayIcon;
static int g_trayIconAdded;

void AddTrayIcon(HWND window, HINSTANCE instance) {
    if (g_trayIconAdded) return;
    g_trayIcon = {};
    g_trayIcon.cbSize = sizeof g_trayIcon;
    g_trayIcon.hWnd = window;
    g_trayIcon.uID = TRAY_ICON_ID;
    g_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayIcon.uCallbackMessage = MSG_TRAY_NOTIFY;
    g_trayIcon.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wcsncpy(g_trayIcon.szTip, L"云杉阅报", ARRAYSIZE(g_trayIcon.szTip) - 1);
    Shell_NotifyIconW(NIM_ADD, &g_trayIcon);
    // A refusing shell is not asked again; removal still tries.
    g_trayIconAdded = 1;
}

void RemoveTrayIcon() {
    if (!g_trayIconAdded) return;
    Shell_NotifyIconW(NIM_DELETE, &g_trayIcon);
    g_trayIconAdded = 0;
}

void ShowFromTray(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

static void ShowTrayMenu(HWND window) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, IDM_TRAY_SHOW, L"显示窗口");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_TRAY_EXIT, L"退出");
    // Foreground first, and a null message after, or the menu does not close on a click elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void OnTrayNotify(HWND window, LPARAM lParam) {
    switch (lParam) {
    case WM_LBUTTONDBLCLK:
        ShowFromTray(window);
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu(window);
        break;
    default:
        break;
    }
}
