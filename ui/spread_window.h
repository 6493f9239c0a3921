#pragma once
// 出处分布: a window of its own, owned by the main window, showing over which
// report years and regions the paragraphs holding a wording spread.
#include <windows.h>

// The command: opens the window for the current wording, or refreshes the open
// one; with nothing to look at, a box says so.
void ShowSourceSpread(HWND mainWindow);
// Step of the main window's font refresh: the window's own font for the new level.
void RefreshSpreadWindowFont();
HWND GetSpreadWindowHandle();
