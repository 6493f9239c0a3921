#include "ui/main_window.h"

#include <commctrl.h>
#include <dwmapi.h>

#include "app/ui_settings.h"
#include "corpus/corpus_db.h"
#include "search/list_drawing.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "ui/about_box.h"
#include "ui/layout.h"
#include "ui/privacy_dialog.h"
#include "ui/spread_window.h"
#include "ui/status_bar.h"
#include "ui/tray_icon.h"
#include "ui/window_ids.h"
#include "update/update_check.h"

static void InitControlClasses(DWORD classes) {
    INITCOMMONCONTROLSEX init = {sizeof init, classes};
    InitCommonControlsEx(&init);
}

static void OnCreate(HWND window, const CREATESTRUCTW* create) {
    DWORD corners = 1;  // DWMWCP_DONOTROUND; older systems reject the attribute
    DwmSetWindowAttribute(window, 33, &corners, sizeof corners);
    HINSTANCE instance = create->hInstance;
    InitControlClasses(ICC_STANDARD_CLASSES);
    CreateSearchBox(window, instance);
    InitControlClasses(ICC_LISTVIEW_CLASSES);
    CreateResultLists(window, instance);
    LoadRichEditLibrary();
    CreateParagraphView(window, instance);
    InitControlClasses(ICC_BAR_CLASSES);
    CreateStatusBar(window, instance);
    LayoutMainWindow(window);
    ShowIdleWordList();
    UpdateFontMenuChecks(window);
    UpdateCloseToTrayCheck(window);
    AddTrayIcon(window, instance);
}

static void OnDestroy() {
    RemoveTrayIcon();
    ReleaseResultLists();
    ReleaseParagraphView();
    CorpusClose();
    PostQuitMessage(0);
}

static void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    FillRect(dc, &ps.rcPaint, (HBRUSH)(COLOR_WINDOW + 1));
    EndPaint(window, &ps);
}

static void OnClose(HWND window) {
    if (GetCloseAction() == 1)
        DestroyWindow(window);
    else
        ShowWindow(window, SW_HIDE);
}

static void OnCommand(HWND window, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDM_TRAY_SHOW:
        ShowFromTray(window);
        return;
    case IDM_TRAY_EXIT:
        DestroyWindow(window);
        return;
    default:
        break;
    }
    if (OnResultListCommand(wParam)) return;
    if (OnSearchBoxCommand(wParam)) return;
    HandleMenuCommand(window, LOWORD(wParam));
}

void RefreshUiFonts(HWND window) {
    RefreshSearchBoxFont();
    RefreshResultListFonts();
    RefreshParagraphViewFont();
    RefreshStatusBarFont();
    RefreshSpreadWindowFont();
    LayoutMainWindow(window);
    InvalidateRect(window, nullptr, TRUE);
}

static void OnDpiChanged(HWND window, const RECT* suggested) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RefreshUiFonts(window);
}

static void OnUpdateResult(HWND window, WPARAM wParam, UpdateInfo* info) {
    int code = LOWORD(wParam);
    int silent = HIWORD(wParam);
    switch (code) {
    case UPDATE_UP_TO_DATE:
        ShowUpdateResult(window, info, silent);
        break;
    case UPDATE_AVAILABLE:
        ShowUpdateResult(window, info, 0);  // an offer shows after a silent check too
        break;
    case UPDATE_NETWORK_ERROR:
        if (!silent) MessageBoxW(window, L"无法连接到更新服务器，请检查网络连接。", L"检查更新", MB_ICONWARNING);
        break;
    case UPDATE_BAD_MANIFEST:
        if (!silent) MessageBoxW(window, L"解析更新信息失败，请稍后重试。", L"检查更新", MB_ICONWARNING);
        break;
    default:
        if (!silent) MessageBoxW(window, L"检查更新时发生未知错误。", L"检查更新", MB_ICONERROR);
        break;
    }
    if (info) FreeUpdateInfo(info);
}

static void OnDataMenuPick(int year, int reportIndex) { ShowReportParagraphs(year, reportIndex); }

