#pragma once
// Main window procedure, menu bar and menu command handling.
#include <windows.h>

extern const int REPORT_YEARS[5];

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HMENU BuildMenuBar();
int HandleMenuCommand(HWND window, int commandId);
void UpdateFontMenuChecks(HWND window);
void UpdateCloseToTrayCheck(HWND window);
void RefreshUiFonts(HWND window);
// The main window's keyboard shortcuts; 1 when msg became a command.
int TranslateMainWindowKeys(HWND window, MSG* msg);
// Report name for index 0 to 31, the empty string otherwise.
const wchar_t* GetReportName(int index);
