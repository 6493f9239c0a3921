#include "package/package_decrypt.h"

#include <windows.h>
#include <wincrypt.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char s_installError[512];

void SetInstallError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(s_installError, 511, format, args);
    va_end(args);

}

const char* GetInstallError() { return s_installError; }

unsigned char* DecryptPackage(const unsigned char* cipher, uint64_t cipherLength,
                              const unsigned char* key16, const unsigned char* iv16,
                              uint64_t* plainLength) {
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextW(&prov, nullptr, L"Microsoft Enhanced RSA and AES Cryptographic Provider",
                              PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        SetInstallError("CryptAcquireContext failed: %lu", GetLastError());
        return nullptr;
    }
    unsigned char blob[28] = {};
    blob[0] = PLAINTEXTKEYBLOB;
    blob[1] = CUR_BLOB_VERSION;
    DWORD alg = CALG_AES_128, keyLength = 16;
    memcpy(blob + 4, &alg, 4);
    memcpy(blob + 8, &keyLength, 4);
    memcpy(blob + 12, key16, 16);
    HCRYPTKEY key = 0;
    BOOL imported = CryptImportKey(prov, blob, sizeof blob, 0, 0, &key);
    DWORD importError = GetLastError();
    SecureZeroMemory(blob, sizeof blob);
    if (!imported) {
        SetInstallError("CryptImportKey failed: %lu", importError);
        CryptReleaseContext(prov, 0);
        return nullptr;
    }
    unsigned char* result = nullptr;
    DWORD mode = CRYPT_MODE_CBC;
    if (!CryptSetKeyParam(key, KP_MODE, reinterpret_cast<BYTE*>(&mode), 0)) {
        SetInstallError("CryptSetKeyParam MODE failed: %lu", GetLastError());
    } else if (!CryptSetKeyParam(key, KP_IV, const_cast<BYTE*>(iv16), 0)) {
        SetInstallError("CryptSetKeyParam IV failed: %lu", GetLastError());
    } else {
        unsigned char* block = static_cast<unsigned char*>(malloc(static_cast<size_t>(cipherLength) + 16));
        if (!block) {
            SetInstallError("Memory allocation failed");
        } else {
            if (cipherLength) memcpy(block, cipher, static_cast<size_t>(cipherLength));
            DWORD length = static_cast<DWORD>(cipherLength);
            // Some providers read before the block on an empty message.
            if (length == 0) SetLastError(static_cast<DWORD>(NTE_BAD_LEN));
            if (length != 0 && CryptDecrypt(key, 0, TRUE, 0, block, &length)) {
                *plainLength = length;
                result = block;
            } else {
                SetInstallError("CryptDecrypt failed: %lu", GetLastError());
                // A failed pad check leaves all but the last block decrypted in place.
                SecureZeroMemory(block, static_cast<size_t>(cipherLength) + 16);
                free(block);
            }
        }
    }
    CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
    return result;
}
