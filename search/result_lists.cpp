#include "search/result_lists.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "corpus/corpus_db.h"
#include "search/list_drawing.h"
#include "search/paragraph_view.h"
#include "search/row_store.h"
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

// A list holding more rows than this is not emptied on the keystroke: an empty
// spare takes its place and the old one is emptied in slices while hidden.
// Showing one list and hiding the other costs some 5 to 10 ms under Wine, about
// what a reset in place of this many rows costs.
#define RESET_IN_PLACE_ROWS 6000
// Hidden lists this small are emptied in one LB_RESETCONTENT.
#define RESET_HIDDEN_ROWS 4000
#define LIST_POOL 4
#define SLICE_BUDGET_MS 5.0
#define SLICE_CHUNK_ROWS 64
// Turning redrawing back on costs milliseconds (the scroll bar is redone), so a
// long fill does it this seldom, at its end, and when the user acts.
#define REDRAW_EVERY_MS 100.0
#define SPARE_LIST_ID(column, k) (2101 + 10 * (column) + (k))
#define MSG_LIST_SLICE (WM_APP + 1)
#define SLICE_TIMER_ID 1

// Every list window of a column: the shown one carries the column's id, the
// others are hidden spares, emptied in slices when they hold rows.
struct ColumnLists {
    HWND pool[LIST_POOL];
    int poolCount;
    int shown;
    int filled;  // rows of the store already in the shown list
    double redrawOffSince;  // when the shown list's redrawing went off for the fill, 0 while on
    int pending;  // between BeginResultFill and ShowResultFill: the new rows are still coming
};

static ColumnLists g_columns[3];
static RowStore g_stores[3];
static RowStore g_shownRows[3];  // the answer before, whose rows the shown list holds while a new one comes
static HWND g_parent;
static HINSTANCE g_instance;
static HWND g_filler;
static int g_sliceScheduled;
static double g_longestSliceMs;
static WNDPROC g_listProc;

static double NowMs() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

int WordEntryStartsWith(const wchar_t* entry, wchar_t ch) {
    if (!entry) return 0;
    wchar_t first = WordEntryDisplayText(entry)[0];
    if (!first) return 0;
    if (first == ch) return 1;
    wchar_t a = (first >= L'A' && first <= L'Z') ? (wchar_t)(first + 32) : first;
    wchar_t b = (ch >= L'A' && ch <= L'Z') ? (wchar_t)(ch + 32) : ch;
    return a == b && a >= L'a' && a <= L'z';
}

// Type-to-find over the words shown, not the hidden ids the entries begin with;
// like the standard list it searches on from the caret and wraps.
static void FindTypedWord(HWND list, wchar_t ch) {
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count <= 0) return;
    int caret = (int)SendMessageW(list, LB_GETCARETINDEX, 0, 0);
    if (caret < 0 || caret >= count) caret = -1;
    for (int step = 1; step <= count; ++step) {
        int index = (caret + step) % count;
        LRESULT len = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)index, 0);
        if (len == LB_ERR || len >= 512) continue;
        wchar_t entry[512] = {0};
        SendMessageW(list, LB_GETTEXT, (WPARAM)index, (LPARAM)entry);
        if (!WordEntryStartsWith(entry, ch)) continue;
        SendMessageW(list, LB_SETCURSEL, (WPARAM)index, 0);
        SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), (LPARAM)list);
        return;
    }
}

static LRESULT CALLBACK WordListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && wParam >= 0x20 && wParam != 0x7F) {
        FindTypedWord(window, (wchar_t)wParam);
        return 0;
    }
    return CallWindowProcW(g_listProc, window, message, wParam, lParam);
}

static HWND CreateListWindow(int column, int id, DWORD visible) {
    HWND list = CreateWindowExW(0, L"LISTBOX", L"",
                                WS_CHILD | visible | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                                    LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                0, 0, 0, 0, g_parent, (HMENU)(INT_PTR)id, g_instance, nullptr);
    if (!list) return nullptr;
    if (column == 0) {
        WNDPROC previous = (WNDPROC)SetWindowLongPtrW(list, GWLP_WNDPROC, (LONG_PTR)WordListProc);
        if (!g_listProc) g_listProc = previous;
    }
    return list;
}

static void SetListFont(HWND list) {
    SendMessageW(list, WM_SETFONT, (WPARAM)g_listFont, TRUE);
    SendMessageW(list, LB_SETITEMHEIGHT, 0, GetListItemHeight());
}

static void ScheduleSlice();

// Whether a list filling with redrawing off should show what it holds now.
static int RedrawDue(int c, bool acting) {
    const ColumnLists* column = &g_columns[c];
    if (!column->redrawOffSince) return 0;
    return column->filled >= g_stores[c].count || acting || NowMs() - column->redrawOffSince >= REDRAW_EVERY_MS;
}

