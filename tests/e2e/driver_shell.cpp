// Driver commands for the application shell: menus, layout, tray, privacy
// window.
//   menu                      every menu bar item: depth, id, checked, text
//   (one per line) rect ID                   x y w h of child ID in the main
//   window's client area client                    width height of the main
//   window's client area window-rect               left top right bottom of the
//   main window set-client W H            resize the main window so its client
//   area is W x H set-size W H              SetWindowPos the main window's
//   outer size move-child ID X Y W H     move child ID (to see whether a layout
//   runs) popup                     the items of the open popup menu (#32768):
//   id, text popup-pick N              choose the Nth selectable item (from 0)
//   of the open popup menu popup-close               close the open popup menu
//   item-height ID            LB_GETITEMHEIGHT of list ID
//   paragraph-header          rect and text of the paragraph header (the static reading 段落...)
//   set-text ID TEXT          WM_SETTEXT on child ID (the search box sends EN_CHANGE)
//   pick ID INDEX             select row INDEX of list ID as a click would (LBN_SELCHANGE)
//   status                    the status bar's part count, then each part's length in UTF-16 units
//   popup-exists              exit 0 when a popup menu is open, 1 otherwise
//   enabled                   0 or 1: whether the main window takes input
//   foreground                1 when the main window is the foreground window
//   privacy                   the privacy window: exists, rect, topmost, owner,
//   texts privacy-key VK            post WM_KEYDOWN VK to the privacy text box
//   privacy-button            post WM_LBUTTONUP to the privacy window's button
//   privacy-close             post WM_CLOSE to the privacy window (the
//   title-bar close) privacy-rclick            right click on the policy text
//   privacy-select A B        post EM_SETSEL A B to the policy text (behind earlier posted input)
//   privacy-selection         start end of the policy text's selection
//   privacy-text              the policy text (WM_GETTEXT of the text box)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <commctrl.h>
#include <shellapi.h>

#include "driver.h"

// Menus cannot be read from another process under Wine: the probe DLL, hooked
// into Tivra's thread, dumps them into a shared mapping. which: 0 the menu bar,
// 1 the menu handle given.
static int ProbeMenu(HWND target, WPARAM which, LPARAM menu) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return 1;
    wcscpy(slash + 1, L"ui\\shell_probe.dll");
    HMODULE dll = LoadLibraryW(path);
    HOOKPROC proc = dll ? (HOOKPROC)(void*)GetProcAddress(dll, "ShellProbeHook") : nullptr;
    if (!proc) {
        fprintf(stderr, "no probe dll\n");
        return 1;
    }
    const int chars = 65536;
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, chars * 2, L"Local\\TivraShellProbe");
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TivraShellProbeDone");
    wchar_t* view = mapping ? (wchar_t*)MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (!view || !done) return 1;
    view[0] = 0;
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, proc, dll, thread);
    if (!hook) return 1;
    static UINT probeMessage = RegisterWindowMessageW(L"TivraShellProbe");
    DriverSend(target, probeMessage, which, menu, nullptr);
    int result = WaitForSingleObject(done, 5000) == WAIT_OBJECT_0 ? 0 : 1;
    UnhookWindowsHookEx(hook);
    view[chars - 1] = 0;
    if (result == 0) {
        char utf8[200000];
        if (WideCharToMultiByte(CP_UTF8, 0, view, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) utf8[0] = 0;
        fwrite(utf8, 1, strlen(utf8), stdout);
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(done);
    return result;
}

static int Rect(HWND main, HWND child) {
    if (!child) return 1;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, (POINT*)&r, 2);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

static HWND FindTopLevel(const wchar_t* cls) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, cls, nullptr)) != nullptr)
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

