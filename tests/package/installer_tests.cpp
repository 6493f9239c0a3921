// The installer on packages made by tools/make_package.py, in the test
// executable's own data folder (exe folder\data, temporary folder data\temp).
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/file_bytes.h"
#include "app/storage.h"
#include "package/package_installer.h"
#include "corpus/corpus_db.h"
#include "sqlite3.h"

namespace {

std::string PackageFixture(const char* name) {
    const char* build = getenv("TIVRA_BUILD_DIR");
    std::string path = "Z:" + std::string(build ? build : ".") + "/package_fixtures/pkg/" + name;
    for (char& c : path) if (c == '/') c = '\\';
    return path;
}

std::string DatabasePath() {
    char path[260];
    GetDatabasePath(path, sizeof path);
    return path;
}

std::string PackagePath() {
    char path[260];
    GetPackagePath(path, sizeof path);
    return path;
}

std::string DataDir() {
    std::string db = DatabasePath();
    return db.substr(0, db.rfind('\\'));
}

void WriteFileBytes(const std::string& path, const std::string& content) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = dir + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

// Everything under the data folder, folders marked with a trailing backslash.
void ListTree(const std::string& dir, const std::string& prefix, std::vector<std::string>* out) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back(prefix + name + "\\");
            ListTree(dir + "\\" + name, prefix + name + "\\", out);
        } else {
            out->push_back(prefix + name);
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

std::vector<std::string> DataListing() {
    std::vector<std::string> names;
    ListTree(DataDir(), "", &names);
    std::sort(names.begin(), names.end());
    return names;
}

struct Reports {
    std::vector<std::pair<int, std::wstring>> seen;
};

void RecordProgress(int percent, const wchar_t* text, void* context) {
    static_cast<Reports*>(context)->seen.emplace_back(percent, text);
}

const std::vector<std::pair<int, std::wstring>> kFullProgress = {
    {5, L"Reading encrypted package..."}, {20, L"Decrypting..."},
    {40, L"Decompressing..."},            {50, L"Extracting archive..."},
    {70, L"Creating encrypted database..."}, {90, L"Cleaning up..."},
    {100, L"Initialization complete"},
};

int g_releases, g_dirtyReleases;
void CheckRelease(const unsigned char* block, size_t size) {
    g_releases++;
    for (size_t i = 0; i < size; i++) {
        if (block[i]) {
            g_dirtyReleases++;
            return;
        }
    }
}

class Installer : public testing::Test {
protected:
    void SetUp() override {
        ResolveAppPaths();
        RemoveTree(DataDir());
        SetPlainReleaseHookForTest(CheckRelease);
        g_releases = g_dirtyReleases = 0;
        reports.seen.clear();
        SetInstallError("earlier text");
    }
    void TearDown() override {
        SetPlainReleaseHookForTest(nullptr);
        RemoveTree(DataDir());
    }
    void PlacePackage(const char* fixture) {
        ASSERT_TRUE(CopyFileA(PackageFixture(fixture).c_str(), PackagePath().c_str(), FALSE)) << fixture;
    }
    int Install() { return InstallDataPackage(DatabasePath().c_str(), PackagePath().c_str(), RecordProgress, &reports); }
    Reports reports;
};

void ExpectProgressPrefix(const Reports& reports, size_t count) {
    std::vector<std::pair<int, std::wstring>> expected(kFullProgress.begin(), kFullProgress.begin() + count);
    EXPECT_TRUE(reports.seen == expected) << "reports seen: " << reports.seen.size();
}

}  // namespace

