#pragma once
// Shared by the driver's command files. Each file registers one handler that
// returns -1 for commands it does not know, else the driver's exit code.
#include <windows.h>

#include <string>

typedef int (*DriverCommandFn)(HWND mainWindow, int argc, char** argv);
int RegisterDriverCommands(DriverCommandFn handler);
#define DRIVER_COMMANDS(handler) static int handler##_registered = RegisterDriverCommands(handler)

HWND DriverMainWindow();
// SendMessageTimeout that waits up to DRIVER_ANSWER_MS even for a busy window;
// false (and the driver's exit code 3, with a line on stderr) when no answer came.
#define DRIVER_ANSWER_MS 60000
bool DriverSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
void PrintWide(const wchar_t* text);
void PrintWideLf(const std::wstring& text);  // any length, CR dropped so lines end in LF alone
void PrintWindowText(HWND window);  // WM_GETTEXT: reads other processes' controls too
HWND MessageBoxWindow();            // first visible #32770 dialog, or null
HWND DriverVisibleMenu();           // the open popup menu (#32768), or null
HWND DriverAwaitMenu(int ms);       // polls for one up to ms
