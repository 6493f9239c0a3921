// Spread window and copy-with-source commands of the driver. The list view lives
// in the program's process, so its texts are read through memory allocated there.
//   spread-state                   "open=0|1 visible=0|1 owner=0|1 summary-height=PX"
//   spread-read                    title, summary, column headings (tab-joined), then one row a line
//   spread-key VK                  WM_KEYDOWN of VK posted to the spread window's list
//   spread-dblclick ROW COLUMN     a left double-click posted at the centre of that cell
//   spread-rect                    the spread window's rectangle on the screen: left top right bottom
//   keys-main MODS VK              foreground the main window, then type VK with modifiers (c, s: Ctrl, Shift)
//   click-view X Y                 foreground the main window and left-click the view at client X, Y
//   clipboard                      the clipboard's CF_UNICODETEXT (CRLF as LF), or "<none>"
//   clipboard-clear                empty the clipboard
//   view-menu-pick N               right-click the view, take menu item N (1-based), print the clipboard
//   view-menu-keyboard             Shift+F10 in the focused view; prints 1 if a menu opened (and closes it)
#include "driver.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

static HWND SpreadWindow() { return FindWindowW(L"TivraSpreadClass", nullptr); }

static std::wstring TextOfWindow(HWND window) {
    wchar_t text[2048] = {0};
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

// A block of memory in the window's process for one list-view exchange.
struct Remote {
    HANDLE process;
    char* base;
};

static bool RemoteOpen(HWND window, Remote* r) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    r->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!r->process) return false;
    r->base = (char*)VirtualAllocEx(r->process, nullptr, 8192, MEM_COMMIT, PAGE_READWRITE);
    return r->base != nullptr;
}

static void RemoteClose(Remote* r) {
    if (r->base) VirtualFreeEx(r->process, r->base, 0, MEM_RELEASE);
    if (r->process) CloseHandle(r->process);
}

static std::wstring CellText(HWND list, Remote* r, int item, int column) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.cchTextMax = 1024;
    cell.pszText = (wchar_t*)(r->base + 1024);
    WriteProcessMemory(r->process, r->base, &cell, sizeof cell, nullptr);
    SendMessageTimeoutW(list, LVM_GETITEMTEXTW, (WPARAM)item, (LPARAM)r->base, SMTO_ABORTIFHUNG, 5000, nullptr);
    wchar_t text[1024] = {0};
    ReadProcessMemory(r->process, r->base + 1024, text, sizeof text - sizeof(wchar_t), nullptr);
    return text;
}

static std::wstring HeadingText(HWND header, Remote* r, int column) {
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.cchTextMax = 1024;
    item.pszText = (wchar_t*)(r->base + 1024);
    WriteProcessMemory(r->process, r->base, &item, sizeof item, nullptr);
    SendMessageTimeoutW(header, HDM_GETITEMW, (WPARAM)column, (LPARAM)r->base, SMTO_ABORTIFHUNG, 5000, nullptr);
    wchar_t text[1024] = {0};
    ReadProcessMemory(r->process, r->base + 1024, text, sizeof text - sizeof(wchar_t), nullptr);
    return text;
}

static int ReadSpread() {
    HWND spread = SpreadWindow();
    HWND list = spread ? GetDlgItem(spread, 5001) : nullptr;
    if (!list) return 1;
    Remote r = {nullptr, nullptr};
    if (!RemoteOpen(list, &r)) {
        RemoteClose(&r);
        return 1;
    }
    PrintWideLf(TextOfWindow(spread));
    PrintWideLf(TextOfWindow(GetDlgItem(spread, 5002)));
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    int columns = header ? (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    std::wstring line;
    for (int c = 0; c < columns; ++c) line += (c ? L"\t" : L"") + HeadingText(header, &r, c);
    PrintWideLf(line);
    int rows = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < rows; ++i) {
        line.clear();
        for (int c = 0; c < columns; ++c) line += (c ? L"\t" : L"") + CellText(list, &r, i, c);
        PrintWideLf(line);
    }
    RemoteClose(&r);
    return 0;
}

static int DoubleClickCell(int item, int column) {
    HWND spread = SpreadWindow();
    HWND list = spread ? GetDlgItem(spread, 5001) : nullptr;
    if (!list) return 1;
    Remote r = {nullptr, nullptr};
    if (!RemoteOpen(list, &r)) {
        RemoteClose(&r);
        return 1;
    }
    RECT rect = {LVIR_BOUNDS, column, 0, 0};
    WriteProcessMemory(r.process, r.base, &rect, sizeof rect, nullptr);
    SendMessageTimeoutW(list, LVM_GETSUBITEMRECT, (WPARAM)item, (LPARAM)r.base, SMTO_ABORTIFHUNG, 5000, nullptr);
    ReadProcessMemory(r.process, r.base, &rect, sizeof rect, nullptr);
    RemoteClose(&r);
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    return 0;
}