static void OnFontLevelCommand(HWND window, int level) {
    SetFontSizeLevel(level);
    SaveFontSizeLevel();
    UpdateFontMenuChecks(window);
    // Posted, so the refresh runs after the menu command has finished.
    PostMessageW(window, MSG_FONT_CHANGED, 0, 0);
}

static void OnCloseToTrayCommand(HWND window) {
    SetCloseAction(GetCloseAction() == 0 ? 1 : 0);
    SaveCloseAction();
    UpdateCloseToTrayCheck(window);
}

int HandleMenuCommand(HWND window, int id) {
    unsigned dataOffset = (unsigned short)(id - IDM_DATA_BASE);
    if (dataOffset <= 499) {
        PostMessageW(window, MSG_DATA_MENU_PICK, 2021 + dataOffset / 100, dataOffset % 100);
        return 1;
    }
    switch (id) {
    case IDM_EXIT:
        PostMessageW(window, WM_CLOSE, 0, 0);  // follows the close action
        return 1;
    case IDM_FONT_SMALL:
    case IDM_FONT_NORMAL:
    case IDM_FONT_LARGE:
        OnFontLevelCommand(window, id - IDM_FONT_SMALL);
        return 1;
    case IDM_CLOSE_TO_TRAY:
        OnCloseToTrayCommand(window);
        return 1;
    case IDM_CHECK_UPDATE:
        StartUpdateCheck(window, 0);
        return 1;
    case IDM_PRIVACY:
        ShowPrivacyDialog(window);
        return 1;
    case IDM_ABOUT:
        ShowAboutBox(window);
        return 1;
    case IDM_SOURCE_SPREAD:
        ShowSourceSpread(window);
        return 1;
    case IDM_COPY_WITH_SOURCE:
        CopyParagraphsWithSource(nullptr);  // the selection, else the caret's paragraph
        return 1;
    default:
        return 0;
    }
}

// Ctrl+D anywhere in the main window; Ctrl+Shift+C in the paragraph view.
int TranslateMainWindowKeys(HWND window, MSG* msg) {
    static HACCEL windowKeys, viewKeys;
    if (!window || !msg->hwnd || GetAncestor(msg->hwnd, GA_ROOT) != window) return 0;
    if (!windowKeys) {
        ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'D', IDM_SOURCE_SPREAD}};
        windowKeys = CreateAcceleratorTableW(keys, 1);
    }
    if (!viewKeys) {
        ACCEL keys[] = {{FVIRTKEY | FCONTROL | FSHIFT, 'C', IDM_COPY_WITH_SOURCE}};
        viewKeys = CreateAcceleratorTableW(keys, 1);
    }
    if (msg->hwnd == GetParagraphViewHandle() && viewKeys && TranslateAcceleratorW(window, viewKeys, msg)) return 1;
    return windowKeys && TranslateAcceleratorW(window, windowKeys, msg);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window, (const CREATESTRUCTW*)lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            LayoutMainWindow(window);
            InvalidateRect(window, nullptr, TRUE);
        }
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_GETMINMAXINFO:
        ((MINMAXINFO*)lParam)->ptMinTrackSize = POINT{ScaleForDpi(300), ScaleForDpi(400)};
        return 0;
    case WM_DRAWITEM:
        return DrawResultItem((const DRAWITEMSTRUCT*)lParam) ? 1 : 0;
    case WM_MEASUREITEM:
        return MeasureResultItem((MEASUREITEMSTRUCT*)lParam) ? 1 : 0;
    case WM_CONTEXTMENU:
        OnParagraphContextMenu(window, lParam);
        return 0;
    case WM_COMMAND:
        OnCommand(window, wParam);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, (const RECT*)lParam);
        return 0;
    case MSG_FONT_CHANGED:
        RefreshUiFonts(window);
        return 0;
    case MSG_UPDATE_RESULT:
        OnUpdateResult(window, wParam, (UpdateInfo*)lParam);
        return 0;
    case MSG_TRAY_NOTIFY:
        OnTrayNotify(window, lParam);
        return 0;
    case MSG_DATA_MENU_PICK:
        OnDataMenuPick((int)wParam, (int)lParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
