#include "update/manifest_text.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

bool JsonFindString(const char* json, const char* key, char* out, int size) {
    if (!json || !key || !out || size <= 0) return false;
    char pattern[128];
    snprintf(pattern, sizeof pattern, "\"%s\"", key);
    const char* found = strstr(json, pattern);
    if (!found) return false;
    const char* colon = strchr(found, ':');
    if (!colon) return false;
    const char* quote = strchr(colon, '"');
    if (!quote) return false;
    const char* start = quote + 1;
    const char* end = start;
    while (*end && *end != '"') end += (end[0] == '\\' && end[1]) ? 2 : 1;

    size_t length = (size_t)(end - start);
    if (length > (size_t)size - 1) length = (size_t)size - 1;
    memcpy(out, start, length);
    out[length] = 0;

    // In place: the result is never longer than the escaped text.
    size_t write = 0;
    for (size_t read = 0; read < length; ++read) {
        char c = out[read];
        if (c == '\\' && read + 1 < length) {
            char next = out[read + 1];
            char plain = next == '"' ? '"' : next == '\\' ? '\\' : next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : 0;
            if (plain) {
                out[write++] = plain;
                ++read;
                continue;
            }
        }
        out[write++] = c;
    }
    out[write] = 0;
    return true;
}

static bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%d": blanks, an optional sign, at least one digit. Saturates instead of
// overflowing, which the runtime's scanf leaves undefined.
static bool ReadNumber(const char** cursor, int* value) {
    const char* p = *cursor;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= (long long)INT_MAX + 1) magnitude = magnitude * 10 + (*p - '0');
    }
    if (negative) *value = magnitude > (long long)INT_MAX + 1 ? INT_MIN : (int)-magnitude;
    else *value = magnitude > INT_MAX ? INT_MAX : (int)magnitude;
    *cursor = p;
    return true;
}

int ReadVersionText(const char* text, int* major, int* minor, int* patch) {
    int* parts[3] = {major, minor, patch};
    for (int* part : parts) *part = 0;
    if (!text) return 0;
    if (*text == 'v' || *text == 'V') ++text;
    int count = 0;
    while (count < 3) {
        if (count > 0) {
            if (*text != '.') break;
            ++text;
        }
        if (!ReadNumber(&text, parts[count])) break;
        ++count;
    }
    return count;
}

int CompareVersions(int a1, int a2, int a3, int b1, int b2, int b3) {
    if (a1 != b1) return a1 > b1 ? 1 : -1;
    if (a2 != b2) return a2 > b2 ? 1 : -1;
    if (a3 != b3) return a3 > b3 ? 1 : -1;
    return 0;
}
