#include "package/package_installer.h"

#include <windows.h>
#include <io.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/storage.h"
#include "package/archive_extract.h"
#include "package/package_decrypt.h"
#include "corpus/corpus_db.h"
#include "corpus/corpus_tables.h"
#include "package/package_file.h"
#include "sqlite3.h"

static PlainReleaseHook s_plainReleaseHook;

void SetPlainReleaseHookForTest(PlainReleaseHook hook) { s_plainReleaseHook = hook; }

static bool ToWide(const char* path, wchar_t* out) {
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, out, MAX_PATH) > 0) return true;
    out[0] = 0;
    return false;
}

static DWORD FileAttributesUtf8(const char* path) {
    wchar_t wide[MAX_PATH];
    return ToWide(path, wide) ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
}

static BOOL DeleteFileUtf8(const char* path) {
    wchar_t wide[MAX_PATH];
    return ToWide(path, wide) ? DeleteFileW(wide) : FALSE;
}

static void CreateDirectoryUtf8(const char* path) {
    wchar_t wide[MAX_PATH];
    if (ToWide(path, wide)) CreateDirectoryW(wide, nullptr);
}

static FILE* OpenUtf8(const char* path, const wchar_t* mode) {
    wchar_t wide[MAX_PATH];
    return ToWide(path, wide) ? _wfopen(wide, mode) : nullptr;
}

static void Report(ProgressCallback progress, int percent, const wchar_t* text, void* context) {
    if (progress) progress(percent, text, context);
}

// The decrypted archive must never be freed with its content still in it.
static void WipeAndFree(unsigned char* block, size_t size) {
    SecureZeroMemory(block, size);
    if (s_plainReleaseHook) s_plainReleaseHook(block, size);
    free(block);
}

int SecureDeleteFile(const char* path) {
    FILE* file = OpenUtf8(path, L"r+b");
    if (file) {
        _fseeki64(file, 0, SEEK_END);
        int64_t size = _ftelli64(file);  // 64-bit: a 32-bit size fails on 2 GiB and more
        _fseeki64(file, 0, SEEK_SET);
        unsigned char* zeros = static_cast<unsigned char*>(calloc(1, 4096));
        if (zeros) {
            for (int64_t done = 0; done < size;) {
                int64_t piece = size - done < 4096 ? size - done : 4096;
                fwrite(zeros, 1, static_cast<size_t>(piece), file);
                done += piece;
            }
            free(zeros);
            // The zeros must reach the disk before the name goes, or the wipe stays in the cache.
            fflush(file);
            _commit(_fileno(file));
        }
        fclose(file);
    }
    wchar_t wide[MAX_PATH];
    return ToWide(path, wide) ? DeleteFileW(wide) : FALSE;
}

// A database file larger than 1024 bytes counts as installed; a smaller one is
// the remains of a failed run and goes.
static bool DatabasePresent(const char* databasePath) {
    wchar_t wide[MAX_PATH];
    if (!ToWide(databasePath, wide) || GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) return false;
    if (data.nFileSizeHigh > 0 || data.nFileSizeLow > 1024) return true;
    DeleteFileW(wide);
    return false;
}

// Reads the package into a new ciphertext buffer; 0 on success, else the result code.
static int ReadPackage(const char* packagePath, unsigned char iv[16], unsigned char** cipher, uint64_t* cipherLength) {
    FILE* file = OpenUtf8(packagePath, L"rb");
    if (!file) {
        SetInstallError("Cannot open: %s", packagePath);
        return INSTALL_IO_ERROR;
    }
    PackageHeader header;
    char why[256];
    int rc = ReadPackageFile(file, &header, cipher, cipherLength, why, sizeof why);
    fclose(file);
    if (rc == INSTALL_IO_ERROR) SetInstallError("%s", why);
    if (rc == 0) memcpy(iv, header.iv, 16);
    return rc;
}

// Writes the plain archive to a temporary file and wipes it from memory on every path.
static int WriteTempArchive(unsigned char* plain, size_t blockSize, uint64_t plainLength, char* tempDir,
                            char* archivePath) {
    if (!GetTempDir(tempDir, MAX_PATH)) {
        SetInstallError("Cannot get temp directory");
        WipeAndFree(plain, blockSize);
        return INSTALL_IO_ERROR;
    }
    CreateDirectoryUtf8(tempDir);
    snprintf(archivePath, MAX_PATH, "%s\\tivra_temp_%lu.7z", tempDir, GetTickCount());
    FILE* file = OpenUtf8(archivePath, L"wb");
    if (!file) {
        WipeAndFree(plain, blockSize);
        SetInstallError("Cannot create temp file");
        return INSTALL_IO_ERROR;
    }
    fwrite(plain, 1, static_cast<size_t>(plainLength), file);
    fclose(file);
    WipeAndFree(plain, blockSize);
    return 0;
}