static LRESULT CALLBACK FillerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MSG_LIST_SLICE || (message == WM_TIMER && wParam == SLICE_TIMER_ID)) {
        if (message == WM_TIMER) KillTimer(window, SLICE_TIMER_ID);
        g_sliceScheduled = 0;
        double started = NowMs();
        // Posted slices come before painting; paint what waits (the typed text, a scroll) first.
        if (g_parent && HIWORD(GetQueueStatus(QS_PAINT)))
            RedrawWindow(g_parent, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        double deadline = started + SLICE_BUDGET_MS;
        bool acting = HIWORD(GetQueueStatus(QS_INPUT)) != 0;
        // Turning redrawing back on redoes the scroll bar, some milliseconds and more under load:
        // one list a slice, before any rows, so the slice stays short. That list gets no rows until
        // it has painted (the next slice paints first): with redrawing off again it would not paint.
        int shownAgain = -1;
        for (int c = 0; c < 3; ++c) {
            ColumnLists* column = &g_columns[c];
            if (!g_lists[c] || column->pending || !RedrawDue(c, acting)) continue;
            SendMessageW(g_lists[c], WM_SETREDRAW, TRUE, 0);
            column->redrawOffSince = 0;
            shownAgain = c;
            break;
        }
        for (int c = 0; c < 3; ++c) {
            ColumnLists* column = &g_columns[c];
            HWND list = g_lists[c];
            if (!list || c == shownAgain || column->pending || column->filled >= g_stores[c].count) continue;
            if (NowMs() >= deadline) break;
            if (!column->redrawOffSince) {
                SendMessageW(list, WM_SETREDRAW, FALSE, 0);
                column->redrawOffSince = NowMs();
            }
            while (column->filled < g_stores[c].count && NowMs() < deadline) {
                int end = column->filled + SLICE_CHUNK_ROWS;
                if (end > g_stores[c].count) end = g_stores[c].count;
                for (; column->filled < end; ++column->filled) {
                    LRESULT added = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)RowStoreRow(&g_stores[c], column->filled));
                    if (added < 0) column->filled = g_stores[c].count - 1;  // the list is full: stop here
                }
            }
        }
        for (int c = 0; c < 3; ++c) {
            ColumnLists* column = &g_columns[c];
            for (int k = 0; k < column->poolCount; ++k) {
                if (k == column->shown) continue;
                HWND spare = column->pool[k];
                int count = (int)SendMessageW(spare, LB_GETCOUNT, 0, 0);
                // From the end with redrawing off costs a microsecond a row; the reset of a big list does not slice.
                while (count > 0 && NowMs() < deadline) {
                    if (count <= RESET_HIDDEN_ROWS) {
                        SendMessageW(spare, LB_RESETCONTENT, 0, 0);
                        count = 0;
                        break;
                    }
                    for (int i = 0; i < SLICE_CHUNK_ROWS && count > 0; ++i) SendMessageW(spare, LB_DELETESTRING, (WPARAM)--count, 0);
                }
            }
        }
        double took = NowMs() - started;
        if (took > g_longestSliceMs) g_longestSliceMs = took;
        ScheduleSlice();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double TakeLongestSliceMs() {
    double longest = g_longestSliceMs;
    g_longestSliceMs = 0;
    return longest;
}

int ResultListsBusy() {
    for (int c = 0; c < 3; ++c) {
        ColumnLists* column = &g_columns[c];
        if (g_lists[c] && !column->pending && (column->filled < g_stores[c].count || column->redrawOffSince)) return 1;
        for (int k = 0; k < column->poolCount; ++k)
            if (k != column->shown && SendMessageW(column->pool[k], LB_GETCOUNT, 0, 0) > 0) return 1;
    }
    return 0;
}

// A posted message runs next, before input; with input waiting, a timer lets it go first.
static void ScheduleSlice() {
    if (g_sliceScheduled || !g_filler || !ResultListsBusy()) return;
    g_sliceScheduled = 1;
    if (HIWORD(GetQueueStatus(QS_INPUT)) && SetTimer(g_filler, SLICE_TIMER_ID, USER_TIMER_MINIMUM, nullptr)) return;
    if (!PostMessageW(g_filler, MSG_LIST_SLICE, 0, 0)) g_sliceScheduled = 0;
}

