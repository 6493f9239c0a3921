#pragma once
// Where the system keeps its files: the data folder, the installer's temporary
// folder and the folder of the executable. Paths are UTF-8, at most 259 bytes.

struct AppPaths {
    int resolved;
    int packaged;
    char dataDir[260];
    char tempDir[260];
    char exeDir[260];
};

void ResolveAppPaths();
int IsPackagedApp();
int GetDataFilePath(const char* fileName, char* out, int size);
int GetDatabasePath(char* out, int size);
int GetPackagePath(char* out, int size);
int GetTempDir(char* out, int size);

// Test seam: the package identity lookup (GetCurrentPackageFullName) and the
// local application data folder. Null restores the system's own.
typedef long (*PackageNameLookup)(unsigned int* length, wchar_t* name);
void SetPackageNameLookupForTest(PackageNameLookup lookup, int useLookup);
// Test seam: the executable's full path instead of GetModuleFileNameW; null
// restores the system's own.
void SetExePathForTest(const wchar_t* path);
void ResetAppPathsForTest();
