// Driver commands for the network tests: the update boxes in detail. They see
// only boxes of the process that owns the main window: unit tests running at the
// same time in the same Wine prefix show boxes of their own.
//   msgbox-info               caption, text, "buttons=ID,ID..." and "owner=main|other|none"
//                             of Tivra's first visible message box
//   msgbox-press ID           press that box's button ID (IDYES 6, IDNO 7, IDOK 1)
//   msgbox-count              how many message boxes of Tivra are visible
//   window-class CLASS        exit 0 when a visible top-level window of CLASS exists
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"

struct ButtonList {
    int ids[8];
    int count;
};

static BOOL CALLBACK CollectButton(HWND child, LPARAM list) {
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    ButtonList* buttons = (ButtonList*)list;
    if (_wcsicmp(cls, L"Button") == 0 && IsWindowVisible(child) && buttons->count < 8)
        buttons->ids[buttons->count++] = GetDlgCtrlID(child);
    return TRUE;
}

struct ClassSearch {
    const wchar_t* name;
    DWORD process;  // 0: any process
    int count;
    HWND first;
};

static BOOL CALLBACK CountClass(HWND window, LPARAM search) {
    ClassSearch* s = (ClassSearch*)search;
    wchar_t cls[128];
    GetClassNameW(window, cls, 128);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (IsWindowVisible(window) && wcscmp(cls, s->name) == 0 && (!s->process || process == s->process)) {
        if (!s->first) s->first = window;
        s->count++;
    }
    return TRUE;
}

static ClassSearch FindVisible(const wchar_t* className, HWND ofWindowsProcess) {
    ClassSearch search = {className, 0, 0, nullptr};
    if (ofWindowsProcess) GetWindowThreadProcessId(ofWindowsProcess, &search.process);
    EnumWindows(CountClass, (LPARAM)&search);
    return search;
}

static HWND TivraBox(HWND mainWindow) { return mainWindow ? FindVisible(L"#32770", mainWindow).first : nullptr; }

static int NetCommands(HWND mainWindow, int argc, char** argv) {
    const char* command = argv[1];
    if (strcmp(command, "msgbox-info") == 0) {
        HWND box = TivraBox(mainWindow);
        if (!box) return 1;
        PrintWindowText(box);
        PrintWindowText(GetDlgItem(box, 0xFFFF));
        ButtonList buttons = {};
        EnumChildWindows(box, CollectButton, (LPARAM)&buttons);
        printf("buttons=");
        for (int i = 0; i < buttons.count; i++) printf(i ? ",%d" : "%d", buttons.ids[i]);
        HWND owner = GetWindow(box, GW_OWNER);
        printf("\nowner=%s\n", !owner ? "none" : owner == mainWindow ? "main" : "other");
        return 0;
    }
    if (strcmp(command, "msgbox-press") == 0 && argc >= 3) {
        HWND box = TivraBox(mainWindow);
        if (!box) return 1;
        int id = atoi(argv[2]);
        HWND button = GetDlgItem(box, id);
        if (!button) return 1;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
        return 0;
    }
    if (strcmp(command, "msgbox-count") == 0) {
        printf("%d\n", mainWindow ? FindVisible(L"#32770", mainWindow).count : 0);
        return 0;
    }
    if (strcmp(command, "window-class") == 0 && argc >= 3) {
        wchar_t name[128];
        if (MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, name, 128) <= 0) return 2;
        return FindVisible(name, nullptr).count > 0 ? 0 : 1;
    }
    return -1;
}

DRIVER_COMMANDS(NetCommands);
