#include "app/storage.h"

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

static AppPaths g_paths;
static PackageNameLookup g_testLookup;
static int g_useTestLookup;

typedef LONG(WINAPI* GetCurrentPackageFullNameFn)(UINT32*, PWSTR);

static void WideToUtf8(const wchar_t* in, char* out, int size) {
    out[0] = 0;
    if (WideCharToMultiByte(CP_UTF8, 0, in, -1, out, size, nullptr, nullptr) == 0) out[0] = 0;
}

static void CreateFolderUtf8(const char* path) {
    wchar_t wide[260];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 260) > 0) CreateDirectoryW(wide, nullptr);
}

static void ResolveExeDir() {
    wchar_t exe[260] = {0};
    GetModuleFileNameW(nullptr, exe, 260);
    exe[259] = 0;
    wchar_t* slash = wcsrchr(exe, L'\\');
    if (slash) *slash = 0;
    WideToUtf8(exe, g_paths.exeDir, sizeof g_paths.exeDir);
}

// ERROR_INSUFFICIENT_BUFFER from the zero-length query means package identity.
static LONG QueryPackageName() {
    UINT32 length = 0;
    if (g_useTestLookup) return g_testLookup ? g_testLookup(&length, nullptr) : ERROR_PROC_NOT_FOUND;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return ERROR_MOD_NOT_FOUND;
    auto fn = (GetCurrentPackageFullNameFn)(void*)GetProcAddress(kernel, "GetCurrentPackageFullName");
    if (!fn) return ERROR_PROC_NOT_FOUND;
    return fn(&length, nullptr);
}

static int ResolvePackaged() {
    wchar_t local[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) < 0) return 0;
    wchar_t path[260];
    _snwprintf(path, 260, L"%s\\Packages\\Tivra", local);
    path[259] = 0;
    CreateDirectoryW(path, nullptr);
    size_t len = wcslen(path);
    _snwprintf(path + len, 260 - len, L"\\LocalState");
    path[259] = 0;
    CreateDirectoryW(path, nullptr);
    WideToUtf8(path, g_paths.dataDir, sizeof g_paths.dataDir);
    _snwprintf(path, 260, L"%s\\Packages\\Tivra\\TempState", local);
    path[259] = 0;
    CreateDirectoryW(path, nullptr);
    WideToUtf8(path, g_paths.tempDir, sizeof g_paths.tempDir);
    return 1;
}

void ResolveAppPaths() {
    if (g_paths.resolved) return;
    ResolveExeDir();
    g_paths.packaged = 0;
    if (QueryPackageName() == ERROR_INSUFFICIENT_BUFFER) {
        g_paths.packaged = 1;
        if (!ResolvePackaged()) g_paths.packaged = 0;
    }
    if (!g_paths.packaged) {
        ResolveExeDir();
        snprintf(g_paths.dataDir, sizeof g_paths.dataDir, "%s\\data", g_paths.exeDir);
        CreateFolderUtf8(g_paths.dataDir);
        snprintf(g_paths.tempDir, sizeof g_paths.tempDir, "%s\\data\\temp", g_paths.exeDir);
    }
    g_paths.resolved = 1;
}

int IsPackagedApp() {
    ResolveAppPaths();
    return g_paths.packaged;
}

int GetDataFilePath(const char* fileName, char* out, int size) {
    ResolveAppPaths();
    if (!g_paths.dataDir[0] || !fileName || !out || size <= 0) return 0;
    snprintf(out, (size_t)size, "%s\\%s", g_paths.dataDir, fileName);
    return 1;
}

int GetDatabasePath(char* out, int size) {
    ResolveAppPaths();
    if (!g_paths.dataDir[0] || !out || size <= 0) return 0;
    snprintf(out, (size_t)size, "%s\\app.db", g_paths.dataDir);
    return 1;
}

int GetPackagePath(char* out, int size) {
    ResolveAppPaths();
    if (!g_paths.exeDir[0] || !out || size <= 0) return 0;
    snprintf(out, (size_t)size, "%s\\data\\app.db.7z.enc", g_paths.exeDir);
    return 1;
}

int GetTempDir(char* out, int size) {
    ResolveAppPaths();
    if (!g_paths.tempDir[0] || !out || size < 1) return 0;
    strncpy(out, g_paths.tempDir, (size_t)size - 1);
    out[size - 1] = 0;
    return 1;
}

void SetPackageNameLookupForTest(PackageNameLookup lookup, int useLookup) {
    g_testLookup = lookup;
    g_useTestLookup = useLookup;
}

void ResetAppPathsForTest() { memset(&g_paths, 0, sizeof g_paths); }
