#include "package/archive_read.h"

#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <malloc.h>
#else
#include <malloc.h>  // malloc_usable_size
#endif

extern "C" {
#include "7z.h"
#include "7zCrc.h"
}

static size_t BlockSize(void* address) {
#ifdef _WIN32
    return _msize(address);
#else
    return malloc_usable_size(address);
#endif
}

static void* AllocBytes(ISzAllocPtr, size_t size) { return size ? malloc(size) : nullptr; }
// Every block the decoder frees held part of the plain archive or the database.
static void FreeBytes(ISzAllocPtr, void* address) {
    if (!address) return;
    volatile Byte* bytes = static_cast<volatile Byte*>(address);
    for (size_t i = 0, n = BlockSize(address); i < n; i++) bytes[i] = 0;
    free(address);
}
static const ISzAlloc s_alloc = {AllocBytes, FreeBytes};

void InitArchiveCrc() { CrcGenerateTable(); }

bool IsSafeEntryName(const char* name) {
    if (!name[0]) return false;
    if (name[0] == '\\' || name[0] == '/') return false;
    if (strchr(name, ':')) return false;  // drive letters and alternate streams
    const char* part = name;
    for (;;) {
        size_t length = strcspn(part, "\\/");
        if (length == 2 && part[0] == '.' && part[1] == '.') return false;
        if (!part[length]) return true;
        part += length + 1;
    }
}

bool EntryNameToUtf8(const UInt16* name, char* out, size_t outSize) {
    if (outSize == 0) return false;
    size_t n = 0;
    for (size_t i = 0; name[i]; i++) {
        UInt32 c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        Byte bytes[4];
        size_t count;
        if (c < 0x80) {
            bytes[0] = (Byte)c;
            count = 1;
        } else if (c < 0x800) {
            bytes[0] = (Byte)(0xC0 | (c >> 6));
            bytes[1] = (Byte)(0x80 | (c & 0x3F));
            count = 2;
        } else if (c < 0x10000) {
            bytes[0] = (Byte)(0xE0 | (c >> 12));
            bytes[1] = (Byte)(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = (Byte)(0x80 | (c & 0x3F));
            count = 3;
        } else {
            bytes[0] = (Byte)(0xF0 | (c >> 18));
            bytes[1] = (Byte)(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = (Byte)(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = (Byte)(0x80 | (c & 0x3F));
            count = 4;
        }
        if (n + count + 1 > outSize) {
            out[0] = 0;
            return false;
        }
        memcpy(out + n, bytes, count);
        n += count;
    }
    out[n] = 0;
    return true;
}

int ReadFirstEntry(ISeekInStreamPtr input, ArchiveEntryWriter writer, void* context, const char** error) {
    *error = nullptr;
    CLookToRead2 lookStream;
    LookToRead2_CreateVTable(&lookStream, False);
    const size_t kInputBufSize = 0x40000;
    lookStream.buf = static_cast<Byte*>(ISzAlloc_Alloc(&s_alloc, kInputBufSize));
    if (!lookStream.buf) {
        *error = "Memory allocation failed";
        return 0;
    }
    lookStream.bufSize = kInputBufSize;
    lookStream.realStream = input;
    LookToRead2_INIT(&lookStream);

    CSzArEx db;
    SzArEx_Init(&db);
    int result = 0;
    UInt16* name = nullptr;
    if (SzArEx_Open(&db, &lookStream.vt, &s_alloc, &s_alloc) != SZ_OK) {
        *error = "Cannot open 7z archive";
    } else {
        for (UInt32 i = 0; i < db.NumFiles; i++) {
            if (SzArEx_IsDir(&db, i)) continue;
            size_t nameLength = SzArEx_GetFileNameUtf16(&db, i, nullptr);
            if (nameLength > 0) {
                name = static_cast<UInt16*>(ISzAlloc_Alloc(&s_alloc, nameLength * 2));
                if (!name) {
                    *error = "Memory allocation failed for filename";
                    break;
                }
                SzArEx_GetFileNameUtf16(&db, i, name);
                name[nameLength - 1] = 0;
            }
            char utf8Name[260] = "";
            // A name that does not fit is refused rather than read unterminated.
            if (name) EntryNameToUtf8(name, utf8Name, sizeof utf8Name);
            // A hostile name must never reach outside the output folder.
            if (!IsSafeEntryName(utf8Name)) {
                *error = "Unsafe file name in archive";
                break;
            }
            UInt32 blockIndex = 0xFFFFFFFF;
            Byte* outBuffer = nullptr;
            size_t outBufferSize = 0, offset = 0, processed = 0;
            if (SzArEx_Extract(&db, &lookStream.vt, i, &blockIndex, &outBuffer, &outBufferSize, &offset,
                               &processed, &s_alloc, &s_alloc) != SZ_OK) {
                *error = "Extraction failed";
            } else {
                *error = writer(utf8Name, outBuffer + offset, processed, context);
                result = *error ? 0 : 1;
            }
            ISzAlloc_Free(&s_alloc, outBuffer);
            break;
        }
    }
    ISzAlloc_Free(&s_alloc, name);
    SzArEx_Free(&db, &s_alloc);
    ISzAlloc_Free(&s_alloc, lookStream.buf);
    return result;
}
