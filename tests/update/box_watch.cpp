#include "box_watch.h"

#include <atomic>
#include <wchar.h>

static const int kMaxBoxes = 8;
static SeenBox g_boxes[kMaxBoxes];
static std::atomic<int> g_count;
static std::atomic<bool> g_stop;
static int g_answer;
static HANDLE g_thread;
static HWND g_answered[kMaxBoxes];

static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16];
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    if (!GetClassNameW(window, className, 16) || wcscmp(className, L"#32770") != 0) return TRUE;
    for (HWND done : g_answered)
        if (done == window) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

static DWORD WINAPI WatchBoxes(LPVOID) {
    while (!g_stop.load()) {
        HWND box = nullptr;
        EnumWindows(FindBox, (LPARAM)&box);
        if (box) {
            int index = g_count.load();
            if (index < kMaxBoxes) {
                SeenBox& seen = g_boxes[index];
                GetWindowTextW(box, seen.caption, 64);
                GetDlgItemTextW(box, 0xFFFF, seen.text, 2048);
                seen.hasYesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO);
                seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
                g_answered[index] = box;
                g_count.store(index + 1);
            }
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_answer, BN_CLICKED), 0);
        }
        Sleep(20);
    }
    return 0;
}

void BoxWatchStart(int answer) {
    g_count = 0;
    g_stop = false;
    g_answer = answer;
    for (HWND& done : g_answered) done = nullptr;
    g_thread = CreateThread(nullptr, 0, WatchBoxes, nullptr, 0, nullptr);
}

int BoxWatchStop(SeenBox* boxes, int max) {
    g_stop = true;
    WaitForSingleObject(g_thread, INFINITE);
    CloseHandle(g_thread);
    int count = g_count.load();
    for (int i = 0; i < count && i < max && i < kMaxBoxes; ++i) boxes[i] = g_boxes[i];
    return count;
}
