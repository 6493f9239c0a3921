#pragma once
// Main window procedure, menu bar and menu command handling.
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HMENU BuildMenuBar();
int HandleMenuCommand(HWND window, int commandId);
