#include "search/paragraph_view.h"

#include <commdlg.h>  // FR_DOWN
#include <richedit.h>
#include <windowsx.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "corpus/corpus_db.h"
#include "corpus/corpus_reports.h"
#include "search/paragraph_markup.h"
#include "search/report_titles.h"
#include "search/ui_fonts.h"
#include "ui/window_ids.h"

#define PARAGRAPH_TEXT_UNITS 8192
#define VIEW_TERM_UNITS 256

static HMODULE g_richEdit;
static HWND g_header;
static HWND g_view;
static HFONT g_paragraphFont;
static wchar_t g_paragraphText[PARAGRAPH_TEXT_UNITS];
static int g_paragraphTextLength;
static int g_paragraphRowCount;
static wchar_t g_viewTerms[10][VIEW_TERM_UNITS];
static int g_viewTermCount;
// Whole reports have no limit: their rows collect on the heap.
static wchar_t* g_longText;
static int g_longLength;
static int g_longCapacity;
static int g_longRowCount;
// What the view shows, kept for copying with the source.
static wchar_t* g_shownText;
static ViewRow* g_shownRows;
static int g_shownRowCount;

void LoadRichEditLibrary() {
    g_richEdit = LoadLibraryW(L"riched20.dll");
    if (!g_richEdit) g_richEdit = LoadLibraryW(L"riched32.dll");
}

void CreateParagraphView(HWND parent, HINSTANCE instance) {
    if (!g_richEdit) {
        MessageBoxW(parent, L"无法加载 RichEdit 控件，段落显示功能将不可用", L"警告", MB_ICONWARNING);
        return;
    }
    g_paragraphFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    g_header = CreateWindowExW(0, L"STATIC", L"段落", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 0, 0, 0, parent,
                               (HMENU)0, instance, nullptr);
    if (g_header) SendMessageW(g_header, WM_SETFONT, (WPARAM)g_paragraphFont, TRUE);
    g_view = CreateWindowExW(WS_EX_STATICEDGE, L"RichEdit20W", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL |
                                 ES_READONLY,
                             0, 0, 0, 0, parent, (HMENU)(INT_PTR)IDC_PARAGRAPH_VIEW, instance, nullptr);
    if (!g_view) return;
    SendMessageW(g_view, WM_SETFONT, (WPARAM)g_paragraphFont, TRUE);
    SendMessageW(g_view, EM_SETBKGNDCOLOR, 0, 0xFFFFFF);
    SendMessageW(g_view, EM_SETOPTIONS, ECOOP_OR, ECO_AUTOWORDSELECTION);
    // The view is only ever written by the program: with no undo kept, Ctrl+Z cannot take
    // back a rebuild or its highlights, and each rebuild step costs less.
    SendMessageW(g_view, EM_SETUNDOLIMIT, 0, 0);
    HideCaret(g_view);
}

static void ForgetShownText() {
    if (g_shownText) SecureZeroMemory(g_shownText, (wcslen(g_shownText) + 1) * sizeof(wchar_t));  // corpus text
    free(g_shownText);
    free(g_shownRows);
    g_shownText = nullptr;
    g_shownRows = nullptr;
    g_shownRowCount = 0;
}

// Keeps the marked-up text and its rows as laid out in the view.
static void KeepShownText(const wchar_t* text) {
    ForgetShownText();
    size_t length = wcslen(text);
    int count = MapMarkupRows(text, nullptr, 0);
    g_shownText = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
    g_shownRows = (ViewRow*)malloc(sizeof(ViewRow) * (size_t)(count > 0 ? count : 1));
    if (!g_shownText || !g_shownRows) {
        ForgetShownText();
        return;
    }
    wmemcpy(g_shownText, text, length + 1);
    g_shownRowCount = MapMarkupRows(text, g_shownRows, count);
}

void ClearParagraphView() {
    ForgetShownText();
    if (g_view) SetWindowTextW(g_view, L"");
    g_viewTermCount = 0;
    if (g_header) SetWindowTextW(g_header, L"段落");
}

void SetParagraphHeaderCount(int count) {
    if (!g_header) return;
    wchar_t text[64];
    _snwprintf(text, 64, L"段落(%d)", count);
    text[63] = 0;
    SetWindowTextW(g_header, text);
}

static void SetViewHighlightTerm(const wchar_t* text) {
    g_viewTermCount = 0;
    if (!text || !text[0]) return;
    while (*text == L' ') ++text;
    if (!*text) return;
    size_t len = wcslen(text);
    while (len > 0 && text[len - 1] == L' ') --len;
    if (len > 255) return;
    wmemcpy(g_viewTerms[0], text, len);
    g_viewTerms[0][len] = 0;
    g_viewTermCount = 1;
}

