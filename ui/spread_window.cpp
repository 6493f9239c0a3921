#include "ui/spread_window.h"

#include <commctrl.h>
#include <stdio.h>
#include <wchar.h>

#include "app/ui_settings.h"
#include "corpus/corpus_reports.h"
#include "search/paragraph_view.h"
#include "ui/spread_logic.h"
#include "ui/window_ids.h"

#define SPREAD_TITLE_UNITS (SPREAD_WORDING_UNITS + 16)
#define SPREAD_SUMMARY_UNITS (SPREAD_WORDING_UNITS + 128)
#define SPREAD_TOTAL_ROW -1

static HWND g_spread;
static HWND g_summary;
static HWND g_list;
static HFONT g_spreadFont;
static wchar_t g_wording[SPREAD_WORDING_UNITS];
static int g_rowRegions[SPREAD_ROWS + 1];  // the region of each list row; SPREAD_TOTAL_ROW for 合计
static SpreadCounts g_counts;

static void AddHit(int64_t articleId, int hasArticle, const char* titleUtf8, uintptr_t) {
    SpreadAddHit(&g_counts, articleId, hasArticle, titleUtf8);
}

static int SelectedEntry(HWND list, wchar_t* out) {
    out[0] = 0;
    if (!list) return 0;
    LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return 0;
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length == LB_ERR || length >= SPREAD_WORDING_UNITS) return 0;  // the picks ignore such entries too
    SendMessageW(list, LB_GETTEXT, (WPARAM)index, (LPARAM)out);
    return 1;
}

static int ReadWording(HWND mainWindow) {
    wchar_t clause[SPREAD_WORDING_UNITS], phrase[SPREAD_WORDING_UNITS], word[SPREAD_WORDING_UNITS];
    SelectedEntry(GetDlgItem(mainWindow, IDC_CLAUSE_LIST), clause);
    SelectedEntry(GetDlgItem(mainWindow, IDC_PHRASE_LIST), phrase);
    SelectedEntry(GetDlgItem(mainWindow, IDC_WORD_LIST), word);
    wchar_t search[256] = {0};
    if (HWND box = GetDlgItem(mainWindow, IDC_SEARCH_BOX)) GetWindowTextW(box, search, 256);
    return PickSpreadWording(clause, phrase, word, search, g_wording, SPREAD_WORDING_UNITS);
}

static void SetCell(int item, int column, int value) {
    wchar_t text[16] = L"";
    if (value > 0) swprintf(text, 16, L"%d", value);
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text;
    SendMessageW(g_list, LVM_SETITEMTEXTW, (WPARAM)item, (LPARAM)&cell);
}

static void AddRow(int item, const wchar_t* label, const int* years, int total) {
    LVITEMW row = {};
    row.mask = LVIF_TEXT;
    row.iItem = item;
    row.pszText = (wchar_t*)label;
    SendMessageW(g_list, LVM_INSERTITEMW, 0, (LPARAM)&row);
    for (int y = 0; y < REPORT_YEAR_COUNT; ++y) SetCell(item, 1 + y, years ? years[y] : 0);
    SetCell(item, 1 + REPORT_YEAR_COUNT, total);
}

