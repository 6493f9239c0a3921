// The menu bar and its check marks.
#include <wchar.h>

#include "app/ui_settings.h"
#include "search/paragraph_view.h"
#include "ui/main_window.h"
#include "ui/window_ids.h"

const int REPORT_YEARS[5] = {2021, 2022, 2023, 2024, 2025};

// The names live with the report titles, which the paragraph view and the spread read back.
const wchar_t* GetReportName(int index) { return ReportNameForIndex(index); }

static HMENU BuildYearMenu(int yearIndex) {
    HMENU menu = CreatePopupMenu();
    int base = IDM_DATA_BASE + 100 * yearIndex;
    AppendMenuW(menu, MF_STRING, base, GetReportName(0));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int i = 1; i < 32; ++i) {
        wchar_t text[128];
        swprintf(text, 128, L"%d. %ls", i, GetReportName(i));
        AppendMenuW(menu, MF_STRING, base + i, text);
    }
    return menu;
}

HMENU BuildMenuBar() {
    HMENU bar = CreateMenu();

    HMENU fileMenu = CreatePopupMenu();
    AppendMenuW(fileMenu, MF_STRING, IDM_EXIT, L"退出(&X)");
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)fileMenu, L"文件(&F)");

    HMENU dataMenu = CreatePopupMenu();
    for (int y = 0; y < 5; ++y) {
        wchar_t label[32];
        swprintf(label, 32, L"%d年", REPORT_YEARS[y]);
        AppendMenuW(dataMenu, MF_POPUP, (UINT_PTR)BuildYearMenu(y), label);
    }
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)dataMenu, L"数据(&D)");

    HMENU viewMenu = CreatePopupMenu();
    HMENU fontMenu = CreatePopupMenu();
    AppendMenuW(fontMenu, MF_STRING, IDM_FONT_SMALL, L"较小(&S)");
    AppendMenuW(fontMenu, MF_STRING, IDM_FONT_NORMAL, L"标准(&N)");
    AppendMenuW(fontMenu, MF_STRING, IDM_FONT_LARGE, L"较大(&L)");
    AppendMenuW(viewMenu, MF_POPUP, (UINT_PTR)fontMenu, L"字体(&F)");
    AppendMenuW(viewMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(viewMenu, MF_STRING, IDM_CLOSE_TO_TRAY, L"关闭到托盘(&T)");
    AppendMenuW(viewMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(viewMenu, MF_STRING, IDM_SOURCE_SPREAD, L"出处分布(&S)");
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)viewMenu, L"视图(&V)");

    HMENU helpMenu = CreatePopupMenu();
    AppendMenuW(helpMenu, MF_STRING, IDM_CHECK_UPDATE, L"检查更新(&U)");
    AppendMenuW(helpMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(helpMenu, MF_STRING, IDM_PRIVACY, L"隐私政策(&P)");
    AppendMenuW(helpMenu, MF_STRING, IDM_ABOUT, L"关于(&A)");
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)helpMenu, L"帮助(&H)");
    return bar;
}

void UpdateFontMenuChecks(HWND window) {
    HMENU menu = GetMenu(window);
    if (!menu) return;
    static const int ITEMS[3] = {IDM_FONT_SMALL, IDM_FONT_NORMAL, IDM_FONT_LARGE};
    for (int level = 0; level < 3; ++level) CheckMenuItem(menu, ITEMS[level], MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(menu, ITEMS[GetFontSizeLevel()], MF_BYCOMMAND | MF_CHECKED);
}

void UpdateCloseToTrayCheck(HWND window) {
    HMENU menu = GetMenu(window);
    if (!menu) return;
    CheckMenuItem(menu, IDM_CLOSE_TO_TRAY, MF_BYCOMMAND | (GetCloseAction() == 0 ? MF_CHECKED : MF_UNCHECKED));
}
