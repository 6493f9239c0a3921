// Driver commands for the first start's progress window (TivraInstallProgressClass).
//   progress                  exit 1 without the window; else title=, stage=, pos=, rect=, work=,
//                             visible= and main= (1 when the main window is visible), one a line
//   progress-watch S FILE     writes "ready" to FILE, then watches up to S seconds and appends, in
//                             order: "title T", "rect L T R B" and "work L T R B" once, "stage POS
//                             TEXT" for each new state, "main-during" or "box-during" if the main window or a message
//                             box shows while the window exists, "gone" when it went away, then "end"
//   progress-hold S FILE      writes "ready" to FILE, waits up to S seconds for the window to show a
//                             stage fully painted, suspends its thread and writes "stage TEXT",
//                             "rect L T R B" and "held"; resumes it once FILE is deleted (or after
//                             S more seconds), then exits 0; 1 when no such window came
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "driver.h"

static const wchar_t kProgressClass[] = L"TivraInstallProgressClass";
static const int kStageId = 7001;
static const int kBarId = 7002;

static std::string Utf8(const wchar_t* text) {
    char utf8[2048];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) utf8[0] = 0;
    return utf8;
}

// The installer holds its thread between reports, so a sent message is
// answered at the next pump, right after a report set both text and position:
// the position comes from that answer and the text, read at once from the
// window's own record without a message, from the same report.
static bool ReadStage(HWND window, std::string* text, int* pos) {
    HWND stageWindow = GetDlgItem(window, kStageId);
    HWND bar = GetDlgItem(window, kBarId);
    if (!stageWindow || !bar) return false;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 60000, &result)) return false;
    wchar_t stage[512] = {0};
    if (GetWindowTextW(stageWindow, stage, 512) <= 0) return false;
    *text = Utf8(stage);
    *pos = (int)result;
    return true;
}

static bool MainVisible() {
    HWND main = DriverMainWindow();
    return main && IsWindowVisible(main);
}

static std::string RectText(const RECT& r) {
    char text[96];
    snprintf(text, sizeof text, "%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
    return text;
}

static int PrintProgress() {
    HWND window = FindWindowW(kProgressClass, nullptr);
    if (!window) return 1;
    wchar_t title[256] = {0};
    GetWindowTextW(window, title, 256);
    std::string stage;
    int pos = -1;
    ReadStage(window, &stage, &pos);
    RECT rect, work;
    GetWindowRect(window, &rect);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    printf("title=%s\nstage=%s\npos=%d\nrect=%s\nwork=%s\nvisible=%d\nmain=%d\n", Utf8(title).c_str(), stage.c_str(),
           pos, RectText(rect).c_str(), RectText(work).c_str(), IsWindowVisible(window) ? 1 : 0, MainVisible() ? 1 : 0);
    return 0;
}

static int WatchProgress(int seconds, const char* file) {
    FILE* out = fopen(file, "wb");
    if (!out) return 1;
    fputs("ready\n", out);
    fflush(out);
    std::string log, lastStage;
    int lastPos = -1;
    bool seen = false, gone = false, mainDuring = false, boxDuring = false;
    DWORD deadline = GetTickCount() + (DWORD)seconds * 1000;
    while ((int)(deadline - GetTickCount()) > 0) {
        HWND window = FindWindowW(kProgressClass, nullptr);
        if (window && IsWindowVisible(window)) {
            if (!seen) {
                wchar_t title[256] = {0};
                GetWindowTextW(window, title, 256);
                RECT rect, work;
                GetWindowRect(window, &rect);
                SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
                log += "title " + Utf8(title) + "\nrect " + RectText(rect) + "\nwork " + RectText(work) + "\n";
                seen = true;
            }
            std::string stage;
            int pos = -1;
            if (ReadStage(window, &stage, &pos) && (stage != lastStage || pos != lastPos) && IsWindow(window)) {
                log += "stage " + std::to_string(pos) + " " + stage + "\n";
                lastStage = stage;
                lastPos = pos;
            }
            if (!mainDuring && MainVisible()) mainDuring = true;
            if (!boxDuring && MessageBoxWindow()) boxDuring = true;
        } else if (seen && !window) {
            gone = true;
        }
        // Done once the window went and whatever follows it is up, or when a
        // start showed its main window without one.
        if (gone && (MainVisible() || MessageBoxWindow())) break;
        if (!seen && MainVisible()) break;
        Sleep(2);  // a poll interval, not a wait for anything
    }
    if (mainDuring) log += "main-during\n";
    if (boxDuring) log += "box-during\n";
    if (gone) log += "gone\n";
    log += "end\n";
    fputs(log.c_str(), out);
    fclose(out);
    return 0;
}

static bool PaintPending(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE)) return true;
    HWND stageWindow = GetDlgItem(window, kStageId);
    HWND bar = GetDlgItem(window, kBarId);
    return (stageWindow && GetUpdateRect(stageWindow, nullptr, FALSE)) || (bar && GetUpdateRect(bar, nullptr, FALSE));
}

// The window lives only while the installer works, so a picture of it is
// taken with its thread held. A thread caught with a state set but not yet
// painted is let go and caught again; the server answers the text and the
// update regions without the held thread.
static int HoldProgress(int seconds, const char* file) {
    FILE* out = fopen(file, "wb");
    if (!out) return 1;
    fputs("ready\n", out);
    fclose(out);
    HANDLE thread = nullptr;
    HWND window = nullptr;
    wchar_t stage[512] = {0};
    DWORD deadline = GetTickCount() + (DWORD)seconds * 1000;
    while (!thread && (int)(deadline - GetTickCount()) > 0) {
        window = FindWindowW(kProgressClass, nullptr);
        HWND stageWindow = window ? GetDlgItem(window, kStageId) : nullptr;
        DWORD threadId = window ? GetWindowThreadProcessId(window, nullptr) : 0;
        if (stageWindow && threadId && IsWindowVisible(window)) {
            HANDLE candidate = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
            if (candidate && SuspendThread(candidate) != (DWORD)-1) {
                if (IsWindow(window) && !PaintPending(window) && GetWindowTextW(stageWindow, stage, 512) > 0) {
                    thread = candidate;
                    break;
                }
                ResumeThread(candidate);
            }
            if (candidate) CloseHandle(candidate);
        }
        Sleep(2);  // a poll interval, not a wait for anything
    }
    if (!thread) return 1;
    RECT rect;
    GetWindowRect(window, &rect);
    std::string record = "ready\nstage " + Utf8(stage) + "\nrect " + RectText(rect) + "\nheld\n";
    out = fopen(file, "wb");
    if (out) {
        fputs(record.c_str(), out);
        fclose(out);
    }
    deadline = GetTickCount() + (DWORD)seconds * 1000;
    while (out && GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES && (int)(deadline - GetTickCount()) > 0)
        Sleep(2);  // a poll interval, not a wait for anything
    ResumeThread(thread);
    CloseHandle(thread);
    return out ? 0 : 1;
}

static int InstallCommands(HWND, int argc, char** argv) {
    if (strcmp(argv[1], "progress") == 0) return PrintProgress();
    if (strcmp(argv[1], "progress-watch") == 0 && argc >= 4) return WatchProgress(atoi(argv[2]), argv[3]);
    if (strcmp(argv[1], "progress-hold") == 0 && argc >= 4) return HoldProgress(atoi(argv[2]), argv[3]);
    return -1;
}

DRIVER_COMMANDS(InstallCommands);