static int Privacy(HWND main) {
    HWND dialog = FindWindowW(L"PrivacyDialogClass", nullptr);
    if (!dialog) {
        printf("exists=0\n");
        return 0;
    }
    RECT r;
    GetWindowRect(dialog, &r);
    printf("exists=1 visible=%d\n", IsWindowVisible(dialog) ? 1 : 0);
    printf("rect=%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    printf("topmost=%d\n", (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0);
    printf("owner=%d\n", GetWindow(dialog, GW_OWNER) == main ? 1 : 0);
    printf("foreground=%d\n", GetForegroundWindow() == dialog ? 1 : 0);
    HWND text = GetDlgItem(dialog, 101), button = GetDlgItem(dialog, IDOK);
    printf("text=%d button=%d\n", text ? 1 : 0, button ? 1 : 0);
    if (text) {
        GetWindowRect(text, &r);
        MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
        printf("text-rect=%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        LONG style = GetWindowLongW(text, GWL_STYLE);
        printf("text-readonly=%d\nmultiline=%d\n", (style & ES_READONLY) ? 1 : 0, (style & ES_MULTILINE) ? 1 : 0);
    }
    if (button) {
        GetWindowRect(button, &r);
        MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
        printf("button-rect=%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        wchar_t label[64] = {0};
        DriverSend(button, WM_GETTEXT, 64, (LPARAM)label, nullptr);
        fflush(stdout);
        wchar_t line[80];
        _snwprintf(line, 80, L"button-text=%ls", label);
        line[79] = 0;
        PrintWide(line);
    }
    RECT client;
    GetClientRect(dialog, &client);
    printf("client=%ld %ld\n", client.right, client.bottom);
    wchar_t title[64] = {0};
    DriverSend(dialog, WM_GETTEXT, 64, (LPARAM)title, nullptr);
    fflush(stdout);
    wchar_t line[80];
    _snwprintf(line, 80, L"title=%ls", title);
    line[79] = 0;
    PrintWide(line);
    return 0;
}

struct TextMatch {
    const wchar_t* prefix;
    HWND found;
};

static BOOL CALLBACK MatchChildText(HWND child, LPARAM param) {
    TextMatch* match = (TextMatch*)param;
    wchar_t text[256] = {0};
    DriverSend(child, WM_GETTEXT, 256, (LPARAM)text, nullptr);
    if (wcsncmp(text, match->prefix, wcslen(match->prefix)) != 0) return TRUE;
    wchar_t cls[32];
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") != 0) return TRUE;
    match->found = child;
    return FALSE;
}

// The wide form of argument i: the narrow argv loses Chinese text under Wine.
static void WideArg(int i, wchar_t* out, int count) {
    int n = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &n);
    out[0] = 0;
    if (args && i < n) {
        wcsncpy(out, args[i], count - 1);
        out[count - 1] = 0;
    }
    LocalFree(args);
}

static int ShellCommands(HWND main, int argc, char** argv) {
    const char* c = argv[1];
    if (strcmp(c, "popup") == 0 || strcmp(c, "popup-pick") == 0 || strcmp(c, "popup-close") == 0) {
        HWND popup = FindTopLevel(L"#32768");
        if (!popup) return 1;
        if (strcmp(c, "popup") == 0) {
            HMENU menu = (HMENU)SendMessageW(popup, MN_GETHMENU, 0, 0);
            if (!menu) return 1;
            return ProbeMenu(GetWindow(popup, GW_OWNER) ? GetWindow(popup, GW_OWNER) : main, 1, (LPARAM)menu);
        } else if (strcmp(c, "popup-close") == 0) {
            PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        } else {
            // By keyboard, as a user would: DOWN moves over the selectable items
            // only.
            if (argc < 3) return 1;
            int downs = atoi(argv[2]) + 1;
            for (int k = 0; k < downs; ++k) PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
            return 0;
        }
        fflush(stdout);
        return 0;
    }
    if (strcmp(c, "privacy") == 0) return main ? Privacy(main) : 1;
    if (strncmp(c, "privacy-", 8) == 0) {
        HWND dialog = FindWindowW(L"PrivacyDialogClass", nullptr);
        if (!dialog) return 1;
        HWND text = GetDlgItem(dialog, 101), button = GetDlgItem(dialog, IDOK);
        if (strcmp(c, "privacy-key") == 0 && argc >= 3 && text) {
            PostMessageW(text, WM_KEYDOWN, (WPARAM)strtoul(argv[2], nullptr, 0), 1);
        } else if (strcmp(c, "privacy-button") == 0 && button) {
            PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        } else if (strcmp(c, "privacy-close") == 0) {
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (strcmp(c, "privacy-rclick") == 0 && text) {
            PostMessageW(text, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
            PostMessageW(text, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
            RECT r;
            GetWindowRect(text, &r);
            PostMessageW(text, WM_CONTEXTMENU, (WPARAM)text, MAKELPARAM(r.left + 20, r.top + 20));
        } else if (strcmp(c, "privacy-select") == 0 && argc >= 4 && text) {
            PostMessageW(text, EM_SETSEL, (WPARAM)atoi(argv[2]), (LPARAM)atoi(argv[3]));
        } else if (strcmp(c, "privacy-selection") == 0 && text) {
            DWORD range = (DWORD)SendMessageW(text, EM_GETSEL, 0, 0);
            printf("%u %u\n", LOWORD(range), HIWORD(range));
        } else if (strcmp(c, "privacy-text") == 0 && text) {
            PrintWindowText(text);
        } else {
            return 1;
        }
        fflush(stdout);
        return 0;
    }
    if (!main) return -1;
    if (strcmp(c, "menu") == 0) {
        return ProbeMenu(main, 0, 0);
    } else if (strcmp(c, "rect") == 0 && argc >= 3) {
        return Rect(main, GetDlgItem(main, atoi(argv[2])));
    } else if (strcmp(c, "client") == 0) {
        RECT r;
        GetClientRect(main, &r);
        printf("%ld %ld\n", r.right, r.bottom);
    } else if (strcmp(c, "window-rect") == 0) {
        RECT r;
        GetWindowRect(main, &r);
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    } else if (strcmp(c, "set-client") == 0 && argc >= 4) {
        RECT outer, client;
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        int w = atoi(argv[2]) + (outer.right - outer.left) - client.right;
        int h = atoi(argv[3]) + (outer.bottom - outer.top) - client.bottom;
        SetWindowPos(main, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (strcmp(c, "set-size") == 0 && argc >= 4) {
        SetWindowPos(main, nullptr, 0, 0, atoi(argv[2]), atoi(argv[3]), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (strcmp(c, "move-child") == 0 && argc >= 7) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        SetWindowPos(child, nullptr, atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), SWP_NOZORDER);
    } else if (strcmp(c, "item-height") == 0 && argc >= 3) {
        HWND list = GetDlgItem(main, atoi(argv[2]));
        if (!list) return 1;
        printf("%d\n", (int)SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    } else if (strcmp(c, "paragraph-header") == 0) {
        TextMatch match = {L"段落", nullptr};
        EnumChildWindows(main, MatchChildText, (LPARAM)&match);
        if (!match.found) return 1;
        Rect(main, match.found);
        PrintWindowText(match.found);
    } else if (strcmp(c, "set-text") == 0 && argc >= 4) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        wchar_t text[256];
        WideArg(3, text, 256);
        DriverSend(child, WM_SETTEXT, 0, (LPARAM)text, nullptr);
    } else if (strcmp(c, "pick") == 0 && argc >= 4) {
        int id = atoi(argv[2]);
        HWND list = GetDlgItem(main, id);
        if (!list) return 1;
        SendMessageW(list, LB_SETCURSEL, (WPARAM)atoi(argv[3]), 0);
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)list);
    } else if (strcmp(c, "status") == 0) {
        HWND bar = GetDlgItem(main, 6001);
        if (!bar) return 1;
        int parts = (int)SendMessageW(bar, SB_GETPARTS, 0, 0);
        printf("%d", parts);
        for (int i = 0; i < parts; ++i) printf(" %d", LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, i, 0)));
        printf("\n");
    } else if (strcmp(c, "popup-exists") == 0) {
        return FindTopLevel(L"#32768") ? 0 : 1;
    } else if (strcmp(c, "enabled") == 0) {
        printf("%d\n", IsWindowEnabled(main) ? 1 : 0);
    } else if (strcmp(c, "foreground") == 0) {
        printf("%d\n", GetForegroundWindow() == main ? 1 : 0);
    } else {
        return -1;
    }
    fflush(stdout);
    return 0;
}

DRIVER_COMMANDS(ShellCommands);
