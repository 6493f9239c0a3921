// Times one installation of a given package and prints the stages and the
// process's peak memory. The package is copied first: installing deletes it.
//   package_install_bench PACKAGE
#include <windows.h>
#include <psapi.h>
#include <stdio.h>

#include "app/storage.h"
#include "package/package_installer.h"

static LARGE_INTEGER s_frequency, s_start;

static double Seconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - s_start.QuadPart) / double(s_frequency.QuadPart);
}

static double PeakMiB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

static void PrintStage(int percent, const wchar_t* text, void*) {
    printf("%8.3f s  %3d%%  %ls\n", Seconds(), percent, text);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: package_install_bench PACKAGE\n");
        return 2;
    }
    char database[260], package[260];
    GetDatabasePath(database, sizeof database);
    GetPackagePath(package, sizeof package);
    DeleteFileA(database);
    if (!CopyFileA(argv[1], package, FALSE)) {
        fprintf(stderr, "cannot copy %s: %lu\n", argv[1], GetLastError());
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExA(package, GetFileExInfoStandard, &data);
    printf("package %lu bytes, peak working set before %.1f MiB\n", data.nFileSizeLow, PeakMiB());
    QueryPerformanceFrequency(&s_frequency);
    QueryPerformanceCounter(&s_start);
    int rc = InstallDataPackage(database, package, PrintStage, nullptr);
    double installed = Seconds();
    GetFileAttributesExA(database, GetFileExInfoStandard, &data);
    printf("result %d (%s) in %.3f s; database %lu bytes; peak working set %.1f MiB\n", rc, GetInstallError(),
           installed, data.nFileSizeLow, PeakMiB());
    QueryPerformanceCounter(&s_start);
    rc = InstallDataPackage(database, package, nullptr, nullptr);
    printf("second call: result %d in %.6f s\n", rc, Seconds());
    DeleteFileA(database);
    return 0;
}
