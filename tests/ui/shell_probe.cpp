// A hook DLL for the end-to-end driver: menus are handles private to the
// process that made them under Wine, so the driver hooks Tivra's thread with
// this DLL and reads the menus from inside, writing them as text into a shared
// mapping.
#include <wchar.h>
#include <windows.h>

#define PROBE_MAPPING L"Local\\TivraShellProbe"
#define PROBE_DONE L"Local\\TivraShellProbeDone"
#define PROBE_CHARS 65536

static void Append(wchar_t* out, int* used, const wchar_t* line) {
    int n = (int)wcslen(line);
    if (*used + n + 2 >= PROBE_CHARS) return;
    wmemcpy(out + *used, line, n);
    *used += n;
    out[(*used)++] = L'\n';
    out[*used] = 0;
}

static void DumpMenu(HMENU menu, int depth, wchar_t* out, int* used) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {0};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        wchar_t line[400];
        if (!GetMenuItemInfoW(menu, i, TRUE, &info))
            _snwprintf(line, 400, L"%d error", depth);
        else if (info.fType & MFT_SEPARATOR)
            _snwprintf(line, 400, L"%d - - -", depth);
        else
            _snwprintf(line, 400, L"%d %u %d %ls", depth, info.hSubMenu ? 0u : info.wID,
                       (info.fState & MFS_CHECKED) ? 1 : 0, text);
        line[399] = 0;
        Append(out, used, line);
        if (info.hSubMenu) DumpMenu(info.hSubMenu, depth + 1, out, used);
    }
}

// wParam of the probe message: 0 the window's menu bar, 1 the menu handle in
// lParam.
extern "C" __declspec(dllexport) LRESULT CALLBACK ShellProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    static UINT probeMessage = RegisterWindowMessageW(L"TivraShellProbe");
    const CWPSTRUCT* sent = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && sent && sent->message == probeMessage) {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, PROBE_MAPPING);
        wchar_t* out = mapping ? (wchar_t*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
        if (out) {
            int used = 0;
            out[0] = 0;
            HMENU menu = sent->wParam == 0 ? GetMenu(sent->hwnd) : (HMENU)sent->lParam;
            if (menu) DumpMenu(menu, 0, out, &used);
            UnmapViewOfFile(out);
        }
        if (mapping) CloseHandle(mapping);
        HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, PROBE_DONE);
        if (done) {
            SetEvent(done);
            CloseHandle(done);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