// Every bad package ends in its code and text, reports the steps it reached,
// wipes the decrypted archive it held and leaves only what its outcome allows.
TEST_F(Installer, BadPackagesEndInTheirCodeTextAndLeftovers) {
    const std::vector<std::string> packageOnly = {"app.db.7z.enc"};
    const std::vector<std::string> packageAndTemp = {"app.db.7z.enc", "temp\\"};
    struct Case {
        const char* fixture;
        int code;
        const char* error;
        bool prefixOnly;
        size_t reports;
        int releases;
        std::vector<std::string> left;
    } cases[] = {
        {"short23.enc", INSTALL_IO_ERROR, "Invalid file header", false, 1, 0, packageOnly},
        {"short24.enc", INSTALL_DECRYPT_FAILED, "CryptDecrypt failed: ", true, 2, 0, packageOnly},
        {"wrongkey.enc", INSTALL_DECRYPT_FAILED, "CryptDecrypt failed: ", true, 2, 0, packageOnly},
        {"flip-last.enc", INSTALL_DECRYPT_FAILED, "CryptDecrypt failed: ", true, 2, 0, packageOnly},
        {"flip-middle.enc", INSTALL_EXTRACT_FAILED, "Decompression failed: Extraction failed", false, 4, 1,
         packageAndTemp},
        {"truncated.enc", INSTALL_EXTRACT_FAILED, "Decompression failed: Cannot open 7z archive", false, 4, 1,
         packageAndTemp},
        {"notseven.enc", INSTALL_EXTRACT_FAILED, "Decompression failed: Cannot open 7z archive", false, 4, 1,
         packageAndTemp},
        {"dotdot.enc", INSTALL_EXTRACT_FAILED, "Decompression failed: Unsafe file name in archive", false, 4, 1,
         packageAndTemp},
        {"abs.enc", INSTALL_EXTRACT_FAILED, "Decompression failed: Unsafe file name in archive", false, 4, 1,
         packageAndTemp},
        {"notdb.enc", INSTALL_DATABASE_FAILED, "Cannot encrypt database: file is not a database", false, 5, 1,
         packageAndTemp},
        {"encrypted.enc", INSTALL_DATABASE_FAILED, "Cannot encrypt database: file is not a database", false, 5, 1,
         packageAndTemp},
        {"emptydb.enc", INSTALL_DATABASE_FAILED, "Encryption verification failed: the database lacks the corpus tables",
         false, 5, 1, packageAndTemp},
        {"foreign.enc", INSTALL_DATABASE_FAILED,
         "Encryption verification failed: the database lacks the corpus tables", false, 5, 1, packageAndTemp},
        {"nocolumn.enc", INSTALL_DATABASE_FAILED,
         "Encryption verification failed: the database lacks the corpus tables", false, 5, 1, packageAndTemp},
    };
    std::vector<unsigned char> absTarget = ReadFileBytes(PackageFixture("..\\src\\second.bin"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        SetUp();
        PlacePackage(c.fixture);
        EXPECT_EQ(c.code, Install());
        if (c.prefixOnly) {
            EXPECT_EQ(0, strncmp(GetInstallError(), c.error, strlen(c.error))) << GetInstallError();
        } else {
            EXPECT_STREQ(c.error, GetInstallError());
        }
        ExpectProgressPrefix(reports, c.reports);
        EXPECT_EQ(c.releases, g_releases);
        EXPECT_EQ(0, g_dirtyReleases);
        EXPECT_TRUE(DataListing() == c.left) << "left: " << DataListing().size();
    }
    // The absolute entry name pointed at this fixture; it must be untouched.
    EXPECT_TRUE(ReadFileBytes(PackageFixture("..\\src\\second.bin")) == absTarget);
}

// The extraction text is process-wide and only failures write it, so this one
// runs alone (ctest's package_tests_fresh): its message must have no reason.
TEST_F(Installer, FreshProcessEmptyArchiveHasAnEmptyReason) {
    if (!getenv("TIVRA_FRESH_PROCESS")) GTEST_SKIP() << "runs in its own process";
    PlacePackage("empty.enc");
    EXPECT_EQ(INSTALL_EXTRACT_FAILED, Install());
    EXPECT_STREQ("Decompression failed: ", GetInstallError());
    ExpectProgressPrefix(reports, 4);
    EXPECT_TRUE(DataListing() == (std::vector<std::string>{"app.db.7z.enc", "temp\\"}));
}

TEST_F(Installer, PathProblemsEndInTheirCodeAndText) {
    // No package at all: nothing reported, nothing made.
    EXPECT_EQ(INSTALL_NO_PACKAGE, Install());
    EXPECT_EQ("Source package not found: " + PackagePath(), GetInstallError());
    EXPECT_TRUE(reports.seen.empty());
    EXPECT_TRUE(DataListing().empty());

    // A folder where the package should be exists but does not open.
    SetUp();
    ASSERT_TRUE(CreateDirectoryA(PackagePath().c_str(), nullptr));
    EXPECT_EQ(INSTALL_IO_ERROR, Install());
    EXPECT_EQ("Cannot open: " + PackagePath(), GetInstallError());
    ExpectProgressPrefix(reports, 1);
    EXPECT_TRUE(DataListing() == std::vector<std::string>{"app.db.7z.enc\\"});

    // A file where the temporary folder should be: the archive cannot be written.
    SetUp();
    PlacePackage("good.enc");
    WriteFileBytes(DataDir() + "\\temp", "in the way");
    EXPECT_EQ(INSTALL_IO_ERROR, Install());
    EXPECT_STREQ("Cannot create temp file", GetInstallError());
    ExpectProgressPrefix(reports, 3);
    EXPECT_EQ(1, g_releases);
    EXPECT_EQ(0, g_dirtyReleases);
    EXPECT_TRUE(DataListing() == (std::vector<std::string>{"app.db.7z.enc", "temp"}));

    // A folder at the database path: the copy fails and the extracted file goes.
    SetUp();
    PlacePackage("good.enc");
    ASSERT_TRUE(CreateDirectoryA(DatabasePath().c_str(), nullptr));
    EXPECT_EQ(INSTALL_DATABASE_FAILED, Install());
    EXPECT_EQ(0, strncmp(GetInstallError(), "Cannot copy database file: ", 27)) << GetInstallError();
    ExpectProgressPrefix(reports, 5);
    EXPECT_TRUE(DataListing() == (std::vector<std::string>{"app.db.7z.enc", "app.db\\", "temp\\"}));
}

// A package of 2 GiB or more cannot be read whole nor decrypted with a 32-bit
// length: it is refused with a reason before anything is allocated.
TEST_F(Installer, OversizedPackageIsRefusedWithItsSize) {
    struct Case { long long size; const char* error; } cases[] = {
        {2LL << 30, "Package file too large: 2147483648 bytes (at most 2147483647)"},
        {3LL << 30, "Package file too large: 3221225472 bytes (at most 2147483647)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        SetUp();
        HANDLE file = CreateFileA(PackagePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        LARGE_INTEGER size;
        size.QuadPart = c.size;  // sparse on the Unix side, so it costs no disk
        ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
        EXPECT_EQ(INSTALL_IO_ERROR, Install());
        EXPECT_STREQ(c.error, GetInstallError());
        ExpectProgressPrefix(reports, 1);
        EXPECT_TRUE(DataListing() == std::vector<std::string>{"app.db.7z.enc"});
    }
}

TEST_F(Installer, InstallsAnEncryptedDatabaseAndCleansUp) {
    PlacePackage("good.enc");
    // A link made beforehand to the extracted file's name keeps what the wipe left.
    ASSERT_TRUE(CreateDirectoryA((DataDir() + "\\temp").c_str(), nullptr));
    WriteFileBytes(DataDir() + "\\temp\\app.db", "");
    ASSERT_TRUE(CreateHardLinkA((DataDir() + "\\witness").c_str(), (DataDir() + "\\temp\\app.db").c_str(), nullptr));

    EXPECT_EQ(INSTALL_DONE, Install());
    EXPECT_STREQ("earlier text", GetInstallError());
    ExpectProgressPrefix(reports, kFullProgress.size());
    EXPECT_EQ(1, g_releases);
    EXPECT_EQ(0, g_dirtyReleases);
    EXPECT_TRUE(DataListing() == (std::vector<std::string>{"app.db", "witness"}));

    std::vector<unsigned char> witness = ReadFileBytes(DataDir() + "\\witness");
    EXPECT_EQ(ReadFileBytes(PackageFixture("corpus.db")).size(), witness.size());
    EXPECT_TRUE(std::all_of(witness.begin(), witness.end(), [](unsigned char b) { return b == 0; }));

    std::vector<unsigned char> installed = ReadFileBytes(DatabasePath());
    ASSERT_GT(installed.size(), 1024u);
    EXPECT_NE(0, memcmp(installed.data(), "SQLite format 3", 16));

    // Without the passphrase the file is not a database; with it the corpus reads.
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(DatabasePath().c_str(), &db));
    EXPECT_NE(SQLITE_OK, sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr));
    sqlite3_close(db);
    ASSERT_EQ(SQLITE_OK, sqlite3_open(DatabasePath().c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_key(db, CorpusPassphrase(), 16));
    int words = 0;
    auto count = [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = atoi(values[0]);
        return 0;
    };
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, "SELECT count(*) FROM mo_words;", count, &words, nullptr));
    EXPECT_EQ(3000, words);
    sqlite3_close(db);

    // The next start finds the database and does nothing.
    reports.seen.clear();
    EXPECT_EQ(INSTALL_ALREADY_PRESENT, Install());
    EXPECT_TRUE(reports.seen.empty());
}

