#include "app/storage.h"

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

static AppPaths g_paths;
static PackageNameLookup g_testLookup;
static int g_useTestLookup;
static const wchar_t* g_testExePath;

typedef LONG(WINAPI* GetCurrentPackageFullNameFn)(UINT32*, PWSTR);

static void WideToUtf8(const wchar_t* in, char* out, int size) {
    out[0] = 0;
    if (WideCharToMultiByte(CP_UTF8, 0, in, -1, out, size, nullptr, nullptr) == 0) out[0] = 0;
}

static void CreateFolderUtf8(const char* path) {
    wchar_t wide[260];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 260) > 0) CreateDirectoryW(wide, nullptr);
}

// A path that does not fit is cut by the system; a cut path names another
// folder, so it leaves exeDir empty rather than pointing anywhere.
static void ResolveExeDir() {
    wchar_t exe[260] = {0};
    g_paths.exeDir[0] = 0;
    if (g_testExePath) {
        if (wcslen(g_testExePath) >= 260) return;
        wcscpy(exe, g_testExePath);
    } else {
        DWORD length = GetModuleFileNameW(nullptr, exe, 260);
        if (length == 0 || length >= 260) return;
    }
    wchar_t* slash = wcsrchr(exe, L'\\');
    if (slash) *slash = 0;
    WideToUtf8(exe, g_paths.exeDir, sizeof g_paths.exeDir);
}

// "%s\\name" of a folder into a 260-byte field; empty when it does not fit.
static void JoinFolder(const char* folder, const char* name, char* out) {
    int n = snprintf(out, 260, "%s\\%s", folder, name);
    if (n < 0 || n >= 260) out[0] = 0;
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

// All three folders are formed and checked to fit before any is created, so a
// local folder too long for the fields creates nothing and falls back to plain.
static int ResolvePackaged() {
    wchar_t local[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) < 0) return 0;
    wchar_t base[260], data[260], temp[260];
    int b = _snwprintf(base, 260, L"%s\\Packages\\Tivra", local);
    int d = _snwprintf(data, 260, L"%s\\Packages\\Tivra\\LocalState", local);
    int t = _snwprintf(temp, 260, L"%s\\Packages\\Tivra\\TempState", local);
    if (b < 0 || b >= 260 || d < 0 || d >= 260 || t < 0 || t >= 260) return 0;
    char dataUtf8[260], tempUtf8[260];
    WideToUtf8(data, dataUtf8, sizeof dataUtf8);
    WideToUtf8(temp, tempUtf8, sizeof tempUtf8);
    if (!dataUtf8[0] || !tempUtf8[0]) return 0;
    CreateDirectoryW(base, nullptr);
    CreateDirectoryW(data, nullptr);
    CreateDirectoryW(temp, nullptr);
    memcpy(g_paths.dataDir, dataUtf8, sizeof dataUtf8);
    memcpy(g_paths.tempDir, tempUtf8, sizeof tempUtf8);
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
        // Without a usable executable folder, \data would land at the root of
        // the current drive: leave the folders unknown and create nothing.
        g_paths.dataDir[0] = 0;
        g_paths.tempDir[0] = 0;
        if (g_paths.exeDir[0]) {
            JoinFolder(g_paths.exeDir, "data", g_paths.dataDir);
            if (g_paths.dataDir[0]) CreateFolderUtf8(g_paths.dataDir);
            JoinFolder(g_paths.exeDir, "data\\temp", g_paths.tempDir);
        }
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

void SetExePathForTest(const wchar_t* path) { g_testExePath = path; }

void ResetAppPathsForTest() { memset(&g_paths, 0, sizeof g_paths); }
