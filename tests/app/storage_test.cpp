#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "app/storage.h"

namespace {

long NoPackage(unsigned int*, wchar_t*) { return 15700; }  // APPMODEL_ERROR_NO_PACKAGE
long HasPackage(unsigned int*, wchar_t*) { return ERROR_INSUFFICIENT_BUFFER; }

std::string ExeDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *strrchr(path, '\\') = 0;
    return path;
}

std::string LocalAppData() {
    char path[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    return path;
}

bool IsFolder(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

struct Resolved {
    std::string db, package, temp, settings;
};

Resolved Resolve(PackageNameLookup lookup) {
    ResetAppPathsForTest();
    SetPackageNameLookupForTest(lookup, 1);
    Resolved r;
    char buffer[260];
    if (GetDatabasePath(buffer, sizeof buffer)) r.db = buffer;
    if (GetPackagePath(buffer, sizeof buffer)) r.package = buffer;
    if (GetTempDir(buffer, sizeof buffer)) r.temp = buffer;
    if (GetDataFilePath("settings.ini", buffer, sizeof buffer)) r.settings = buffer;
    return r;
}

}  // namespace

TEST(Storage, PlainProcessKeepsEverythingBesideTheExe) {
    const std::string exe = ExeDir();
    RemoveDirectoryA((exe + "\\data\\temp").c_str());
    // No package identity, and a system without the lookup at all.
    for (PackageNameLookup lookup : {NoPackage, (PackageNameLookup) nullptr}) {
        Resolved r = Resolve(lookup);
        EXPECT_EQ(IsPackagedApp(), 0);
        EXPECT_EQ(r.db, exe + "\\data\\app.db");
        EXPECT_EQ(r.package, exe + "\\data\\app.db.7z.enc");
        EXPECT_EQ(r.temp, exe + "\\data\\temp");
        EXPECT_EQ(r.settings, exe + "\\data\\settings.ini");
        EXPECT_TRUE(IsFolder(exe + "\\data"));
        EXPECT_FALSE(IsFolder(exe + "\\data\\temp")) << "the installer creates the temporary folder";
    }
}

TEST(Storage, PackagedProcessUsesLocalAppData) {
    // Windows keeps a Packages folder for every packaged app; a fresh Wine prefix has none.
    CreateDirectoryA((LocalAppData() + "\\Packages").c_str(), nullptr);
    Resolved r = Resolve(HasPackage);
    const std::string base = LocalAppData() + "\\Packages\\Tivra";
    EXPECT_EQ(IsPackagedApp(), 1);
    EXPECT_EQ(r.db, base + "\\LocalState\\app.db");
    EXPECT_EQ(r.temp, base + "\\TempState");
    EXPECT_EQ(r.package, ExeDir() + "\\data\\app.db.7z.enc") << "the package still ships beside the exe";
    EXPECT_TRUE(IsFolder(base + "\\LocalState"));
    EXPECT_TRUE(IsFolder(base + "\\TempState"));
}

TEST(Storage, ResolvesOnceAndKeepsTheFirstAnswer) {
    Resolve(HasPackage);
    SetPackageNameLookupForTest(NoPackage, 1);
    EXPECT_EQ(IsPackagedApp(), 1);
}

TEST(Storage, GettersRejectBadArgumentsAndCutLongResults) {
    Resolve(NoPackage);
    char one[1] = {'x'};
    EXPECT_EQ(GetTempDir(one, 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(GetTempDir(one, 0), 0);
    char buffer[260];
    EXPECT_EQ(GetDataFilePath(nullptr, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetDataFilePath("a", nullptr, 10), 0);
    EXPECT_EQ(GetDatabasePath(buffer, 0), 0);
    EXPECT_EQ(GetPackagePath(buffer, -1), 0);
    char small[8];
    EXPECT_EQ(GetDatabasePath(small, sizeof small), 1);
    EXPECT_EQ(std::string(small), ExeDir().substr(0, 7));
}

// An executable folder that does not fit leaves the folders unknown: start-up
// then shows its box, and nothing is created, least of all \data at the root
// of the current drive.
TEST(Storage, ExecutableFolderThatDoesNotFitCreatesNothing) {
    const std::string exe = ExeDir();
    const bool rootDataBefore = IsFolder("\\data");
    // Real folders whose own name fits but whose "\\data" would be cut, so a
    // cut name could be created inside them.
    const std::string fits255 = exe + "\\" + std::string(255 - exe.size() - 1, 'd');
    const std::string fits254 = exe + "\\" + std::string(254 - exe.size() - 1, 'e');
    for (const std::string& folder : {fits255, fits254}) {
        RemoveDirectoryA((folder + "\\data").c_str());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    std::wstring chinese = L"C:\\";
    for (int i = 0; i < 90; ++i) chinese += L"字";  // 93 units, 273 bytes of UTF-8
    chinese += L"\\Tivra.exe";
    const std::wstring cutBySystem = L"C:\\" + std::wstring(300, L'a') + L"\\Tivra.exe";
    // A one-letter file name, so the whole path still fits the module path's 260 units.
    auto wide = [](const std::string& s) { return std::wstring(s.begin(), s.end()) + L"\\x"; };
    const std::wstring exe255 = wide(fits255), exe254 = wide(fits254);

    const struct {
        const wchar_t* exePath;
        bool database, package, temp;
        std::string createdData;  // a data folder that must exist afterwards, or none
    } cases[] = {
        {chinese.c_str(), false, false, false, ""},
        {cutBySystem.c_str(), false, false, false, ""},
        {exe255.c_str(), false, true, false, ""},
        {exe254.c_str(), true, true, false, fits254 + "\\data"},
    };
    for (const auto& c : cases) {
        SetExePathForTest(c.exePath);
        Resolved r = Resolve(NoPackage);
        SetExePathForTest(nullptr);
        const std::wstring label(c.exePath);
        EXPECT_EQ(!r.db.empty(), c.database) << label.size();
        EXPECT_EQ(!r.settings.empty(), c.database) << label.size();
        EXPECT_EQ(!r.package.empty(), c.package) << label.size();
        EXPECT_EQ(!r.temp.empty(), c.temp) << label.size();
        if (!rootDataBefore) {
            EXPECT_FALSE(IsFolder("\\data")) << label.size();
        }
        if (!c.createdData.empty()) {
            EXPECT_TRUE(IsFolder(c.createdData)) << label.size();
        }
    }
    // Nothing with a cut name beside the data folder that could not be formed.
    WIN32_FIND_DATAA found;
    HANDLE scan = FindFirstFileA((fits255 + "\\*").c_str(), &found);
    int entries = 0;
    if (scan != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) ++entries;
        } while (FindNextFileA(scan, &found));
        FindClose(scan);
    }
    EXPECT_EQ(entries, 0);
    for (const std::string& folder : {fits255, fits254}) {
        RemoveDirectoryA((folder + "\\data").c_str());
        RemoveDirectoryA(folder.c_str());
    }
}