static void FillSpread() {
    SpreadReset(&g_counts);
    QueryParagraphHits(g_wording, AddHit, 0);

    wchar_t title[SPREAD_TITLE_UNITS];
    swprintf(title, SPREAD_TITLE_UNITS, L"出处分布 - %ls", g_wording);
    title[SPREAD_TITLE_UNITS - 1] = 0;
    SetWindowTextW(g_spread, title);
    wchar_t summary[SPREAD_SUMMARY_UNITS];
    FormatSpreadSummary(g_wording, &g_counts, summary, SPREAD_SUMMARY_UNITS);
    if (g_summary) SetWindowTextW(g_summary, summary);
    if (!g_list) return;

    SendMessageW(g_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(g_list, LVM_DELETEALLITEMS, 0, 0);
    int item = 0;
    for (int row = 0; row < SPREAD_ROWS; ++row) {
        if (g_counts.rowTotals[row] == 0) continue;
        wchar_t label[32];
        SpreadRowLabel(row, label, 32);
        AddRow(item, label, g_counts.cells[row], g_counts.rowTotals[row]);
        g_rowRegions[item++] = row;
    }
    AddRow(item, L"合计", g_counts.yearTotals, g_counts.paragraphs);
    g_rowRegions[item] = SPREAD_TOTAL_ROW;
    SendMessageW(g_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_list, nullptr, TRUE);
}

static void LayoutSpread() {
    RECT client;
    GetClientRect(g_spread, &client);
    int m = ScaleForDpi(8), summaryHeight = ScaleForDpi(GetLevelFontSize() + 12), gap = ScaleForDpi(4);
    int width = client.right - 2 * m;
    if (width <= 0 || client.bottom <= 0) return;
    if (g_summary) SetWindowPos(g_summary, nullptr, m, m, width, summaryHeight, SWP_NOZORDER);
    int listTop = m + summaryHeight + gap;
    int listHeight = client.bottom - listTop - m;
    if (g_list) SetWindowPos(g_list, nullptr, m, listTop, width, listHeight > 0 ? listHeight : 0, SWP_NOZORDER);
}

static void SetColumnWidths() {
    if (!g_list) return;
    // The longest region label, 新疆维吾尔自治区, is eight characters of the current size.
    SendMessageW(g_list, LVM_SETCOLUMNWIDTH, 0, ScaleForDpi(8 * GetLevelFontSize() + 16));
    for (int c = 1; c <= REPORT_YEAR_COUNT + 1; ++c) SendMessageW(g_list, LVM_SETCOLUMNWIDTH, c, ScaleForDpi(62));
}

static void CreateSpreadControls(HWND window, HINSTANCE instance) {
    g_spreadFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    g_summary = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0, 0, 0,
                                0, window, (HMENU)(INT_PTR)IDC_SPREAD_SUMMARY, instance, nullptr);
    if (g_summary) SendMessageW(g_summary, WM_SETFONT, (WPARAM)g_spreadFont, TRUE);
    g_list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                 LVS_NOSORTHEADER,
                             0, 0, 0, 0, window, (HMENU)(INT_PTR)IDC_SPREAD_LIST, instance, nullptr);
    if (!g_list) return;
    SendMessageW(g_list, WM_SETFONT, (WPARAM)g_spreadFont, TRUE);
    SendMessageW(g_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    wchar_t headings[REPORT_YEAR_COUNT + 2][16];
    wcscpy(headings[0], L"地区");
    for (int y = 0; y < REPORT_YEAR_COUNT; ++y) swprintf(headings[1 + y], 16, L"%d", REPORT_FIRST_YEAR + y);
    wcscpy(headings[REPORT_YEAR_COUNT + 1], L"合计");
    for (int c = 0; c < REPORT_YEAR_COUNT + 2; ++c) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.pszText = headings[c];
        column.iSubItem = c;
        SendMessageW(g_list, LVM_INSERTCOLUMNW, (WPARAM)c, (LPARAM)&column);
    }
    SetColumnWidths();
    SetFocus(g_list);
}

// A double-click on a year cell of a region shows that report's paragraphs in the main window.
static void OnListDoubleClick(const NMITEMACTIVATE* activate) {
    LVHITTESTINFO hit = {};
    hit.pt = activate->ptAction;
    if (SendMessageW(g_list, LVM_SUBITEMHITTEST, 0, (LPARAM)&hit) < 0 || hit.iItem < 0) return;
    int count = (int)SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0);
    if (hit.iItem >= count || hit.iSubItem < 1 || hit.iSubItem > REPORT_YEAR_COUNT) return;
    int region = g_rowRegions[hit.iItem];
    if (region < 0 || region >= REPORT_NAME_COUNT) return;  // 合计 and 其他 are no single report
    int yearIndex = hit.iSubItem - 1;
    if (g_counts.cells[region][yearIndex] == 0) return;
    ShowReportParagraphsWithTerms(REPORT_FIRST_YEAR + yearIndex, region, g_wording);
}

