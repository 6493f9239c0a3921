// Process entry: storage, single instance, settings, corpus, main window, loop.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include "app/storage.h"
#include "app/ui_settings.h"
#include "package/package_installer.h"
#include "corpus/corpus_db.h"
#include "telemetry/launch_report.h"
#include "telemetry/telemetry_state.h"
#include "ui/install_progress.h"
#include "ui/main_window.h"
#include "ui/window_ids.h"
#include "update/update_check.h"

static HANDLE g_instanceMutex;

static void ShowStartupError(const char* textUtf8, const wchar_t* caption) {
    wchar_t text[1024];
    if (MultiByteToWideChar(CP_UTF8, 0, textUtf8, -1, text, 1024) == 0) text[0] = 0;
    text[1023] = 0;
    MessageBoxW(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

static int EndStartup() {
    if (g_instanceMutex) {
        CloseHandle(g_instanceMutex);
        g_instanceMutex = nullptr;
    }
    return 0;
}

// One byte of room past the 259-byte limit tells a path that fits from one the
// getters had to cut, which would name another file.
static int GetStartupPaths(char* databasePath, char* packagePath) {
    char database[261];
    char package[261];
    if (!GetDatabasePath(database, sizeof database) || !GetPackagePath(package, sizeof package)) return 0;
    if (strlen(database) > 259 || strlen(package) > 259) return 0;
    memcpy(databasePath, database, 260);
    memcpy(packagePath, package, 260);
    return 1;
}

// Another instance runs: raise its window (unless hidden to the tray) and leave.
static void RaiseRunningInstance() {
    HWND other = FindWindowW(MAIN_WINDOW_CLASS, nullptr);
    if (!other) return;
    if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    ResolveAppPaths();
    if (!IsPackagedApp()) {
        // A cut module path would add some other folder to the DLL search.
        wchar_t libDir[260];
        DWORD length = GetModuleFileNameW(nullptr, libDir, 260);
        if (length > 0 && length < 260) {
            PathRemoveFileSpecW(libDir);
            PathAppendW(libDir, L"lib");
            SetDllDirectoryW(libDir);
        }
    }

    g_instanceMutex = CreateMutexW(nullptr, TRUE, L"Tivra_SingleInstance_Mutex");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        RaiseRunningInstance();
        return EndStartup();
    }

    InitUiSettings();

    char databasePath[260];
    char packagePath[260];
    if (!GetStartupPaths(databasePath, packagePath)) {
        ShowStartupError("无法获取存储路径", L"初始化错误");
        return EndStartup();
    }

    // Only a start that installs reports progress, so only a first start shows it.
    int installed = InstallDataPackage(databasePath, packagePath, ReportInstallProgress, instance);
    CloseInstallProgress();
    if (installed != INSTALL_ALREADY_PRESENT && installed != INSTALL_DONE) {
        char message[512];
        snprintf(message, sizeof message,
                 "数据库初始化失败: %s\n\n请确保 data 目录下存在 app.db 或 app.db.7z.enc 文件。", GetInstallError());
        ShowStartupError(message, L"数据库错误");
        return EndStartup();
    }

    if (CorpusOpen(databasePath) != CORPUS_OK) {
        ShowStartupError(CorpusLastError(), L"数据库错误");
        return EndStartup();
    }
    // On a worker of its own; the statements answer until it is ready.
    CorpusStartIndexBuild();

    INITCOMMONCONTROLSEX controls = {8, 0xFF};
    InitCommonControlsEx(&controls);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = MAIN_WINDOW_CLASS;
    if (!RegisterClassW(&wc)) {
        ShowStartupError("窗口类注册失败!", L"错误");
        return EndStartup();
    }
    HMENU menuBar = BuildMenuBar();

    HWND window = CreateWindowExW(0, MAIN_WINDOW_CLASS, L"云杉阅报 0.1.1-alpha", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, ScaleForDpi(675), ScaleForDpi(700), nullptr, menuBar, instance,
                                  nullptr);
    if (!window) {
        ShowStartupError("窗口创建失败!", L"错误");
        return EndStartup();
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    RecordLaunch();
    StartLaunchReport();
    StartUpdateCheck(window, 1);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (TranslateMainWindowKeys(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EndStartup();
    return (int)msg.wParam;
}
