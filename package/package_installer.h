#pragma once
// First-start installation of the corpus database from the encrypted data package.
#include <stddef.h>

#include "package/package_decrypt.h"  // GetInstallError, which callers show on failure

enum InstallResult {
    INSTALL_ALREADY_PRESENT = 0,
    INSTALL_DONE = 1,
    INSTALL_NO_PACKAGE = 2,
    INSTALL_DECRYPT_FAILED = 3,
    INSTALL_EXTRACT_FAILED = 4,
    INSTALL_DATABASE_FAILED = 5,
    INSTALL_OUT_OF_MEMORY = 6,
    INSTALL_IO_ERROR = 7,
};

typedef void (*ProgressCallback)(int percent, const wchar_t* text, void* context);

// Paths are UTF-8. 0 and 1 mean the database is in place; otherwise
// GetInstallError says why (code 6 leaves it unchanged).
int InstallDataPackage(const char* databasePath, const char* packagePath, ProgressCallback progress,
                       void* context);

// Overwrites the file with zero bytes, then deletes it; the DeleteFile result.
int SecureDeleteFile(const char* path);

// Test seam: called with the decrypted archive just before it is freed.
typedef void (*PlainReleaseHook)(const unsigned char* block, size_t size);
void SetPlainReleaseHookForTest(PlainReleaseHook hook);
