// Search commands of the driver. Texts go in as UTF-16 hex (4 digits a unit) so
// no code page stands between the test and the window; they come out as UTF-8.
//   search-set HEX                 WM_SETTEXT on the search box (the box sends EN_CHANGE)
//   search-lists                   each list: "== ID", its header, "n=COUNT", one entry a line; first
//                                  waits until every list holds the count its header shows
//   search-pick ID INDEX           select the entry and send the list's LBN_SELCHANGE
//   search-view                    the paragraph header, then the view's text (CRLF as LF)
//   search-view-select START END   EM_SETSEL on the view
//   search-view-copy               right button click in the view, take the menu's first item; prints the clipboard
//   search-menu-shown ID           right button click on child ID; prints 1 if a menu opened (and closes it), else 0
//   search-rect ID                 the child's client area on the screen: left top right bottom
//   search-item-height ID          the list's row height
//   search-key ID VK               WM_KEYDOWN and WM_KEYUP of VK sent to child ID
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "driver.h"

static std::wstring FromHex(const char* hex) {
    std::wstring out;
    for (size_t i = 0; i + 4 <= strlen(hex); i += 4) {
        char unit[5] = {hex[i], hex[i + 1], hex[i + 2], hex[i + 3], 0};
        out += (wchar_t)strtoul(unit, nullptr, 16);
    }
    return out;
}

static std::wstring TextOf(HWND window) {
    LRESULT length = 0;
    DriverSend(window, WM_GETTEXTLENGTH, 0, 0, &length);
    std::wstring text((size_t)length + 2, L'\0');
    DriverSend(window, WM_GETTEXT, (WPARAM)text.size(), (LPARAM)&text[0], nullptr);
    text.resize(wcslen(text.c_str()));
    return text;
}

// The count in a header such as 词汇(12), or -1 for a header without one.
static int HeaderCount(const std::wstring& header) {
    size_t open = header.find(L'(');
    return open == std::wstring::npos ? -1 : _wtoi(header.c_str() + open + 1);
}

// Rows beyond the first screen arrive in slices; the header has the full count at once.
static bool ListsComplete(HWND main) {
    for (int c = 0; c < 3; ++c) {
        HWND list = GetDlgItem(main, 2001 + c);
        HWND header = GetDlgItem(main, 2011 + c);
        if (!list || !header) return false;  // a list between two windows: look again
        int expected = HeaderCount(TextOf(header));
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return false;
        if (expected >= 0 && (int)count != expected) return false;
    }
    return true;
}

struct FoundHeader {
    HWND window;
};

// The paragraph header is the static whose text begins with 段落.
static BOOL CALLBACK FindParagraphHeader(HWND child, LPARAM found) {
    wchar_t cls[32];
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") != 0) return TRUE;
    std::wstring text = TextOf(child);
    if (text.compare(0, 2, L"段落") == 0) {
        ((FoundHeader*)found)->window = child;
        return FALSE;
    }
    return TRUE;
}

// A right button click on the control itself; it turns it into WM_CONTEXTMENU.
static void RightClickInView(HWND, HWND control) {
    PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 20));
    PostMessageW(control, WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
}

