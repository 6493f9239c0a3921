#include "search/result_lists.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "corpus/corpus_db.h"
#include "search/paragraph_view.h"
#include "search/ui_fonts.h"
#include "ui/window_ids.h"

static HWND g_lists[3];
static HWND g_headers[3];
static HFONT g_listFont;
static HighlightTermSet g_termSets[3];

static const int LIST_IDS[3] = {IDC_WORD_LIST, IDC_PHRASE_LIST, IDC_CLAUSE_LIST};
static const int HEADER_IDS[3] = {IDC_WORD_HEADER, IDC_PHRASE_HEADER, IDC_CLAUSE_HEADER};
static const wchar_t* const HEADER_TEXTS[3] = {L"词汇", L"词组", L"短句"};
static const wchar_t* const HEADER_FORMATS[3] = {L"词汇(%d)", L"词组(%d)", L"短句(%d)"};

void FillTermSet(const wchar_t* text, HighlightTermSet* set, int limit) {
    if (!set) return;
    set->count = 0;
    if (!text || !text[0]) return;
    if (limit > HIGHLIGHT_TERM_MAX) limit = HIGHLIGHT_TERM_MAX;
    wchar_t work[512];
    wcsncpy(work, text, 511);
    work[511] = 0;
    const wchar_t* p = work;
    while (*p && set->count < limit) {
        while (*p == L' ') ++p;
        const wchar_t* start = p;
        while (*p && *p != L' ') ++p;
        size_t len = (size_t)(p - start);
        if (len >= 1 && len <= 63) {
            wmemcpy(set->terms[set->count], start, len);
            set->terms[set->count][len] = 0;
            ++set->count;
        }
    }
}

void CreateResultLists(HWND parent, HINSTANCE instance) {
    g_listFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    for (int c = 0; c < 3; ++c) {
        g_headers[c] = CreateWindowExW(0, L"STATIC", HEADER_TEXTS[c], WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0,
                                       parent, (HMENU)(INT_PTR)HEADER_IDS[c], instance, nullptr);
    }
    for (int c = 0; c < 3; ++c) {
        g_lists[c] = CreateWindowExW(0, L"LISTBOX", L"",
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                                         LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                     0, 0, 0, 0, parent, (HMENU)(INT_PTR)LIST_IDS[c], instance, nullptr);
    }
    for (int c = 0; c < 3; ++c) {
        if (g_headers[c]) SendMessageW(g_headers[c], WM_SETFONT, (WPARAM)g_listFont, TRUE);
        if (g_lists[c]) {
            SendMessageW(g_lists[c], WM_SETFONT, (WPARAM)g_listFont, TRUE);
            SendMessageW(g_lists[c], LB_SETITEMHEIGHT, 0, GetListItemHeight());
        }
    }
}

void ClearResultLists() {
    for (int c = 0; c < 3; ++c)
        if (g_lists[c]) SendMessageW(g_lists[c], LB_RESETCONTENT, 0, 0);
}

static void AddRow(int column, const wchar_t* row) {
    if (g_lists[column] && row) SendMessageW(g_lists[column], LB_ADDSTRING, 0, (LPARAM)row);
}
void AddWordRow(const wchar_t* row, uintptr_t) { AddRow(0, row); }
void AddPhraseRow(const wchar_t* row, uintptr_t) { AddRow(1, row); }
void AddClauseRow(const wchar_t* row, uintptr_t) { AddRow(2, row); }

void UpdateListHeaders() {
    for (int c = 0; c < 3; ++c) {
        if (!g_lists[c] || !g_headers[c]) continue;
        wchar_t text[64];
        int count = (int)SendMessageW(g_lists[c], LB_GETCOUNT, 0, 0);
        _snwprintf(text, 64, HEADER_FORMATS[c], count);
        text[63] = 0;
        SetWindowTextW(g_headers[c], text);
    }
}

void ShowIdleWordList() {
    if (!g_lists[0]) return;
    SendMessageW(g_lists[0], WM_SETREDRAW, FALSE, 0);
    ClearResultLists();
    QueryStartupWords(AddWordRow, 0);
    SendMessageW(g_lists[0], WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_lists[0], nullptr, TRUE);
    UpdateListHeaders();
}

