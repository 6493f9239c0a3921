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
// Empties the three lists at once and shows the headers' zero counts.
void ClearResultLists();
// Headers counted from the rows each column's query delivered.
void UpdateListHeaders();
// Row callbacks of the queries: each appends the row to its column's store.
void AddWordRow(const wchar_t* row, uintptr_t context);
void AddPhraseRow(const wchar_t* row, uintptr_t context);
void AddClauseRow(const wchar_t* row, uintptr_t context);

// Columns as bits: 1 words, 2 phrases, 4 short sentences.
#define RESULT_COLUMNS_ALL 7
// Drops what the columns are still filling, forgets their rows and puts an
// empty list in each one's place, redrawing off; the rows then come through
// the row callbacks.
void BeginResultFill(int columns);
// Counts every header, adds and paints the rows the columns' lists show, and
// leaves the rest to slices run between messages.
void ShowResultFill(int columns);
// 1 while rows are still being added to a list or a hidden list emptied.
int ResultListsBusy();
// The longest slice since the last call, in milliseconds (for the benchmark).
double TakeLongestSliceMs();
// Rows the column's query delivered (its header's count).
int ResultRowCount(int column);
// Pure: whether the word a words entry shows begins with ch (ASCII letters
// fold case), as typing into the focused words list finds it.
int WordEntryStartsWith(const wchar_t* entry, wchar_t ch);

// column 0 words, 1 phrases, 2 short sentences; null for other columns.
HWND GetResultListHandle(int column);
HWND GetResultHeaderHandle(int column);
HighlightTermSet* GetHighlightTermSet(int column);
// Term set of the list with this control id, null for other ids.
HighlightTermSet* GetHighlightTermSetForList(int controlId);
