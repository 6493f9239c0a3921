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

static const wchar_t* const REPORT_NAMES[32] = {
    L"国务院政府工作报告", L"北京市政府工作报告", L"天津市政府工作报告", L"河北省政府工作报告",
    L"山西省政府工作报告", L"内蒙古自治区政府工作报告", L"辽宁省政府工作报告", L"吉林省政府工作报告",
    L"黑龙江省政府工作报告", L"上海市政府工作报告", L"江苏省政府工作报告", L"浙江省政府工作报告",
    L"安徽省政府工作报告", L"福建省政府工作报告", L"江西省政府工作报告", L"山东省政府工作报告",
    L"河南省政府工作报告", L"湖北省政府工作报告", L"湖南省政府工作报告", L"广东省政府工作报告",
    L"广西壮族自治区政府工作报告", L"海南省政府工作报告", L"重庆市政府工作报告", L"四川省政府工作报告",
    L"贵州省政府工作报告", L"云南省政府工作报告", L"西藏自治区政府工作报告", L"陕西省政府工作报告",
    L"甘肃省政府工作报告", L"青海省政府工作报告", L"宁夏回族自治区政府工作报告", L"新疆维吾尔自治区政府工作报告",
};

const wchar_t* ReportNameForIndex(int index) { return (unsigned)index < 32u ? REPORT_NAMES[index] : L""; }

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
    HideCaret(g_view);
}

void ClearParagraphView() {
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

void ShowReportParagraphs(int year, int reportIndex) {
    wchar_t title[256];
    _snwprintf(title, 256, L"%d年%s", year, ReportNameForIndex(reportIndex));
    title[255] = 0;
    g_viewTermCount = 0;
    CollectStart();
    QueryReportParagraphs(title, AppendParagraphRow, 0);
    if (g_paragraphTextLength > 0) {
        RenderParagraphText(g_paragraphText);
    } else {
        wchar_t line[320];
        _snwprintf(line, 320, L"语料库中没有“%s”的段落。", title);
        line[319] = 0;
        RenderParagraphText(line);
    }
    SetParagraphHeaderCount(g_paragraphRowCount);
}

int OnParagraphContextMenu(HWND owner, LPARAM lParam) {
    if (!g_view) return 0;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // signed: monitors left of or above the primary
    RECT rect;
    GetWindowRect(g_view, &rect);
    if (!PtInRect(&rect, pt)) return 0;
    CHARRANGE range = {};
    SendMessageW(g_view, EM_EXGETSEL, 0, (LPARAM)&range);
    if (range.cpMax <= range.cpMin) return 1;
    HMENU menu = CreatePopupMenu();
    if (!menu) return 1;
    AppendMenuW(menu, MF_STRING, IDM_COPY_PARAGRAPH, L"复制(&C)");
    int command = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    if (command == IDM_COPY_PARAGRAPH) SendMessageW(g_view, WM_COPY, 0, 0);
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
    if (g_paragraphFont) DeleteObject(g_paragraphFont);
    g_paragraphFont = nullptr;
    g_header = nullptr;
    g_view = nullptr;
}

HWND GetParagraphViewHandle() { return g_view; }
HWND GetParagraphHeaderHandle() { return g_header; }
