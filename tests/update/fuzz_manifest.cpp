// libFuzzer target for the manifest readers: tests/net/run_fuzzers.sh builds it natively.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "update/manifest_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int room = 1 + data[0] % 64;
    char* text = (char*)malloc(size);
    memcpy(text, data + 1, size - 1);
    text[size - 1] = 0;

    char* out = (char*)malloc((size_t)room);
    memset(out, 'u', (size_t)room);
    const char* keys[] = {"tag_name", "version", "body", ""};
    for (const char* key : keys) {
        if (JsonFindString(text, key, out, room) && strnlen(out, (size_t)room) >= (size_t)room) abort();
    }
    int major, minor, patch;
    int read = ReadVersionText(text, &major, &minor, &patch);
    if (read < 0 || read > 3) abort();
    if (read < 3 && patch != 0) abort();
    free(out);
    free(text);
    return 0;
}
