// libFuzzer target: arbitrary bytes as the decrypted package's 7z archive,
// read and first-file extracted by the project's own archive code.
#include <stdint.h>
#include <string.h>

#include "package/archive_read.h"

struct MemoryStream {
    ISeekInStream vt;
    const uint8_t* data;
    size_t size;
    size_t position;
};

static SRes ReadMemory(ISeekInStreamPtr p, void* buf, size_t* size) {
    MemoryStream* stream = (MemoryStream*)p;
    size_t left = stream->size - stream->position;
    if (*size > left) *size = left;
    memcpy(buf, stream->data + stream->position, *size);
    stream->position += *size;
    return SZ_OK;
}

static SRes SeekMemory(ISeekInStreamPtr p, Int64* pos, ESzSeek origin) {
    MemoryStream* stream = (MemoryStream*)p;
    Int64 base = origin == SZ_SEEK_SET ? 0 : origin == SZ_SEEK_CUR ? (Int64)stream->position : (Int64)stream->size;
    Int64 target = base + *pos;
    if (target < 0 || target > (Int64)stream->size) return SZ_ERROR_READ;
    stream->position = (size_t)target;
    *pos = target;
    return SZ_OK;
}

// Reads every byte handed over, so a short buffer shows under the sanitizer.
static const char* TakeEntry(const char* name, const Byte* data, size_t size, void* context) {
    if (!IsSafeEntryName(name)) __builtin_trap();
    if (strlen(name) >= 260) __builtin_trap();
    unsigned sum = 0;
    for (size_t i = 0; i < size; i++) sum += data[i];
    *(unsigned*)context += sum;
    return nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool crcReady = (InitArchiveCrc(), true);
    (void)crcReady;
    MemoryStream stream = {{ReadMemory, SeekMemory}, data, size, 0};
    unsigned sum = 0;
    const char* error = nullptr;
    int result = ReadFirstEntry(&stream.vt, TakeEntry, &sum, &error);
    if (result == 1 && error) __builtin_trap();
    return 0;
}
