#pragma once
// The words, phrases and short-sentences lists with their counted headers.
#include <windows.h>
#include <stdint.h>

#define HIGHLIGHT_TERM_MAX 10
#define HIGHLIGHT_TERM_UNITS 64

struct HighlightTermSet {
    wchar_t terms[HIGHLIGHT_TERM_MAX][HIGHLIGHT_TERM_UNITS];
    int count;
};

void FillTermSet(const wchar_t* text, HighlightTermSet* set, int limit);

void CreateResultLists(HWND parent, HINSTANCE instance);
void ShowIdleWordList();
int OnResultListCommand(WPARAM wParam);
void ReleaseResultLists();
void RefreshResultListFonts();
void ClearResultLists();
void UpdateListHeaders();
// Row callbacks of the queries: each appends the row to its list.
void AddWordRow(const wchar_t* row, uintptr_t context);
void AddPhraseRow(const wchar_t* row, uintptr_t context);
void AddClauseRow(const wchar_t* row, uintptr_t context);

// column 0 words, 1 phrases, 2 short sentences; null for other columns.
HWND GetResultListHandle(int column);
HWND GetResultHeaderHandle(int column);
HighlightTermSet* GetHighlightTermSet(int column);
// Term set of the list with this control id, null for other ids.
HighlightTermSet* GetHighlightTermSetForList(int controlId);
