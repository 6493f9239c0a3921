#pragma once
// The About box of the Help menu.
#include <windows.h>

extern const wchar_t ABOUT_TEXT[];
extern const wchar_t ABOUT_CAPTION[];

void ShowAboutBox(HWND owner);
