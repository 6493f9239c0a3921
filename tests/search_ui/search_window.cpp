#include "tests/search_ui/search_window.h"

#include <stdlib.h>

#include "corpus/corpus_db.h"
#include "search/list_drawing.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "sqlite3.h"
#include "ui/window_ids.h"

static HWND g_window;

std::string BuildPath(const char* relative) {
    const char* build = getenv("TIVRA_BUILD_DIR");
    std::string path = std::string("Z:") + (build ? build : "") + "/" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool OpenKeyedCorpus(const std::string& plainPath, const std::string& keyedPath) {
    if (!CopyFileA(plainPath.c_str(), keyedPath.c_str(), FALSE)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open(keyedPath.c_str(), &db) != SQLITE_OK) return false;
    std::string sql = std::string("PRAGMA rekey = '") + CorpusPassphrase() + "';";
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK && CorpusOpen(keyedPath.c_str()) == CORPUS_OK;
}

static LRESULT CALLBACK TestWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (OnResultListCommand(wParam)) return 0;
        if (OnSearchBoxCommand(wParam)) return 0;
        break;
    case WM_DRAWITEM: return DrawResultItem((const DRAWITEMSTRUCT*)lParam);
    case WM_MEASUREITEM: return MeasureResultItem((MEASUREITEMSTRUCT*)lParam);
    case WM_CONTEXTMENU: OnParagraphContextMenu(window, lParam); return 0;
    case MSG_DATA_MENU_PICK: ShowReportParagraphs((int)wParam, (int)lParam); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateSearchTestWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = L"TivraSearchTestWindow";
    RegisterClassW(&wc);
    g_window = CreateWindowExW(0, wc.lpszClassName, L"search test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1100,
                               900, nullptr, nullptr, instance, nullptr);
    CreateSearchBox(g_window, instance);
    CreateResultLists(g_window, instance);
    LoadRichEditLibrary();
    CreateParagraphView(g_window, instance);
    // A fixed layout; the real one belongs to the main window.
    MoveWindow(GetSearchBoxHandle(), 10, 10, 1060, 30, TRUE);
    for (int c = 0; c < 3; ++c) {
        MoveWindow(GetResultHeaderHandle(c), 10 + c * 355, 50, 345, 26, TRUE);
        MoveWindow(GetResultListHandle(c), 10 + c * 355, 78, 345, 380, TRUE);
    }
    MoveWindow(GetParagraphHeaderHandle(), 10, 466, 1060, 26, TRUE);
    MoveWindow(GetParagraphViewHandle(), 10, 494, 1060, 340, TRUE);
    ShowIdleWordList();
    ShowWindow(g_window, SW_SHOW);
    UpdateWindow(g_window);
    PumpMessages();
    return g_window;
}

void DestroySearchTestWindow() {
    ReleaseResultLists();
    ReleaseParagraphView();
    DestroyWindow(g_window);
    g_window = nullptr;
    PumpMessages();
}

// Runs the queue dry and on until the lists are complete (their rest comes in
// slices between messages), to a generous deadline.
void PumpMessages() {
    MSG msg;
    DWORD deadline = GetTickCount() + 60000;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!ResultListsBusy() || (int)(GetTickCount() - deadline) > 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

void TypeSearchText(const wchar_t* text) {
    SetWindowTextW(GetSearchBoxHandle(), text);
    PumpMessages();
}

void PickEntry(int column, int index) {
    HWND list = GetResultListHandle(column);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)index, 0);
    SendMessageW(g_window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), (LPARAM)list);
    PumpMessages();
}

std::wstring WindowText(HWND window) {
    wchar_t text[16384] = {0};
    GetWindowTextW(window, text, 16384);
    return text;
}

std::vector<std::wstring> ListEntries(int column) {
    HWND list = GetResultListHandle(column);
    std::vector<std::wstring> out;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t entry[512] = {0};
        SendMessageW(list, LB_GETTEXT, (WPARAM)i, (LPARAM)entry);
        out.push_back(entry);
    }
    return out;
}

std::wstring HeaderText(int column) { return WindowText(GetResultHeaderHandle(column)); }
