#include "search/list_drawing.h"

#include <string.h>
#include <wchar.h>

#include "search/result_lists.h"
#include "search/ui_fonts.h"
#include "ui/window_ids.h"

const wchar_t* WordEntryDisplayText(const wchar_t* entry) {
    const wchar_t* bar = wcschr(entry, L'|');
    return bar && bar - entry < 32 ? bar + 1 : entry;
}

int SplitHighlightRuns(const wchar_t* text, const HighlightTermSet* set, TextRun* runs, int capacity) {
    int n = 0;
    int pos = 0;
    int length = (int)wcslen(text);
    while (pos < length && n < capacity) {
        int matched = 0;
        for (int t = 0; set && t < set->count; ++t) {
            int termLength = (int)wcslen(set->terms[t]);
            if (termLength > 0 && termLength <= length - pos && _wcsnicmp(text + pos, set->terms[t], termLength) == 0) {
                matched = termLength;
                break;  // the first matching term wins
            }
        }
        runs[n].start = pos;
        runs[n].length = matched ? matched : 1;
        runs[n].highlighted = matched ? 1 : 0;
        pos += runs[n].length;
        ++n;
    }
    return n;
}

static void DrawHeader(const DRAWITEMSTRUCT* item) {
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(item->hDC, &item->rcItem, brush);
    DeleteObject(brush);
    wchar_t text[64] = {0};
    GetWindowTextW(item->hwndItem, text, 64);
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    HFONT font = (HFONT)SendMessageW(item->hwndItem, WM_GETFONT, 0, 0);
    HGDIOBJ previous = font ? SelectObject(item->hDC, font) : nullptr;
    RECT rect = item->rcItem;
    rect.left += 4;
    rect.bottom -= 2;
    DrawTextW(item->hDC, text, -1, &rect, DT_SINGLELINE | DT_VCENTER);
    if (previous) SelectObject(item->hDC, previous);
}

static void DrawEntry(const DRAWITEMSTRUCT* item) {
    if ((int)item->itemID == -1) return;
    wchar_t entry[512] = {0};
    LRESULT len = SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (len == LB_ERR || len >= 512) return;
    SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, (LPARAM)entry);
    wchar_t shown[512] = {0};
    wcsncpy(shown, item->CtlID == IDC_WORD_LIST ? WordEntryDisplayText(entry) : entry, 511);
    int selected = (item->itemState & ODS_SELECTED) != 0;
    COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    COLORREF fore = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(item->hDC, &item->rcItem, brush);
    DeleteObject(brush);
    SetBkMode(item->hDC, TRANSPARENT);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(item->hDC, &metrics);
    int y = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - metrics.tmHeight) / 2;
    int x = item->rcItem.left + ScaleForDpi(4);
    static TextRun runs[512];
    int count = SplitHighlightRuns(shown, GetHighlightTermSetForList((int)item->CtlID), runs, 512);
    static INT advances[512];
    for (int r = 0; r < count; ++r) {
        const wchar_t* piece = shown + runs[r].start;
        int pieceLength = runs[r].length;
        if (runs[r].highlighted || selected) {
            SetBkMode(item->hDC, OPAQUE);
            SetBkColor(item->hDC, selected ? back : TERM_HIGHLIGHT_COLOR);
            SetTextColor(item->hDC, selected ? fore : RGB(0, 0, 0));
        } else {
            SetBkMode(item->hDC, TRANSPARENT);
            SetTextColor(item->hDC, fore);
            // Plain units in a row go out in one call, each at the place its own width gives,
            // as unit-by-unit drawing puts them; surrogates still go one unit at a time.
            int units = 0, width = 0;
            while (r + units < count && !runs[r + units].highlighted &&
                   !(shown[runs[r + units].start] >= 0xD800 && shown[runs[r + units].start] <= 0xDFFF)) {
                SIZE size = {};
                GetTextExtentPoint32W(item->hDC, shown + runs[r + units].start, 1, &size);
                advances[units++] = size.cx;
                width += size.cx;
            }
            if (units > 1) {
                ExtTextOutW(item->hDC, x, y, 0, nullptr, piece, (UINT)units, advances);
                x += width;
                r += units - 1;
                continue;
            }
        }
        TextOutW(item->hDC, x, y, piece, pieceLength);
        SIZE size = {};
        GetTextExtentPoint32W(item->hDC, piece, pieceLength, &size);
        x += size.cx;
    }
    if (item->itemState & ODS_FOCUS) DrawFocusRect(item->hDC, &item->rcItem);
}

int DrawResultItem(const DRAWITEMSTRUCT* item) {
    if (!item) return 0;
    switch (item->CtlID) {
    case IDC_WORD_HEADER:
    case IDC_PHRASE_HEADER:
    case IDC_CLAUSE_HEADER: DrawHeader(item); return 1;
    case IDC_WORD_LIST:
    case IDC_PHRASE_LIST:
    case IDC_CLAUSE_LIST: DrawEntry(item); return 1;
    default: return 0;
    }
}

int MeasureResultItem(MEASUREITEMSTRUCT* item) {
    if (!item || item->CtlID < IDC_WORD_LIST || item->CtlID > IDC_CLAUSE_LIST) return 0;
    item->itemHeight = (UINT)GetListItemHeight();
    return 1;
}
