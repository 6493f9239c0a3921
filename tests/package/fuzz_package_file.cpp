// libFuzzer target: arbitrary bytes as the package file, through the size
// checks, the header words, the initialisation vector and the ciphertext
// buffer handed to decryption. The cipher itself is the Windows tests' part.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "package/package_file.h"
#include "package/package_installer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char why[256];
    // Any claimed size, as a file system might report it.
    if (size >= 8) {
        int64_t claimed;
        memcpy(&claimed, data, 8);
        int rc = CheckPackageSize(claimed, why, sizeof why);
        bool fits = claimed >= 0 && claimed < PACKAGE_SIZE_LIMIT;
        if ((rc == 0) != fits || (rc && !why[0])) __builtin_trap();
        uint64_t plain;
        memcpy(&plain, data, 8);
        uint64_t cipher = size;
        if (PlainLengthFits(plain, cipher) != (plain <= cipher + 16)) __builtin_trap();
    }
    FILE* file = fmemopen(const_cast<uint8_t*>(size ? data : (const uint8_t*)""), size, "rb");
    if (!file) return 0;
    PackageHeader header;
    unsigned char* cipher = nullptr;
    uint64_t length = 0;
    int rc = ReadPackageFile(file, &header, &cipher, &length, why, sizeof why);
    fclose(file);
    if (size < 24) {
        if (rc != INSTALL_IO_ERROR || cipher || strcmp(why, "Invalid file header") != 0) __builtin_trap();
        return 0;
    }
    if (rc != 0 || !cipher || length != size - 24) __builtin_trap();
    if (memcmp(header.iv, data, 16) != 0 || memcmp(header.words, data + 16, 8) != 0) __builtin_trap();
    if (memcmp(cipher, data + 24, (size_t)length) != 0) __builtin_trap();
    // What decryption is handed: the ciphertext and a block one AES block larger.
    if (!PlainLengthFits(length + 16, length) || PlainLengthFits(length + 17, length)) __builtin_trap();
    free(cipher);
    return 0;
}