void CreateResultLists(HWND parent, HINSTANCE instance) {
    g_parent = parent;
    g_instance = instance;
    g_listFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    for (int c = 0; c < 3; ++c) {
        g_headers[c] = CreateWindowExW(0, L"STATIC", HEADER_TEXTS[c], WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0,
                                       parent, (HMENU)(INT_PTR)HEADER_IDS[c], instance, nullptr);
    }
    for (int c = 0; c < 3; ++c) {
        g_lists[c] = CreateListWindow(c, LIST_IDS[c], WS_VISIBLE);
        g_columns[c] = ColumnLists{};
        if (g_lists[c]) {
            g_columns[c].pool[0] = g_lists[c];
            g_columns[c].poolCount = 1;
        }
    }
    for (int c = 0; c < 3; ++c) {
        if (g_headers[c]) SendMessageW(g_headers[c], WM_SETFONT, (WPARAM)g_listFont, TRUE);
        if (g_lists[c]) SetListFont(g_lists[c]);
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FillerProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TivraListFiller";
    RegisterClassW(&wc);
    g_filler = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

// Puts an empty list with redrawing off where the column's list is shown.
static void EmptyShownList(int c) {
    ColumnLists* column = &g_columns[c];
    HWND current = g_lists[c];
    bool redrawOff = column->redrawOffSince != 0;
    column->filled = 0;
    column->redrawOffSince = 0;
    if (!current) return;
    int count = (int)SendMessageW(current, LB_GETCOUNT, 0, 0);
    if (count <= RESET_IN_PLACE_ROWS) {
        SendMessageW(current, WM_SETREDRAW, FALSE, 0);
        SendMessageW(current, LB_RESETCONTENT, 0, 0);
        return;
    }
    int spare = -1, fewest = 0;
    for (int k = 0; k < column->poolCount; ++k) {
        if (k == column->shown) continue;
        int rows = (int)SendMessageW(column->pool[k], LB_GETCOUNT, 0, 0);
        if (spare < 0 || rows < fewest) spare = k, fewest = rows;
    }
    if ((spare < 0 || fewest > 0) && column->poolCount < LIST_POOL) {
        HWND made = CreateListWindow(c, SPARE_LIST_ID(c, column->poolCount), 0);
        if (made) {
            SetListFont(made);
            spare = column->poolCount;
            fewest = 0;
            column->pool[column->poolCount++] = made;
        }
    }
    if (spare < 0) {  // no second window to be had: empty this one where it is
        SendMessageW(current, WM_SETREDRAW, FALSE, 0);
        SendMessageW(current, LB_RESETCONTENT, 0, 0);
        return;
    }
    HWND next = column->pool[spare];
    if (fewest > 0) SendMessageW(next, LB_RESETCONTENT, 0, 0);
    if (redrawOff) SendMessageW(current, WM_SETREDRAW, TRUE, 0);
    RECT rect;
    GetWindowRect(current, &rect);
    MapWindowPoints(nullptr, g_parent, (POINT*)&rect, 2);
    // Ids change hands first so GetDlgItem always finds the shown list; the new
    // list takes its id before the old one gives it up, so no look-up from
    // outside ever finds no list at all.
    SetWindowLongPtrW(next, GWLP_ID, LIST_IDS[c]);
    SetWindowLongPtrW(current, GWLP_ID, SPARE_LIST_ID(c, column->shown));
    HWND above = GetWindow(current, GW_HWNDPREV);
    SetWindowPos(next, above ? above : HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    bool focused = GetFocus() == current;
    // Shown and hidden while redrawing is on, so the visibility is the window's own; then both stop redrawing.
    SetWindowPos(current, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_HIDEWINDOW);
    SendMessageW(current, WM_SETREDRAW, FALSE, 0);
    SendMessageW(next, WM_SETREDRAW, FALSE, 0);
    if (focused) SetFocus(next);
    column->shown = spare;
    g_lists[c] = next;
}

void BeginResultFill(int columns) {
    for (int c = 0; c < 3; ++c) {
        if (!(columns & (1 << c))) continue;
        RowStoreSwap(&g_stores[c], &g_shownRows[c]);
        RowStoreClear(&g_stores[c]);
        g_columns[c].pending = 1;
    }
}

// A complete list, untouched since its fill, already shows an answer equal to
// the new one: emptying and refilling it would end in the same state, so it
// stays (the scroll bar's redraw alone costs milliseconds under Wine).
static int ShownListHoldsAnswer(int c) {
    ColumnLists* column = &g_columns[c];
    HWND list = g_lists[c];
    if (!list || column->redrawOffSince || column->filled != g_shownRows[c].count || !RowStoreSame(&g_stores[c], &g_shownRows[c]))
        return 0;
    if (g_stores[c].count == 0) return 0;  // an empty list costs nothing to reset
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) != column->filled) return 0;
    // Untouched: nothing selected, scrolled to the top, the caret on the first row, as a fresh fill leaves it.
    return SendMessageW(list, LB_GETCURSEL, 0, 0) == LB_ERR && SendMessageW(list, LB_GETTOPINDEX, 0, 0) == 0 &&
           SendMessageW(list, LB_GETCARETINDEX, 0, 0) == 0;
}

void ShowResultFill(int columns) {
    for (int c = 0; c < 3; ++c) {
        if (!(columns & (1 << c))) continue;
        g_columns[c].pending = 0;
        if (ShownListHoldsAnswer(c)) {
            if (g_lists[c]) InvalidateRect(g_lists[c], nullptr, TRUE);  // the highlighted terms may differ
            continue;
        }
        EmptyShownList(c);
        HWND list = g_lists[c];
        if (!list) continue;
        RECT client;
        GetClientRect(list, &client);
        int height = (int)SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
        int page = height > 0 ? client.bottom / height + 1 : 64;
        if (page < 1) page = 64;
        int end = g_stores[c].count < page ? g_stores[c].count : page;
        for (int i = 0; i < end; ++i) SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)RowStoreRow(&g_stores[c], i));
        g_columns[c].filled = end;
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    UpdateListHeaders();
    for (int c = 0; c < 3; ++c) {
        if (!(columns & (1 << c))) continue;
        if (g_headers[c]) UpdateWindow(g_headers[c]);
        if (g_lists[c]) UpdateWindow(g_lists[c]);
    }
    ScheduleSlice();
}

