#include "ui/main_window.h"

#include <cwchar>

#include "search/corpus_db.h"
#include "ui/window_ids.h"

HMENU BuildMenuBar() {
    HMENU bar = CreateMenu();

    HMENU fileMenu = CreatePopupMenu();
    AppendMenuW(fileMenu, MF_STRING, IDM_EXIT, L"退出(&X)");
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)fileMenu, L"文件(&F)");

    HMENU dataMenu = CreatePopupMenu();
    for (int year = 2021; year <= 2025; ++year) {
        wchar_t label[16];
        swprintf(label, 16, L"%d年", year);
        AppendMenuW(dataMenu, MF_POPUP, (UINT_PTR)CreatePopupMenu(), label);
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
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)viewMenu, L"视图(&V)");

    HMENU helpMenu = CreatePopupMenu();
    AppendMenuW(helpMenu, MF_STRING, IDM_CHECK_UPDATE, L"检查更新(&U)");
    AppendMenuW(helpMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(helpMenu, MF_STRING, IDM_PRIVACY, L"隐私政策(&P)");
    AppendMenuW(helpMenu, MF_STRING, IDM_ABOUT, L"关于(&A)");
    AppendMenuW(bar, MF_POPUP, (UINT_PTR)helpMenu, L"帮助(&H)");
    return bar;
}

int HandleMenuCommand(HWND window, int commandId) {
    switch (commandId) {
    case IDM_EXIT:
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 1;
    case IDM_TRAY_EXIT:
        DestroyWindow(window);
        return 1;
    default:
        return 0;
    }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HandleMenuCommand(window, LOWORD(wParam))) return 0;
        break;
    case WM_DESTROY:
        CorpusClose();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
