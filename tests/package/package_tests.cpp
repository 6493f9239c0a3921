#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "package/archive_extract.h"
#include "package/package_decrypt.h"

static std::string FixtureDir() {
    const char* build = getenv("TIVRA_BUILD_DIR");
    std::string unixPath = std::string(build ? build : ".") + "/package_fixtures";
    // Wine maps the Unix root to Z:.
    std::string path = "Z:" + unixPath;
    for (char& c : path) if (c == '/') c = '\\';
    return path;
}

static std::string MakeOutDir(const char* tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "tivra_pkg_" + tag;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

static int CountFiles(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    int count = 0;
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, "..")) count++;
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return count;
}

static void ClearDir(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((dir + "\\" + data.cFileName).c_str());
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

TEST(ArchiveExtract, EveryMethodRoundTrips) {
    const char* methods[] = {"Copy", "LZMA", "LZMA2", "Delta", "BCJ2", "BCJ", "PPC",
                             "IA64", "ARM", "ARMT", "SPARC", "ARM64", "RISCV"};
    std::vector<unsigned char> expected = ReadFileBytes(FixtureDir() + "\\src\\payload.bin");
    ASSERT_GT(expected.size(), 200000u);
    std::string out = MakeOutDir("methods");
    InitArchiveCrc();
    for (const char* method : methods) {
        SCOPED_TRACE(method);
        ClearDir(out);
        char path[260];
        ASSERT_EQ(1, ExtractFirstFile((FixtureDir() + "\\" + method + ".7z").c_str(), out.c_str(), path, sizeof path));
        EXPECT_EQ(out + "\\payload.bin", path);
        EXPECT_TRUE(ReadFileBytes(path) == expected);
    }
    ClearDir(out);
}

TEST(ArchiveExtract, FirstFileAfterDirectoriesAndOnlyTheFirst) {
    std::string out = MakeOutDir("order");
    InitArchiveCrc();
    const char* archives[] = {"dirs.7z", "two.7z"};
    for (const char* archive : archives) {
        SCOPED_TRACE(archive);
        ClearDir(out);
        char path[260];
        ASSERT_EQ(1, ExtractFirstFile((FixtureDir() + "\\" + archive).c_str(), out.c_str(), path, sizeof path));
        EXPECT_EQ(out + "\\payload.bin", path);
        EXPECT_EQ(1, CountFiles(out));
    }
    ClearDir(out);
}

TEST(ArchiveExtract, FailuresLeaveTheirTextAndNoFile) {
    std::string out = MakeOutDir("bad");
    ClearDir(out);
    InitArchiveCrc();
    char path[260] = "x";
    // An empty archive sets no text: the last one stays.
    EXPECT_EQ(0, ExtractFirstFile((FixtureDir() + "\\missing.7z").c_str(), out.c_str(), path, sizeof path));
    EXPECT_EQ(0, ExtractFirstFile((FixtureDir() + "\\empty.7z").c_str(), out.c_str(), path, sizeof path));
    EXPECT_STREQ("Cannot open archive file", GetExtractError());
    EXPECT_STREQ("", path);
    struct Case { const char* archive; const char* error; } cases[] = {
        {"notseven.7z", "Cannot open 7z archive"},
        {"missing.7z", "Cannot open archive file"},
        {"dotdot.7z", "Unsafe file name in archive"},
        {"abs.7z", "Unsafe file name in archive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        EXPECT_EQ(0, ExtractFirstFile((FixtureDir() + "\\" + c.archive).c_str(), out.c_str(), path, sizeof path));
        EXPECT_STREQ(c.error, GetExtractError());
        EXPECT_EQ(0, CountFiles(out));
    }
    // Nothing may appear beside the output folder either.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((out + "\\..\\payload.bin").c_str()));
}

// An output path that does not fit in 260 bytes is refused, not cut to a
// different file name.
TEST(ArchiveExtract, OverlongOutputPathIsRefused) {
    std::string out = MakeOutDir("long");
    std::string deep = out + "\\" + std::string(240 - out.size(), 'd');
    CreateDirectoryA(deep.c_str(), nullptr);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(deep.c_str()));
    InitArchiveCrc();
    char path[260] = "x";
    // "\\payload.bin" takes the path to 252 bytes: it fits.
    ASSERT_EQ(1, ExtractFirstFile((FixtureDir() + "\\LZMA.7z").c_str(), deep.c_str(), path, sizeof path));
    ClearDir(deep);
    std::string deeper = deep + std::string(8, 'e');
    CreateDirectoryA(deeper.c_str(), nullptr);
    EXPECT_EQ(0, ExtractFirstFile((FixtureDir() + "\\LZMA.7z").c_str(), deeper.c_str(), path, sizeof path));
    EXPECT_STREQ("Cannot create output file", GetExtractError());
    EXPECT_STREQ("", path);
    EXPECT_EQ(0, CountFiles(deeper));
    EXPECT_EQ(0, CountFiles(deep));
    RemoveDirectoryA(deeper.c_str());
    RemoveDirectoryA(deep.c_str());
}

TEST(ArchiveExtract, EntryNameSafety) {
    struct Case { const char* name; bool safe; } cases[] = {
        {"app.db", true}, {"sub\\app.db", true}, {"a..b", true}, {"..", false}, {"..\\x", false},
        {"a/../x", false}, {"a\\..", false}, {"\\x", false}, {"/x", false}, {"C:x", false},
        {"C:\\x", false}, {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.safe, IsSafeEntryName(c.name)) << c.name;
}

TEST(PackageDecrypt, InstallErrorIsReplacedAndCut) {
    SetInstallError("first %d", 1);
    SetInstallError("second %s", "x");
    EXPECT_STREQ("second x", GetInstallError());
    std::string longText(600, 'a');
    SetInstallError("%s", longText.c_str());
    EXPECT_EQ(510u, strlen(GetInstallError()));
}

TEST(PackageDecrypt, DecryptsOpensslCiphertextAndRejectsBadInput) {
    // openssl enc -aes-128-cbc -K 30313233343536373839616263646566 -iv 000102030405060708090a0b0c0d0e0f
    // of "hello package" (13 bytes).
    const unsigned char key[16] = {'0','1','2','3','4','5','6','7','8','9','a','b','c','d','e','f'};
    unsigned char iv[16];
    for (int i = 0; i < 16; i++) iv[i] = (unsigned char)i;
    std::vector<unsigned char> cipher = ReadFileBytes(FixtureDir() + "\\hello.enc");
    ASSERT_EQ(16u, cipher.size());
    uint64_t length = 99;
    unsigned char* plain = DecryptPackage(cipher.data(), cipher.size(), key, iv, &length);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(13u, length);
    EXPECT_EQ(0, memcmp(plain, "hello package", 13));
    free(plain);

    unsigned char wrongKey[16] = {};
    length = 99;
    unsigned char odd[15] = {};
    const struct { const unsigned char* data; uint64_t size; const unsigned char* key; } bad[] = {
        {cipher.data(), 0, key}, {odd, sizeof odd, key}, {cipher.data(), cipher.size(), wrongKey},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(nullptr, DecryptPackage(b.data, b.size, b.key, iv, &length));
        EXPECT_EQ(0, strncmp(GetInstallError(), "CryptDecrypt failed: ", 21)) << GetInstallError();
        EXPECT_EQ(99u, length);
    }
}

// The test runner links with -municode, which wants a wide entry point.
int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
