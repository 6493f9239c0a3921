#pragma once
// Reading the data package file: the initialisation vector, the two header
// words and the whole ciphertext. Plain C library calls only, so the checks
// also build natively for the fuzzer.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// The ciphertext is read with one call and decrypted with a 32-bit length.
#define PACKAGE_SIZE_LIMIT 0x80000000LL

struct PackageHeader {
    unsigned char iv[16];
    uint32_t words[2];
};

// 0 when a package of fileSize bytes can be read whole; otherwise
// INSTALL_IO_ERROR with the reason in why.
int CheckPackageSize(int64_t fileSize, char* why, size_t whySize);

// Reads the open package from its start into a new malloc'd ciphertext
// buffer (never null on success, even for an empty ciphertext). 0 on
// success, else INSTALL_IO_ERROR with why set, or INSTALL_OUT_OF_MEMORY with
// why left empty.
int ReadPackageFile(FILE* file, PackageHeader* header, unsigned char** cipher, uint64_t* cipherLength, char* why,
                    size_t whySize);

// Whether a decrypted length reported for a ciphertext lies inside the block
// decryption was given (ciphertext length plus one block).
bool PlainLengthFits(uint64_t plainLength, uint64_t cipherLength);
