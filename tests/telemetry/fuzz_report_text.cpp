// libFuzzer target for the report's JSON escaping: tests/net/run_fuzzers.sh builds it natively.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "telemetry/report_text.h"

// A JSON string's inside: no raw control byte or quote, known escapes, valid UTF-8.
static bool ValidJsonStringBody(const unsigned char* p) {
    while (*p) {
        unsigned char c = *p;
        if (c < 0x20 || c == '"') return false;
        if (c == '\\') {
            unsigned char e = p[1];
            if (e == 'u') {
                for (int i = 2; i < 6; ++i)
                    if (!strchr("0123456789abcdef", p[i]) || !p[i]) return false;
                p += 6;
                continue;
            }
            if (!e || !strchr("\"\\/bfnrt", e)) return false;
            p += 2;
            continue;
        }
        int length = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                   : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        if (!length) return false;
        for (int i = 1; i < length; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        if (c == 0xE0 && p[1] < 0xA0) return false;
        if (c == 0xED && p[1] > 0x9F) return false;
        if (c == 0xF0 && p[1] < 0x90) return false;
        if (c == 0xF4 && p[1] > 0x8F) return false;
        p += length;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int room = 1 + data[0] % 200;
    char* text = (char*)malloc(size);
    memcpy(text, data + 1, size - 1);
    text[size - 1] = 0;

    char* out = (char*)malloc((size_t)room);
    int length = JsonEscape(text, out, room);
    if (length < 0 || length >= room || (int)strlen(out) != length) abort();
    if (!ValidJsonStringBody((const unsigned char*)out)) abort();

    LaunchReport report;
    memset(&report, 0, sizeof report);
    CopyUtf8Cut(text, report.install_id, sizeof report.install_id);
    memcpy(report.device_id, text, strnlen(text, sizeof report.device_id - 1));
    CopyUtf8Cut(text, report.first_launch, sizeof report.first_launch);
    CopyUtf8Cut(text, report.os_locale, sizeof report.os_locale);
    char body[2048];
    if (FormatLaunchReportBody(&report, body, sizeof body) <= 0) abort();
    free(out);
    free(text);
    return 0;
}
