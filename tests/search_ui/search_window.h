#pragma once
// A real top-level window holding the real search controls, routed the way the
// main window routes them, for tests and the benchmark inside one process.
#include <windows.h>

#include <string>
#include <vector>

// Copies a plain corpus, keys it with the corpus passphrase and opens it.
bool OpenKeyedCorpus(const std::string& plainPath, const std::string& keyedPath);
// Path under the build tree as the Windows process sees it.
std::string BuildPath(const char* relative);

HWND CreateSearchTestWindow();
void DestroySearchTestWindow();
void PumpMessages();

// Sets the search box text (the box sends EN_CHANGE itself).
void TypeSearchText(const wchar_t* text);
// Selects an entry and sends the list's LBN_SELCHANGE to the window.
void PickEntry(int column, int index);
std::vector<std::wstring> ListEntries(int column);
std::wstring WindowText(HWND window);
std::wstring HeaderText(int column);