// A database file of at most 1024 bytes is the remains of a failed run.
TEST_F(Installer, SizeRuleAtTheDatabasePath) {
    struct Case { size_t size; int code; } cases[] = {{1024, INSTALL_DONE}, {1025, INSTALL_ALREADY_PRESENT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        SetUp();
        PlacePackage("good.enc");
        std::string old(c.size, 'x');
        WriteFileBytes(DatabasePath(), old);
        EXPECT_EQ(c.code, Install());
        std::vector<unsigned char> after = ReadFileBytes(DatabasePath());
        if (c.code == INSTALL_ALREADY_PRESENT) {
            EXPECT_TRUE(reports.seen.empty());
            EXPECT_EQ(std::string(after.begin(), after.end()), old);
            EXPECT_TRUE(DataListing() == (std::vector<std::string>{"app.db", "app.db.7z.enc"}));
        } else {
            ExpectProgressPrefix(reports, kFullProgress.size());
            EXPECT_GT(after.size(), 1024u);
            EXPECT_TRUE(DataListing() == std::vector<std::string>{"app.db"});
        }
    }
}

TEST_F(Installer, PackagesOfEveryMakerMethodInstall) {
    const char* methods[] = {"Copy", "LZMA", "LZMA2", "Delta", "BCJ2", "BCJ", "PPC",
                             "IA64", "ARM", "ARMT", "SPARC", "ARM64", "RISCV"};
    for (const char* method : methods) {
        SCOPED_TRACE(method);
        SetUp();
        PlacePackage(("method-" + std::string(method) + ".enc").c_str());
        EXPECT_EQ(INSTALL_DONE, Install());
        EXPECT_TRUE(DataListing() == std::vector<std::string>{"app.db"});
    }
}

TEST_F(Installer, NullCallbackInstallsToo) {
    PlacePackage("good.enc");
    EXPECT_EQ(INSTALL_DONE, InstallDataPackage(DatabasePath().c_str(), PackagePath().c_str(), nullptr, nullptr));
    EXPECT_TRUE(DataListing() == std::vector<std::string>{"app.db"});
}

TEST_F(Installer, SecureDeleteZeroesTheContentBeforeDeleting) {
    std::string dir = DataDir();
    struct Case { const char* name; size_t size; } cases[] = {{"empty", 0}, {"small", 100}, {"exact", 8192},
                                                              {"odd", 4096 * 3 + 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir + "\\" + c.name, link = path + ".link";
        WriteFileBytes(path, std::string(c.size, 'p'));
        ASSERT_TRUE(CreateHardLinkA(link.c_str(), path.c_str(), nullptr));
        EXPECT_NE(0, SecureDeleteFile(path.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
        std::vector<unsigned char> left = ReadFileBytes(link);
        EXPECT_EQ(c.size, left.size());
        EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](unsigned char b) { return b == 0; }));
    }
    EXPECT_EQ(0, SecureDeleteFile((dir + "\\missing").c_str()));
}