void ClearResultLists() {
    BeginResultFill(RESULT_COLUMNS_ALL);
    ShowResultFill(RESULT_COLUMNS_ALL);
}

static void AddRow(int column, const wchar_t* row) {
    if (g_lists[column] && row) RowStoreAppend(&g_stores[column], row);
}
void AddWordRow(const wchar_t* row, uintptr_t) { AddRow(0, row); }
void AddPhraseRow(const wchar_t* row, uintptr_t) { AddRow(1, row); }
void AddClauseRow(const wchar_t* row, uintptr_t) { AddRow(2, row); }

int ResultRowCount(int column) { return column >= 0 && column < 3 ? g_stores[column].count : 0; }

void UpdateListHeaders() {
    for (int c = 0; c < 3; ++c) {
        if (!g_lists[c] || !g_headers[c]) continue;
        wchar_t text[64];
        _snwprintf(text, 64, HEADER_FORMATS[c], g_stores[c].count);
        text[63] = 0;
        wchar_t shown[64] = {0};
        GetWindowTextW(g_headers[c], shown, 64);
        if (wcscmp(shown, text) != 0) SetWindowTextW(g_headers[c], text);
    }
}

void ShowIdleWordList() {
    if (!g_lists[0]) return;
    BeginResultFill(RESULT_COLUMNS_ALL);
    QueryStartupWords(AddWordRow, 0);
    ShowResultFill(RESULT_COLUMNS_ALL);
}

static void Invalidate(int column) {
    if (g_lists[column]) InvalidateRect(g_lists[column], nullptr, TRUE);
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
    BeginResultFill(2 | 4);
    QueryPhrasesByWordId(id, AddPhraseRow, 0);
    QueryClauses(word, AddClauseRow, 0);
    Invalidate(0);
    ClearParagraphView();
    ShowResultFill(2 | 4);
}

static void PickPhrase(const wchar_t* phrase) {
    g_termSets[1].count = 0;
    g_termSets[2].count = 0;
    if (phrase[0]) FillTermSet(phrase, &g_termSets[2], HIGHLIGHT_TERM_MAX);
    BeginResultFill(4);
    QueryClauses(phrase, AddClauseRow, 0);
    Invalidate(1);
    ClearParagraphView();
    ShowResultFill(4);
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
        for (int k = 0; k < g_columns[c].poolCount; ++k) SetListFont(g_columns[c].pool[k]);
        if (g_lists[c]) InvalidateRect(g_lists[c], nullptr, TRUE);
    }
    if (old) DeleteObject(old);
}

void ReleaseResultLists() {
    if (g_listFont) DeleteObject(g_listFont);
    g_listFont = nullptr;
    if (g_filler) DestroyWindow(g_filler);
    g_filler = nullptr;
    g_sliceScheduled = 0;
    for (int c = 0; c < 3; ++c) {
        g_lists[c] = nullptr;
        g_headers[c] = nullptr;
        g_columns[c] = ColumnLists{};
        RowStoreFree(&g_stores[c]);
        RowStoreFree(&g_shownRows[c]);
    }
    g_parent = nullptr;
}

HWND GetResultListHandle(int column) { return column >= 0 && column < 3 ? g_lists[column] : nullptr; }
HWND GetResultHeaderHandle(int column) { return column >= 0 && column < 3 ? g_headers[column] : nullptr; }
HighlightTermSet* GetHighlightTermSet(int column) { return column >= 0 && column < 3 ? &g_termSets[column] : nullptr; }
HighlightTermSet* GetHighlightTermSetForList(int controlId) {
    for (int c = 0; c < 3; ++c)
        if (LIST_IDS[c] == controlId) return &g_termSets[c];
    return nullptr;
}