static void Key(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

static void Foreground(HWND window) {
    SetForegroundWindow(window);
    for (int i = 0; i < 100 && GetForegroundWindow() != window; ++i) Sleep(20);
}

static void TypeKeys(HWND main, const char* mods, WORD vk) {
    Foreground(main);
    bool ctrl = strchr(mods, 'c') != nullptr, shift = strchr(mods, 's') != nullptr;
    if (ctrl) Key(VK_CONTROL, false);
    if (shift) Key(VK_SHIFT, false);
    Key(vk, false);
    Key(vk, true);
    if (shift) Key(VK_SHIFT, true);
    if (ctrl) Key(VK_CONTROL, true);
}

static void ClickAt(HWND control, int x, int y) {
    POINT pt = {x, y};
    ClientToScreen(control, &pt);
    SetCursorPos(pt.x, pt.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
}

static std::wstring ClipboardText(bool* present) {
    std::wstring text;
    *present = false;
    for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t* p = data ? (const wchar_t*)GlobalLock(data) : nullptr) {
        text = p;
        *present = true;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

static int SpreadCommands(HWND main, int argc, char** argv) {
    const char* command = argv[1];
    if (!strcmp(command, "spread-state")) {
        HWND spread = SpreadWindow();
        RECT summary = {0, 0, 0, 0};
        if (HWND line = spread ? GetDlgItem(spread, 5002) : nullptr) GetWindowRect(line, &summary);
        printf("open=%d visible=%d owner=%d summary-height=%ld\n", spread ? 1 : 0,
               spread && IsWindowVisible(spread) ? 1 : 0, spread && main && GetWindow(spread, GW_OWNER) == main ? 1 : 0,
               summary.bottom - summary.top);
        return 0;
    }
    if (!strcmp(command, "spread-read")) return ReadSpread();
    if (!strcmp(command, "spread-key") && argc >= 3) {
        HWND spread = SpreadWindow();
        HWND list = spread ? GetDlgItem(spread, 5001) : nullptr;
        if (!list) return 1;
        PostMessageW(list, WM_KEYDOWN, (WPARAM)strtoul(argv[2], nullptr, 0), 1);
        return 0;
    }
    if (!strcmp(command, "spread-dblclick") && argc >= 4) return DoubleClickCell(atoi(argv[2]), atoi(argv[3]));
    if (!strcmp(command, "spread-rect")) {
        HWND spread = SpreadWindow();
        if (!spread) return 1;
        RECT rect;
        GetWindowRect(spread, &rect);
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (!strcmp(command, "clipboard")) {
        bool present = false;
        std::wstring text = ClipboardText(&present);
        PrintWideLf(present ? text : L"<none>");
        return 0;
    }
    if (!strcmp(command, "clipboard-clear")) {
        for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
        EmptyClipboard();
        CloseClipboard();
        return 0;
    }
    if (!main) {
        bool known = !strcmp(command, "keys-main") || !strcmp(command, "click-view") ||
                     !strcmp(command, "view-menu-pick") || !strcmp(command, "view-menu-keyboard");
        return known ? 1 : -1;
    }
    HWND view = GetDlgItem(main, 4001);
    if (!strcmp(command, "keys-main") && argc >= 4) {
        TypeKeys(main, argv[2], (WORD)strtoul(argv[3], nullptr, 0));
        return 0;
    }
    if (!strcmp(command, "click-view") && argc >= 4) {
        if (!view) return 1;
        Foreground(main);
        ClickAt(view, atoi(argv[2]), atoi(argv[3]));
        return 0;
    }
    if (!strcmp(command, "view-menu-pick") && argc >= 3) {
        if (!view) return 1;
        PostMessageW(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 20));
        PostMessageW(view, WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
        HWND menu = DriverAwaitMenu(5000);
        if (!menu) return 1;
        Sleep(100);
        for (int i = 0; i < atoi(argv[2]); ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        for (int i = 0; i < 100 && DriverVisibleMenu(); ++i) Sleep(50);
        return 0;
    }
    if (!strcmp(command, "view-menu-keyboard")) {
        if (!view) return 1;
        Foreground(main);
        Key(VK_SHIFT, false);
        Key(VK_F10, false);
        Key(VK_F10, true);
        Key(VK_SHIFT, true);
        HWND menu = DriverAwaitMenu(3000);
        if (menu) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        printf("%d\n", menu ? 1 : 0);
        return 0;
    }
    return -1;
}

DRIVER_COMMANDS(SpreadCommands);