static void AppendParagraphRow(const wchar_t* row, uintptr_t) {
    ++g_paragraphRowCount;
    if (!row) return;
    int len = (int)wcslen(row);
    if (g_paragraphTextLength + len + 3 >= PARAGRAPH_TEXT_UNITS) return;
    if (g_paragraphTextLength > 0) {
        g_paragraphText[g_paragraphTextLength++] = L'\r';
        g_paragraphText[g_paragraphTextLength++] = L'\n';
    }
    wmemcpy(g_paragraphText + g_paragraphTextLength, row, (size_t)len);
    g_paragraphTextLength += len;
    g_paragraphText[g_paragraphTextLength] = 0;
}

static void AppendViewSegment(const wchar_t* text, size_t length, int bold) {
    if (!g_view || !text) return;
    wchar_t* copy = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
    if (!copy) return;
    wmemcpy(copy, text, length);
    copy[length] = 0;
    int end = GetWindowTextLengthW(g_view);
    SendMessageW(g_view, EM_SETSEL, end, end);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD;
    format.dwEffects = bold ? CFE_BOLD : 0;
    SendMessageW(g_view, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    SendMessageW(g_view, EM_REPLACESEL, 0, (LPARAM)copy);
    SecureZeroMemory(copy, (length + 1) * sizeof(wchar_t));  // it held corpus text
    free(copy);
}

static void HighlightViewTerms() {
    if (g_viewTermCount <= 0) return;
    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BACKCOLOR;
    format.crBackColor = TERM_HIGHLIGHT_COLOR;
    for (int t = 0; t < g_viewTermCount; ++t) {
        wchar_t term[VIEW_TERM_UNITS];
        wcsncpy(term, g_viewTerms[t], VIEW_TERM_UNITS - 1);
        term[VIEW_TERM_UNITS - 1] = 0;
        size_t len = wcslen(term);
        while (len > 0 && wcschr(L" \t\r\n", term[len - 1])) term[--len] = 0;
        if (!len) continue;
        FINDTEXTEXW find = {};
        find.chrg.cpMin = 0;
        find.chrg.cpMax = -1;
        find.lpstrText = term;
        while (SendMessageW(g_view, EM_FINDTEXTEXW, FR_DOWN, (LPARAM)&find) >= 0) {
            if (find.chrgText.cpMax <= find.chrgText.cpMin) break;  // never loop on an empty find
            SendMessageW(g_view, EM_SETSEL, find.chrgText.cpMin, find.chrgText.cpMax);
            SendMessageW(g_view, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
            find.chrg.cpMin = find.chrgText.cpMax;
        }
    }
    SendMessageW(g_view, EM_SETSEL, 0, 0);
}

void RenderParagraphText(const wchar_t* text) {
    if (!g_view || !text) return;
    SendMessageW(g_view, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(g_view, L"");
    // Start every rebuild from the default format so no old highlight leaks in.
    CHARFORMAT2W plain = {};
    plain.cbSize = sizeof plain;
    plain.dwMask = CFM_BACKCOLOR | CFM_BOLD;
    plain.dwEffects = CFE_AUTOBACKCOLOR;
    SendMessageW(g_view, EM_SETCHARFORMAT, SCF_ALL, (LPARAM)&plain);
    KeepShownText(text);
    MarkupSegment segment;
    for (int pos = NextMarkupSegment(text, 0, &segment); pos >= 0; pos = NextMarkupSegment(text, pos, &segment))
        AppendViewSegment(text + segment.start, (size_t)segment.length, segment.bold);
    HighlightViewTerms();
    SendMessageW(g_view, EM_SETSEL, 0, 0);
    SendMessageW(g_view, WM_SETREDRAW, TRUE, 0);
    SendMessageW(g_view, WM_VSCROLL, SB_TOP, 0);
    InvalidateRect(g_view, nullptr, TRUE);
    HideCaret(g_view);
}

static void CollectStart() {
    g_paragraphText[0] = 0;
    g_paragraphTextLength = 0;
    g_paragraphRowCount = 0;
}

void ShowParagraphsForClause(const wchar_t* text) {
    SetViewHighlightTerm(text);
    CollectStart();
    QueryParagraphs(text, AppendParagraphRow, 0);
    RenderParagraphText(g_paragraphTextLength > 0 ? g_paragraphText : text);
    SetParagraphHeaderCount(g_paragraphRowCount);
}

static void AppendLongRow(const wchar_t* row, uintptr_t) {
    if (!row) return;
    int length = (int)wcslen(row);
    int needed = g_longLength + length + 3;
    if (needed > g_longCapacity) {
        int capacity = g_longCapacity ? g_longCapacity : 16384;
        while (capacity < needed) capacity *= 2;
        wchar_t* grown = (wchar_t*)realloc(g_longText, sizeof(wchar_t) * (size_t)capacity);
        if (!grown) return;  // not shown, so not counted either
        g_longText = grown;
        g_longCapacity = capacity;
    }
    ++g_longRowCount;
    if (g_longLength > 0) {
        g_longText[g_longLength++] = L'\r';
        g_longText[g_longLength++] = L'\n';
    }
    wmemcpy(g_longText + g_longLength, row, (size_t)length);
    g_longLength += length;
    g_longText[g_longLength] = 0;
}

static void LongStart() {
    g_longLength = 0;
    g_longRowCount = 0;
    if (g_longText) g_longText[0] = 0;
}

static void LongRelease() {
    if (g_longText) SecureZeroMemory(g_longText, sizeof(wchar_t) * (size_t)g_longCapacity);  // corpus text
    free(g_longText);
    g_longText = nullptr;
    g_longLength = g_longCapacity = 0;
}

static void ReportTitle(int year, int reportIndex, wchar_t* title) {
    _snwprintf(title, 256, L"%d年%s", year, ReportNameForIndex(reportIndex));
    title[255] = 0;
}

void ShowReportParagraphs(int year, int reportIndex) {
    wchar_t title[256];
    ReportTitle(year, reportIndex, title);
    g_viewTermCount = 0;
    LongStart();
    QueryReportParagraphs(title, AppendLongRow, 0);
    if (g_longLength > 0) {
        RenderParagraphText(g_longText);
    } else {
        wchar_t line[320];
        _snwprintf(line, 320, L"语料库中没有“%s”的段落。", title);
        line[319] = 0;
        RenderParagraphText(line);
    }
    SetParagraphHeaderCount(g_longRowCount);
    LongRelease();
}

// Every term of the text (split at spaces, at most ten of up to 255 units) is highlighted.
static void SetViewHighlightTerms(const wchar_t* text) {
    g_viewTermCount = 0;
    if (!text) return;
    const wchar_t* p = text;
    while (*p && g_viewTermCount < 10) {
        while (*p == L' ') ++p;
        const wchar_t* end = p;
        while (*end && *end != L' ') ++end;
        size_t length = (size_t)(end - p);
        if (length > 0 && length < VIEW_TERM_UNITS) {
            wmemcpy(g_viewTerms[g_viewTermCount], p, length);
            g_viewTerms[g_viewTermCount++][length] = 0;
        }
        p = end;
    }
}

void ShowReportParagraphsWithTerms(int year, int reportIndex, const wchar_t* terms) {
    wchar_t title[256];
    ReportTitle(year, reportIndex, title);
    SetViewHighlightTerms(terms);
    LongStart();
    QueryReportParagraphsWithTerms(title, terms, AppendLongRow, 0);
    RenderParagraphText(g_longLength > 0 ? g_longText : terms);
    SetParagraphHeaderCount(g_longRowCount);
    LongRelease();
}

// The view's characters by position: CR for each line break, as the view counts them.
static wchar_t* ViewTextByPosition(int length) {
    wchar_t* text = (wchar_t*)calloc((size_t)length + 1, sizeof(wchar_t));
    if (!text) return nullptr;
    TEXTRANGEW range = {{0, length}, text};
    SendMessageW(g_view, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    return text;
}

static int PutOnClipboard(const wchar_t* text, int length) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(wchar_t) * ((size_t)length + 1));
    if (!memory) return 0;
    wchar_t* target = (wchar_t*)GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return 0;
    }
    wmemcpy(target, text, (size_t)length);
    target[length] = 0;
    GlobalUnlock(memory);
    if (!OpenClipboard(GetParent(g_view))) {
        GlobalFree(memory);
        return 0;
    }
    EmptyClipboard();
    int placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) GlobalFree(memory);
    return placed;
}

