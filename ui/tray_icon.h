#pragma once
// The notification-area icon of the main window and its two-item menu.
#include <windows.h>

void AddTrayIcon(HWND window, HINSTANCE instance);
void RemoveTrayIcon();
// MSG_TRAY_NOTIFY: lParam is the mouse message that happened on the icon.
void OnTrayNotify(HWND window, LPARAM lParam);
void ShowFromTray(HWND window);
