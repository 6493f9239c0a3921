// Drives a running Tivra from outside its process, for end-to-end tests.
// Usage: tivra_driver COMMAND [ARGS]; prints results as UTF-8 on stdout.
// Exit 0 on success, 1 when the window or control is missing, 2 for an unknown command,
// 3 when the window did not answer within a minute. A command that finds no main
// window waits for one (a busy machine may still be starting it) before exit 1.
// More commands live in driver_*.cpp files, each registering its own handler.
//   find                      exit 0 and print the main window handle if it exists
//   absent                    exit 0 at once when no main window exists, else 1 (no waiting)
//   title                     the main window's title
//   state                     visible=0|1 iconic=0|1
//   show SW                   ShowWindow(main, SW) with a numeric show command
//   post MSG WPARAM LPARAM    PostMessageW to the main window
//   command ID                WM_COMMAND with ID, posted to the main window
//   text ID                   WM_GETTEXT of the main window's child control ID
//   msgbox                    caption, then text, of the first message box of the thread
//   msgbox-ok                 press the message box's first button
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static DriverCommandFn g_handlers[16];
static int g_handlerCount;

int RegisterDriverCommands(DriverCommandFn handler) {
    if (g_handlerCount < 16) g_handlers[g_handlerCount++] = handler;
    return g_handlerCount;
}

HWND DriverMainWindow() { return FindWindowW(L"TivraWindowClass", nullptr); }

// How long a command waits for a main window that is not there yet.
static const DWORD MAIN_WINDOW_WAIT_MS = 15000;

static HWND WaitForMainWindow() {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND main = DriverMainWindow()) return main;
        if (GetTickCount() - start >= MAIN_WINDOW_WAIT_MS) return nullptr;
        Sleep(100);
    }
}

static bool g_timedOut;

bool DriverSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    // No SMTO_ABORTIFHUNG: a program busy for five seconds on a loaded machine is not hung.
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, DRIVER_ANSWER_MS, &answer)) {
        fprintf(stderr, "tivra_driver: window %p gave no answer to message 0x%x within %lu ms\n", (void*)window,
                message, (unsigned long)DRIVER_ANSWER_MS);
        g_timedOut = true;
        return false;
    }
    if (result) *result = (LRESULT)answer;
    return true;
}

void PrintWide(const wchar_t* text) {
    char utf8[8192];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) utf8[0] = 0;
    fwrite(utf8, 1, strlen(utf8), stdout);
    fputc('\n', stdout);
}

void PrintWideLf(const std::wstring& text) {
    std::wstring lf;
    for (wchar_t c : text)
        if (c != L'\r') lf += c;
    int n = WideCharToMultiByte(CP_UTF8, 0, lf.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, lf.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    fputs(utf8.c_str(), stdout);
    fputc('\n', stdout);
}

void PrintWindowText(HWND window) {
    wchar_t text[4096] = {0};
    DriverSend(window, WM_GETTEXT, 4096, (LPARAM)text, nullptr);
    PrintWide(text);
}

// Message boxes are top-level dialogs (#32770) with a static text (id 0xFFFF).
static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t cls[64];
    GetClassNameW(window, cls, 64);
    if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

HWND MessageBoxWindow() {
    HWND found = nullptr;
    EnumWindows(FindDialog, (LPARAM)&found);
    return found;
}

static BOOL CALLBACK FirstButton(HWND child, LPARAM found) {
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    if (_wcsicmp(cls, L"Button") == 0) {
        *(HWND*)found = child;
        return FALSE;
    }
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* command = argv[1];
    if (strcmp(command, "msgbox") == 0 || strcmp(command, "msgbox-ok") == 0) {
        HWND box = MessageBoxWindow();
        if (!box) return 1;
        if (strcmp(command, "msgbox") == 0) {
            PrintWindowText(box);
            PrintWindowText(GetDlgItem(box, 0xFFFF));
        } else {
            HWND button = nullptr;
            EnumChildWindows(box, FirstButton, (LPARAM)&button);
            if (!button) return 1;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
        }
        return 0;
    }
    if (strcmp(command, "absent") == 0) return DriverMainWindow() ? 1 : 0;
    HWND main = DriverMainWindow();
    // The progress window stands before any main window exists: waiting for one
    // would outlast the very window these commands look for.
    bool windowless = strcmp(command, "progress") == 0 || strcmp(command, "progress-watch") == 0 ||
                      strcmp(command, "progress-hold") == 0;
    for (int i = 0; i < g_handlerCount; i++) {
        int result = g_handlers[i](main, argc, argv);
        if (result == 1 && !main && !windowless && (main = WaitForMainWindow()) != nullptr)
            result = g_handlers[i](main, argc, argv);
        if (result >= 0) {
            fflush(stdout);
            if (result == 1 && !main && !windowless) fprintf(stderr, "tivra_driver: no main window after %lu ms\n", MAIN_WINDOW_WAIT_MS);
            return g_timedOut ? 3 : result;
        }
    }
    if (!main) main = WaitForMainWindow();
    if (!main) {
        fprintf(stderr, "tivra_driver: no main window after %lu ms\n", MAIN_WINDOW_WAIT_MS);
        return 1;
    }
    if (strcmp(command, "find") == 0) {
        printf("%p\n", (void*)main);
    } else if (strcmp(command, "title") == 0) {
        PrintWindowText(main);
    } else if (strcmp(command, "state") == 0) {
        printf("visible=%d iconic=%d\n", IsWindowVisible(main) ? 1 : 0, IsIconic(main) ? 1 : 0);
    } else if (strcmp(command, "show") == 0 && argc >= 3) {
        ShowWindow(main, atoi(argv[2]));
    } else if (strcmp(command, "post") == 0 && argc >= 5) {
        PostMessageW(main, (UINT)strtoul(argv[2], nullptr, 0), (WPARAM)strtoull(argv[3], nullptr, 0),
                     (LPARAM)strtoll(argv[4], nullptr, 0));
    } else if (strcmp(command, "command") == 0 && argc >= 3) {
        PostMessageW(main, WM_COMMAND, (WPARAM)strtoul(argv[2], nullptr, 0), 0);
    } else if (strcmp(command, "text") == 0 && argc >= 3) {
        HWND child = GetDlgItem(main, atoi(argv[2]));
        if (!child) return 1;
        PrintWindowText(child);
    } else {
        return 2;
    }
    fflush(stdout);
    return g_timedOut ? 3 : 0;
}

HWND DriverVisibleMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

HWND DriverAwaitMenu(int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (HWND menu = DriverVisibleMenu()) return menu;
        Sleep(50);
    }
    return nullptr;
}