int CopyParagraphsWithSource(const POINT* screenPoint) {
    if (!g_view || !g_shownText || g_shownRowCount <= 0) return 0;
    CHARRANGE range = {};
    SendMessageW(g_view, EM_EXGETSEL, 0, (LPARAM)&range);
    const ViewRow& last = g_shownRows[g_shownRowCount - 1];
    int viewLength = last.start + last.titleLength + last.bodyLength;
    if (range.cpMax <= range.cpMin) {
        // Nothing selected: the paragraph under the point, else the caret's.
        int position = range.cpMin;
        if (screenPoint) {
            POINT client = *screenPoint;
            ScreenToClient(g_view, &client);
            POINTL at = {client.x, client.y};
            position = (int)SendMessageW(g_view, EM_CHARFROMPOS, 0, (LPARAM)&at);
        }
        int row = ViewRowAt(g_shownRows, g_shownRowCount, position);
        if (row < 0) return 0;
        range.cpMin = g_shownRows[row].start + g_shownRows[row].titleLength;
        range.cpMax = range.cpMin + g_shownRows[row].bodyLength;
    }
    wchar_t* viewText = ViewTextByPosition(viewLength);
    if (!viewText) return 0;
    int length = BuildSourcedCopy(viewText, viewLength, g_shownText, g_shownRows, g_shownRowCount, range.cpMin,
                                  range.cpMax, nullptr, 0);
    int copied = 0;
    wchar_t* out = length > 0 ? (wchar_t*)malloc(sizeof(wchar_t) * ((size_t)length + 1)) : nullptr;
    if (out) {
        BuildSourcedCopy(viewText, viewLength, g_shownText, g_shownRows, g_shownRowCount, range.cpMin, range.cpMax,
                         out, length + 1);
        copied = PutOnClipboard(out, length);
        SecureZeroMemory(out, sizeof(wchar_t) * ((size_t)length + 1));
        free(out);
    }
    SecureZeroMemory(viewText, sizeof(wchar_t) * ((size_t)viewLength + 1));
    free(viewText);
    return copied;
}

