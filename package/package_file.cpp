#include "package/package_file.h"

#include <stdlib.h>
#include <string.h>

#include "package/package_installer.h"

// 64-bit offsets: a 32-bit ftell fails on 2 GiB and more and leaves no reason.
static int SeekFile(FILE* file, int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(file, offset, origin);
#else
    return fseeko(file, static_cast<off_t>(offset), origin);
#endif
}

static int64_t TellFile(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return static_cast<int64_t>(ftello(file));
#endif
}

static void SetWhy(char* why, size_t whySize, const char* text) {
    if (!why || whySize == 0) return;
    snprintf(why, whySize, "%s", text);
}

int CheckPackageSize(int64_t fileSize, char* why, size_t whySize) {
    if (fileSize < 0) {
        SetWhy(why, whySize, "Cannot read package size");
        return INSTALL_IO_ERROR;
    }
    if (fileSize >= PACKAGE_SIZE_LIMIT) {
        if (why && whySize)
            snprintf(why, whySize, "Package file too large: %lld bytes (at most %lld)",
                     static_cast<long long>(fileSize), static_cast<long long>(PACKAGE_SIZE_LIMIT - 1));
        return INSTALL_IO_ERROR;
    }
    return 0;
}

int ReadPackageFile(FILE* file, PackageHeader* header, unsigned char** cipher, uint64_t* cipherLength, char* why,
                    size_t whySize) {
    SetWhy(why, whySize, "");
    *cipher = nullptr;
    *cipherLength = 0;
    int64_t size = -1;
    if (SeekFile(file, 0, SEEK_END) == 0) size = TellFile(file);
    if (SeekFile(file, 0, SEEK_SET) != 0) size = -1;
    int rc = CheckPackageSize(size, why, whySize);
    if (rc) return rc;
    if (fread(header->iv, 1, 16, file) != 16 || fread(&header->words[0], 4, 1, file) != 1 ||
        fread(&header->words[1], 4, 1, file) != 1 || size < 24) {
        SetWhy(why, whySize, "Invalid file header");
        return INSTALL_IO_ERROR;
    }
    uint64_t length = static_cast<uint64_t>(size - 24);
    // malloc(0) may answer null; an empty ciphertext is for decryption to refuse.
    unsigned char* buffer = static_cast<unsigned char*>(malloc(length ? static_cast<size_t>(length) : 1));
    if (!buffer) return INSTALL_OUT_OF_MEMORY;
    if (fread(buffer, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
        free(buffer);
        SetWhy(why, whySize, "Failed to read encrypted data");
        return INSTALL_IO_ERROR;
    }
    *cipher = buffer;
    *cipherLength = length;
    return 0;
}

bool PlainLengthFits(uint64_t plainLength, uint64_t cipherLength) {
    return cipherLength < static_cast<uint64_t>(PACKAGE_SIZE_LIMIT) && plainLength <= cipherLength + 16;
}
