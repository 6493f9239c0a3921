#include "corpus/like_match.h"

#include <string.h>

// Values of the lead bytes 0xC0..0xFF before their continuation bytes.
static const unsigned char UTF8_LEAD_VALUE[64] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
};

uint32_t LikeReadChar(const unsigned char** text) {
    uint32_t c = *((*text)++);
    if (c >= 0xC0) {
        c = UTF8_LEAD_VALUE[c - 0xC0];
        while ((**text & 0xC0) == 0x80) c = (c << 6) + (0x3F & *((*text)++));
        if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE) c = 0xFFFD;
    }
    return c;
}

static uint32_t AsciiLower(uint32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
static uint32_t AsciiUpper(uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

enum { LIKE_MATCH = 0, LIKE_NOMATCH = 1, LIKE_NOWILDCARDMATCH = 2 };

// The engine's own walk, kept step for step (same backtracking, same early
// ends) so odd bytes in rows give the same answer as the statement.
static int PatternCompare(const unsigned char* pattern, const unsigned char* text) {
    const uint32_t matchAll = '%', matchOne = '_', escape = '\\';
    const unsigned char* escaped = nullptr;
    uint32_t c, c2;
    while ((c = LikeReadChar(&pattern)) != 0) {
        if (c == matchAll) {
            while ((c = LikeReadChar(&pattern)) == matchAll || c == matchOne) {
                if (c == matchOne && LikeReadChar(&text) == 0) return LIKE_NOWILDCARDMATCH;
            }
            if (c == 0) return LIKE_MATCH;
            if (c == escape) {
                c = LikeReadChar(&pattern);
                if (c == 0) return LIKE_NOWILDCARDMATCH;
            }
            if (c < 0x80) {
                char stop[3] = {(char)AsciiUpper(c), (char)AsciiLower(c), 0};
                while (true) {
                    text += strcspn((const char*)text, stop);
                    if (text[0] == 0) break;
                    text++;
                    int m = PatternCompare(pattern, text);
                    if (m != LIKE_NOMATCH) return m;
                }
            } else {
                while ((c2 = LikeReadChar(&text)) != 0) {
                    if (c2 != c) continue;
                    int m = PatternCompare(pattern, text);
                    if (m != LIKE_NOMATCH) return m;
                }
            }
            return LIKE_NOWILDCARDMATCH;
        }
        if (c == escape) {
            c = LikeReadChar(&pattern);
            if (c == 0) return LIKE_NOMATCH;
            escaped = pattern;
        }
        c2 = LikeReadChar(&text);
        if (c == c2) continue;
        if (c < 0x80 && c2 < 0x80 && AsciiLower(c) == AsciiLower(c2)) continue;
        if (c == matchOne && pattern != escaped && c2 != 0) continue;
        return LIKE_NOMATCH;
    }
    return *text == 0 ? LIKE_MATCH : LIKE_NOMATCH;
}

bool LikeMatches(const char* pattern, const char* text) {
    if (!pattern || !text) return false;
    return PatternCompare((const unsigned char*)pattern, (const unsigned char*)text) == LIKE_MATCH;
}

void LikePatternFromEscaped(const char* escaped, size_t length, char* out) {
    size_t n = 0;
    out[n++] = '%';
    for (size_t i = 0; i < length; i++) {
        out[n++] = escaped[i];
        if (escaped[i] == '\'' && i + 1 < length && escaped[i + 1] == '\'') i++;
    }
    out[n++] = '%';
    out[n] = 0;
}