// The extracted database and, once made, its copy held plain data: both are wiped.
static int FailDatabase(sqlite3* db, const char* databasePath, const char* extractedPath) {
    if (db) sqlite3_close(db);
    SecureDeleteFile(databasePath);
    SecureDeleteFile(extractedPath);
    return INSTALL_DATABASE_FAILED;
}

static int EncryptCopy(const char* databasePath, const char* extractedPath) {
    char folder[MAX_PATH];
    strncpy(folder, databasePath, MAX_PATH - 1);
    folder[MAX_PATH - 1] = 0;
    char* slash = strrchr(folder, '\\');
    if (slash) {
        *slash = 0;
        CreateDirectoryUtf8(folder);
    }
    wchar_t wideFrom[MAX_PATH], wideTo[MAX_PATH];
    ToWide(extractedPath, wideFrom);
    ToWide(databasePath, wideTo);
    if (!CopyFileW(wideFrom, wideTo, FALSE)) {
        SetInstallError("Cannot copy database file: %lu", GetLastError());
        SecureDeleteFile(extractedPath);
        return INSTALL_DATABASE_FAILED;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath, &db) != SQLITE_OK) {
        SetInstallError("Cannot open copied database: %s", sqlite3_errmsg(db));
        return FailDatabase(db, databasePath, extractedPath);
    }
    char sql[512];
    snprintf(sql, sizeof sql, "PRAGMA rekey = '%s';", CorpusPassphrase());
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    SecureZeroMemory(sql, sizeof sql);
    if (rc != SQLITE_OK) {
        SetInstallError("Cannot encrypt database: %s", message ? message : "Unknown");
        sqlite3_free(message);
        return FailDatabase(db, databasePath, extractedPath);
    }
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, &message) != SQLITE_OK) {
        SetInstallError("Encryption verification failed: %s", message ? message : "Unknown");
        sqlite3_free(message);
        return FailDatabase(db, databasePath, extractedPath);
    }
    // An empty or foreign SQLite file passes the count; the lists would stay empty for good.
    if (!CorpusTablesPresent(db)) {
        SetInstallError("Encryption verification failed: the database lacks the corpus tables");
        return FailDatabase(db, databasePath, extractedPath);
    }
    sqlite3_close(db);
    return 0;
}

int InstallDataPackage(const char* databasePath, const char* packagePath, ProgressCallback progress,
                       void* context) {
    if (DatabasePresent(databasePath)) return INSTALL_ALREADY_PRESENT;
    if (FileAttributesUtf8(packagePath) == INVALID_FILE_ATTRIBUTES) {
        SetInstallError("Source package not found: %s", packagePath);
        return INSTALL_NO_PACKAGE;
    }

    Report(progress, 5, L"Reading encrypted package...", context);
    unsigned char iv[16];
    unsigned char* cipher = nullptr;
    uint64_t cipherLength = 0;
    int rc = ReadPackage(packagePath, iv, &cipher, &cipherLength);
    if (rc) return rc;

    Report(progress, 20, L"Decrypting...", context);
    uint64_t plainLength = 0;
    unsigned char* plain = DecryptPackage(cipher, cipherLength,
                                          reinterpret_cast<const unsigned char*>(CorpusPassphrase()), iv,
                                          &plainLength);
    free(cipher);
    if (!plain) return INSTALL_DECRYPT_FAILED;
    // Never write more than the block decryption was handed.
    if (!PlainLengthFits(plainLength, cipherLength)) {
        WipeAndFree(plain, static_cast<size_t>(cipherLength) + 16);
        SetInstallError("CryptDecrypt failed: plaintext length %llu out of range",
                        static_cast<unsigned long long>(plainLength));
        return INSTALL_DECRYPT_FAILED;
    }

    Report(progress, 40, L"Decompressing...", context);
    char tempDir[MAX_PATH], archivePath[MAX_PATH];
    rc = WriteTempArchive(plain, static_cast<size_t>(cipherLength) + 16, plainLength, tempDir, archivePath);
    if (rc) return rc;

    Report(progress, 50, L"Extracting archive...", context);
    char extractedPath[MAX_PATH];
    InitArchiveCrc();
    int extracted = ExtractFirstFile(archivePath, tempDir, extractedPath, sizeof extractedPath);
    SecureDeleteFile(archivePath);
    if (!extracted) {
        SetInstallError("Decompression failed: %s", GetExtractError());
        return INSTALL_EXTRACT_FAILED;
    }
    if (FileAttributesUtf8(extractedPath) == INVALID_FILE_ATTRIBUTES) {
        SetInstallError("Decompression failed: file not created");
        return INSTALL_EXTRACT_FAILED;
    }

    Report(progress, 70, L"Creating encrypted database...", context);
    rc = EncryptCopy(databasePath, extractedPath);
    if (rc) return rc;

    Report(progress, 90, L"Cleaning up...", context);
    SecureDeleteFile(extractedPath);
    wchar_t wide[MAX_PATH];
    if (ToWide(tempDir, wide)) RemoveDirectoryW(wide);
    DeleteFileUtf8(packagePath);
    Report(progress, 100, L"Initialization complete", context);
    return INSTALL_DONE;
}
