#pragma once
// AES-128-CBC decryption of the data package and the installer's error text.
#include <stdint.h>

// Returns a malloc'd block 16 bytes larger than the ciphertext holding the
// plaintext at its start, or null; *plainLength is written only on success.
unsigned char* DecryptPackage(const unsigned char* cipher, uint64_t cipherLength,
                              const unsigned char* key16, const unsigned char* iv16,
                              uint64_t* plainLength);

void SetInstallError(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* GetInstallError();
