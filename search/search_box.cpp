#include "search/search_box.h"

#include <string.h>
#include <wchar.h>

#include "corpus/corpus_db.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/ui_fonts.h"
#include "ui/window_ids.h"

static HWND g_searchBox;
static HFONT g_searchFont;
static wchar_t g_lastSearchText[256];

void NormalizeSearchText(const wchar_t* in, wchar_t* out, int capacity) {
    int n = 0;
    int pendingSpace = 0;
    if (capacity <= 0) return;
    for (const wchar_t* p = in; p && *p && n < capacity - 1; ++p) {
        if (*p == L' ') {
            pendingSpace = n > 0;
            continue;
        }
        if (pendingSpace && n < capacity - 2) out[n++] = L' ';
        pendingSpace = 0;
        out[n++] = *p;
    }
    out[n] = 0;
}

void CreateSearchBox(HWND parent, HINSTANCE instance) {
    g_searchBox = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 0, 0,
                                  parent, (HMENU)(INT_PTR)IDC_SEARCH_BOX, instance, nullptr);
    g_searchFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    if (g_searchBox) SendMessageW(g_searchBox, WM_SETFONT, (WPARAM)g_searchFont, TRUE);
}

int OnSearchBoxCommand(WPARAM wParam) {
    if (LOWORD(wParam) != IDC_SEARCH_BOX || HIWORD(wParam) != EN_CHANGE) return 0;
    RunSearch();
    return 1;
}

void RunSearch() {
    wchar_t raw[256] = {0};
    wchar_t text[256] = {0};
    if (g_searchBox) GetWindowTextW(g_searchBox, raw, 256);
    NormalizeSearchText(raw, text, 256);
    if (wcscmp(text, g_lastSearchText) == 0) return;
    wcscpy(g_lastSearchText, text);
    for (int c = 0; c < 3; ++c) FillTermSet(text, GetHighlightTermSet(c), HIGHLIGHT_TERM_MAX);
    ClearParagraphView();
    if (!text[0]) {
        ShowIdleWordList();
        return;
    }
    BeginResultFill(RESULT_COLUMNS_ALL);
    QueryWords(text, AddWordRow, 0);
    QueryPhrases(text, AddPhraseRow, 0);
    QueryClauses(text, AddClauseRow, 0);
    ShowResultFill(RESULT_COLUMNS_ALL);
    // The typed text shows with the first rows, not after the slices.
    if (g_searchBox) UpdateWindow(g_searchBox);
}

void RefreshSearchBoxFont() {
    if (!g_searchBox) return;
    HFONT old = g_searchFont;
    g_searchFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    SendMessageW(g_searchBox, WM_SETFONT, (WPARAM)g_searchFont, TRUE);
    if (old) DeleteObject(old);
}

HWND GetSearchBoxHandle() { return g_searchBox; }
