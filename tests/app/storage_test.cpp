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
