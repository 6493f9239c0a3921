#pragma once
// The one-line search box; every change of its text runs a new search.
#include <windows.h>

void CreateSearchBox(HWND parent, HINSTANCE instance);
int OnSearchBoxCommand(WPARAM wParam);
void RunSearch();
void RefreshSearchBoxFont();
HWND GetSearchBoxHandle();

// Pure: drops leading/trailing U+0020 and folds inner runs to one space.
void NormalizeSearchText(const wchar_t* in, wchar_t* out, int capacity);