int OnParagraphContextMenu(HWND owner, LPARAM lParam) {
    if (!g_view) return 0;
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);  // signed: monitors left of or above the primary
    bool keyboard = x == -1 && y == -1;
    if (keyboard && GetFocus() != g_view) return 0;  // Shift+F10 or the Menu key elsewhere
    RECT rect;
    GetWindowRect(g_view, &rect);
    CHARRANGE range = {};
    SendMessageW(g_view, EM_EXGETSEL, 0, (LPARAM)&range);
    POINT caret = {-100000, -100000};
    if (keyboard) {
        POINTL at = {0, 0};
        SendMessageW(g_view, EM_POSFROMCHAR, (WPARAM)&at, range.cpMax);
        caret.x = at.x;
        caret.y = at.y;
        ClientToScreen(g_view, &caret);
    }
    int menuX, menuY;
    if (!ParagraphMenuPoint(x, y, rect.left, rect.top, rect.right, rect.bottom, caret.x, caret.y, &menuX, &menuY))
        return 0;
    POINT pt = {menuX, menuY};
    if (range.cpMax <= range.cpMin) return 1;  // nothing selected, no menu
    HMENU menu = CreatePopupMenu();
    if (!menu) return 1;
    AppendMenuW(menu, MF_STRING, IDM_COPY_PARAGRAPH, L"复制(&C)");
    AppendMenuW(menu, MF_STRING, IDM_COPY_WITH_SOURCE, L"复制并注明出处(&S)");
    int command = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    if (command == IDM_COPY_PARAGRAPH) SendMessageW(g_view, WM_COPY, 0, 0);
    if (command == IDM_COPY_WITH_SOURCE) CopyParagraphsWithSource(nullptr);
    DestroyMenu(menu);
    return 1;
}

void RefreshParagraphViewFont() {
    HFONT old = g_paragraphFont;
    g_paragraphFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    if (g_header) SendMessageW(g_header, WM_SETFONT, (WPARAM)g_paragraphFont, TRUE);
    if (g_view) {
        SendMessageW(g_view, WM_SETFONT, (WPARAM)g_paragraphFont, TRUE);
        InvalidateRect(g_view, nullptr, TRUE);
    }
    if (old) DeleteObject(old);
}

// The library stays loaded until process exit: the view still lives during WM_DESTROY.
void ReleaseParagraphView() {
    ForgetShownText();
    if (g_paragraphFont) DeleteObject(g_paragraphFont);
    g_paragraphFont = nullptr;
    g_header = nullptr;
    g_view = nullptr;
}

HWND GetParagraphViewHandle() { return g_view; }
HWND GetParagraphHeaderHandle() { return g_header; }
