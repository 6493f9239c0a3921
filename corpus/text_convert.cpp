#include "corpus/text_convert.h"

#ifdef _WIN32
#include <windows.h>

int CorpusUtf8ToUtf16(const char* text, char16_t* out, int capacity) {
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, (wchar_t*)out, capacity);
}

#else
#include <stdint.h>

// Strict decoding; anything malformed reads as U+FFFD, one per bad byte.
int CorpusUtf8ToUtf16(const char* text, char16_t* out, int capacity) {
    const unsigned char* p = (const unsigned char*)text;
    int n = 0;
    while (true) {
        uint32_t c = *p;
        int extra = 0;
        if (c < 0x80) {
            p++;
        } else {
            uint32_t min = 0;
            if (c >= 0xC2 && c <= 0xDF) extra = 1, c &= 0x1F, min = 0x80;
            else if (c >= 0xE0 && c <= 0xEF) extra = 2, c &= 0x0F, min = 0x800;
            else if (c >= 0xF0 && c <= 0xF4) extra = 3, c &= 0x07, min = 0x10000;
            else extra = -1;
            int i = 1;
            for (; extra > 0 && i <= extra; i++) {
                if ((p[i] & 0xC0) != 0x80) break;
                c = (c << 6) | (p[i] & 0x3F);
            }
            if (extra < 0 || i <= extra || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                c = 0xFFFD;
                p++;
            } else {
                p += extra + 1;
            }
        }
        int units = c >= 0x10000 ? 2 : 1;
        if (n + units > capacity) return 0;
        if (units == 2) {
            out[n++] = (char16_t)(0xD800 + ((c - 0x10000) >> 10));
            out[n++] = (char16_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[n++] = (char16_t)c;
        }
        if (c == 0) return n;
    }
}
#endif