static int SearchCommands(HWND main, int argc, char** argv) {
    const char* command = argv[1];
    bool known = !strcmp(command, "search-set") || !strcmp(command, "search-lists") || !strcmp(command, "search-pick") ||
                 !strcmp(command, "search-view") || !strcmp(command, "search-view-select") || !strcmp(command, "search-view-copy") ||
                 !strcmp(command, "search-menu-shown") || !strcmp(command, "search-rect") ||
                 !strcmp(command, "search-item-height") || !strcmp(command, "search-key");
    if (!known) return -1;
    if (!main) return 1;
    HWND view = GetDlgItem(main, 4001);
    if (!strcmp(command, "search-set")) {
        HWND box = GetDlgItem(main, 1001);
        if (!box) return 1;
        std::wstring text = FromHex(argc >= 3 ? argv[2] : "");
        DriverSend(box, WM_SETTEXT, 0, (LPARAM)text.c_str(), nullptr);
    } else if (!strcmp(command, "search-lists")) {
        DWORD deadline = GetTickCount() + 60000;
        while (!ListsComplete(main) && (int)(GetTickCount() - deadline) < 0) Sleep(20);
        for (int c = 0; c < 3; ++c) {
            HWND list = GetDlgItem(main, 2001 + c);
            HWND header = GetDlgItem(main, 2011 + c);
            if (!list || !header) return 1;
            printf("== %d\n", 2001 + c);
            PrintWideLf(TextOf(header));
            int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
            printf("n=%d\n", count);
            for (int i = 0; i < count; ++i) {
                wchar_t entry[512] = {0};
                SendMessageW(list, LB_GETTEXT, (WPARAM)i, (LPARAM)entry);
                PrintWideLf(entry);
            }
        }
    } else if (!strcmp(command, "search-pick") && argc >= 4) {
        HWND list = GetDlgItem(main, atoi(argv[2]));
        if (!list) return 1;
        SendMessageW(list, LB_SETCURSEL, (WPARAM)atoi(argv[3]), 0);
        DriverSend(main, WM_COMMAND, MAKEWPARAM(atoi(argv[2]), LBN_SELCHANGE), (LPARAM)list, nullptr);
    } else if (!strcmp(command, "search-view")) {
        FoundHeader found = {nullptr};
        EnumChildWindows(main, FindParagraphHeader, (LPARAM)&found);
        if (!found.window || !view) return 1;
        PrintWideLf(TextOf(found.window));
        PrintWideLf(TextOf(view));
    } else if (!strcmp(command, "search-view-select") && argc >= 4) {
        if (!view) return 1;
        SendMessageW(view, EM_SETSEL, (WPARAM)atoi(argv[2]), (LPARAM)atoi(argv[3]));
    } else if (!strcmp(command, "search-view-copy")) {
        if (!view) return 1;
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        RightClickInView(main, view);
        HWND menu = DriverAwaitMenu(5000);
        if (!menu) return 1;
        Sleep(100);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        for (int i = 0; i < 40 && DriverVisibleMenu(); ++i) Sleep(50);
        Sleep(200);
        std::wstring text;
        if (OpenClipboard(nullptr)) {
            HANDLE data = GetClipboardData(CF_UNICODETEXT);
            if (const wchar_t* p = data ? (const wchar_t*)GlobalLock(data) : nullptr) {
                text = p;
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        PrintWideLf(text);
    } else if (!strcmp(command, "search-menu-shown") && argc >= 3) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        RightClickInView(main, child);
        HWND menu = DriverAwaitMenu(1500);
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        printf("%d\n", menu ? 1 : 0);
    } else if (!strcmp(command, "search-rect") && argc >= 3) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        // Screen position of the client area, from the window rectangle and the border.
        RECT w, c;
        GetWindowRect(child, &w);
        GetClientRect(child, &c);
        long border = ((w.bottom - w.top) - c.bottom) / 2;
        printf("%ld %ld %ld %ld\n", w.left + border, w.top + border, w.left + border + c.right, w.top + border + c.bottom);
    } else if (!strcmp(command, "search-key") && argc >= 4) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        WPARAM vk = (WPARAM)strtoul(argv[3], nullptr, 0);
        DriverSend(child, WM_KEYDOWN, vk, 1, nullptr);
        DriverSend(child, WM_KEYUP, vk, (LPARAM)0xC0000001, nullptr);
    } else if (!strcmp(command, "search-item-height") && argc >= 3) {
        HWND list = GetDlgItem(main, atoi(argv[2]));
        if (!list) return 1;
        printf("%d\n", (int)SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    } else {
        return 2;
    }
    return 0;
}

DRIVER_COMMANDS(SearchCommands);