static LRESULT CALLBACK SpreadWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_spread = window;
        CreateSpreadControls(window, ((const CREATESTRUCTW*)lParam)->hInstance);
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) LayoutSpread();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_SETFOCUS:
        if (g_list) SetFocus(g_list);
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (header->idFrom != IDC_SPREAD_LIST) break;
        if (header->code == LVN_KEYDOWN && ((const NMLVKEYDOWN*)lParam)->wVKey == VK_ESCAPE) {
            DestroyWindow(window);
            return 0;
        }
        if (header->code == NM_DBLCLK) OnListDoubleClick((const NMITEMACTIVATE*)lParam);
        return 0;
    }
    case WM_DESTROY:
        if (g_spreadFont) DeleteObject(g_spreadFont);
        g_spreadFont = nullptr;
        g_spread = g_summary = g_list = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static int RegisterSpreadClass(HINSTANCE instance) {
    static int registered;
    if (registered) return 1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SpreadWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = SPREAD_WINDOW_CLASS;
    registered = RegisterClassW(&wc) != 0;
    return registered;
}

// Beside the main window where the work area has room, so the paragraphs stay in view; else cascaded over it.
static POINT SpreadWindowPosition(HWND mainWindow, int width, int height) {
    RECT main;
    GetWindowRect(mainWindow, &main);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    POINT at = {main.right + ScaleForDpi(4), main.top};
    if (at.x + width > work.right) at = POINT{main.left + ScaleForDpi(40), main.top + ScaleForDpi(40)};
    if (at.x + width > work.right) at.x = work.right - width;
    if (at.y + height > work.bottom) at.y = work.bottom - height;
    if (at.x < work.left) at.x = work.left;
    if (at.y < work.top) at.y = work.top;
    return at;
}

void ShowSourceSpread(HWND mainWindow) {
    if (!ReadWording(mainWindow)) {
        MessageBoxW(mainWindow, L"请先输入或选择要查看的词语。", L"出处分布", MB_ICONINFORMATION);
        return;
    }
    if (!g_spread) {
        HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(mainWindow, GWLP_HINSTANCE);
        if (!RegisterSpreadClass(instance)) return;
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
        int width = ScaleForDpi(560), height = ScaleForDpi(640);
        POINT at = SpreadWindowPosition(mainWindow, width, height);
        CreateWindowExW(0, SPREAD_WINDOW_CLASS, L"出处分布", WS_OVERLAPPEDWINDOW, at.x, at.y, width, height,
                        mainWindow, nullptr, instance, nullptr);
        if (!g_spread) return;
        LayoutSpread();
        FillSpread();
        ShowWindow(g_spread, SW_SHOW);
        return;
    }
    FillSpread();
    // Owned, it already stands above the main window; only a minimized one needs bringing back.
    ShowWindow(g_spread, IsIconic(g_spread) ? SW_RESTORE : SW_SHOW);
}

void RefreshSpreadWindowFont() {
    if (!g_spread) return;
    HFONT old = g_spreadFont;
    g_spreadFont = CreateUiFont(GetLevelFontSize(), 0, nullptr);
    if (g_summary) SendMessageW(g_summary, WM_SETFONT, (WPARAM)g_spreadFont, TRUE);
    if (g_list) SendMessageW(g_list, WM_SETFONT, (WPARAM)g_spreadFont, TRUE);
    if (old) DeleteObject(old);
    SetColumnWidths();
    LayoutSpread();
}

HWND GetSpreadWindowHandle() { return g_spread; }