static void SetRedraw(int column, BOOL on) {
    if (g_lists[column]) SendMessageW(g_lists[column], WM_SETREDRAW, on, 0);
}
static void Invalidate(int column) {
    if (g_lists[column]) InvalidateRect(g_lists[column], nullptr, TRUE);
}
static void Reset(int column) {
    if (g_lists[column]) SendMessageW(g_lists[column], LB_RESETCONTENT, 0, 0);
}

static void PickWord(const wchar_t* entry) {
    const wchar_t* bar = wcschr(entry, L'|');
    if (!bar || bar - entry >= 32) return;
    wchar_t idText[32] = {0};
    wmemcpy(idText, entry, (size_t)(bar - entry));
    int id = _wtoi(idText);
    wchar_t word[256];
    wcsncpy(word, bar + 1, 255);
    word[255] = 0;
    g_termSets[0].count = 0;
    g_termSets[1].count = 0;
    g_termSets[2].count = 0;
    if (word[0]) {
        FillTermSet(word, &g_termSets[1], HIGHLIGHT_TERM_MAX);
        FillTermSet(word, &g_termSets[2], HIGHLIGHT_TERM_MAX);
    }
    SetRedraw(1, FALSE);
    SetRedraw(2, FALSE);
    Reset(1);
    Reset(2);
    QueryPhrasesByWordId(id, AddPhraseRow, 0);
    QueryClauses(word, AddClauseRow, 0);
    SetRedraw(1, TRUE);
    SetRedraw(2, TRUE);
    Invalidate(0);
    Invalidate(1);
    Invalidate(2);
    ClearParagraphView();
    UpdateListHeaders();
}

static void PickPhrase(const wchar_t* phrase) {
    g_termSets[1].count = 0;
    g_termSets[2].count = 0;
    if (phrase[0]) FillTermSet(phrase, &g_termSets[2], HIGHLIGHT_TERM_MAX);
    SetRedraw(2, FALSE);
    Reset(2);
    QueryClauses(phrase, AddClauseRow, 0);
    SetRedraw(2, TRUE);
    Invalidate(1);
    Invalidate(2);
    ClearParagraphView();
    UpdateListHeaders();
}

static void OnPick(int column) {
    HWND list = g_lists[column];
    if (!list) return;
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR) return;
    LRESULT len = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)sel, 0);
    if (len == LB_ERR || len < 0 || len >= 512) return;
    wchar_t entry[512] = {0};
    SendMessageW(list, LB_GETTEXT, (WPARAM)sel, (LPARAM)entry);
    entry[511] = 0;
    if (column == 0) PickWord(entry);
    else if (column == 1) PickPhrase(entry);
    else ShowParagraphsForClause(entry);
}

int OnResultListCommand(WPARAM wParam) {
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    for (int c = 0; c < 3; ++c) {
        if (id != LIST_IDS[c]) continue;
        if (code == LBN_SELCHANGE) {
            OnPick(c);
            return 1;
        }
        if (code == LBN_DBLCLK) return 1;
        return 0;
    }
    return 0;
}

void RefreshResultListFonts() {
    HFONT old = g_listFont;
    g_listFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    for (int c = 0; c < 3; ++c) {
        if (g_headers[c]) SendMessageW(g_headers[c], WM_SETFONT, (WPARAM)g_listFont, TRUE);
        if (g_lists[c]) {
            SendMessageW(g_lists[c], WM_SETFONT, (WPARAM)g_listFont, TRUE);
            SendMessageW(g_lists[c], LB_SETITEMHEIGHT, 0, GetListItemHeight());
            InvalidateRect(g_lists[c], nullptr, TRUE);
        }
    }
    if (old) DeleteObject(old);
}

void ReleaseResultLists() {
    if (g_listFont) DeleteObject(g_listFont);
    g_listFont = nullptr;
    for (int c = 0; c < 3; ++c) {
        g_lists[c] = nullptr;
        g_headers[c] = nullptr;
    }
}

HWND GetResultListHandle(int column) { return column >= 0 && column < 3 ? g_lists[column] : nullptr; }
HWND GetResultHeaderHandle(int column) { return column >= 0 && column < 3 ? g_headers[column] : nullptr; }
HighlightTermSet* GetHighlightTermSet(int column) { return column >= 0 && column < 3 ? &g_termSets[column] : nullptr; }
HighlightTermSet* GetHighlightTermSetForList(int controlId) {
    for (int c = 0; c < 3; ++c)
        if (LIST_IDS[c] == controlId) return &g_termSets[c];
    return nullptr;
}
