#pragma once
// The three-part status bar at the foot of the main window; its texts never change.
#include <windows.h>

extern const wchar_t* const STATUS_BAR_TEXTS[3];

void CreateStatusBar(HWND window, HINSTANCE instance);
void PlaceStatusBar(HWND window);
int GetStatusBarHeight();
void RefreshStatusBarFont();
HWND GetStatusBarHandle();
