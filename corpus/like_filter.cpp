#include "corpus/like_filter.h"

#include <stdio.h>
#include <string.h>

// Bytes of the character that starts at text[0]: a lead byte and the
// continuation bytes after it, at most four in all.
static size_t CharacterBytes(const char* text, size_t available) {
    size_t n = 1;
    while (n < 4 && n < available && ((unsigned char)text[n] & 0xC0) == 0x80) n++;
    return n;
}

void EscapeTerm(const char* term, size_t length, char* out) {
    size_t n = 0;
    size_t i = 0;
    while (i < length) {
        char c = term[i];
        if (c == '\'' || c == '%' || c == '_' || c == '\\') {
            if (n + 2 > 255) break;
            out[n++] = c == '\'' ? '\'' : '\\';
            out[n++] = c;
            i++;
            continue;
        }
        // A character that does not fit whole is dropped with the rest.
        size_t bytes = CharacterBytes(term + i, length - i);
        if (n + bytes > 255) break;
        memcpy(out + n, term + i, bytes);
        n += bytes;
        i += bytes;
    }
    out[n] = 0;
}

// " LIKE '%" and "%' ESCAPE '\'" around the escaped term; " AND " before later ones.
static size_t ConditionLength(size_t columnLength, size_t escapedLength, bool first) {
    return (first ? 0 : 5) + columnLength + 8 + escapedLength + 13;
}

int ForEachLikeTerm(const char* input, size_t columnLength, int capacity, LikeTermCallback callback, void* context) {
    if (!input || capacity <= 0) return 0;
    char work[512];
    size_t copied = strnlen(input, 511);
    // The copy ends on a character boundary, like the conversion before it.
    if (copied == 511) {
        size_t back = 0;
        while (back < 3 && copied > 0 && ((unsigned char)input[copied] & 0xC0) == 0x80) {
            copied--;
            back++;
        }
    }
    memcpy(work, input, copied);
    work[copied] = 0;
    char* start = work;
    while (*start == ' ') start++;
    size_t len = strlen(start);
    while (len > 0 && start[len - 1] == ' ') start[--len] = 0;
    if (len == 0) return 0;

    size_t outLen = 0;
    int count = 0;
    char* cursor = start;
    while (*cursor) {
        while (*cursor == ' ') cursor++;
        if (!*cursor) break;
        char* end = cursor;
        while (*end && *end != ' ') end++;
        char escaped[256];
        EscapeTerm(cursor, (size_t)(end - cursor), escaped);
        size_t escapedLen = strlen(escaped);
        size_t condLen = ConditionLength(columnLength, escapedLen, count == 0);
        if (condLen + outLen < (size_t)capacity) {
            outLen += condLen;
            count++;
            if (callback) callback(escaped, escapedLen, context);
        }
        cursor = end;
    }
    return count;
}

struct FilterOut {
    const char* column;
    char* out;
    size_t length;
};

static void AppendCondition(const char* escaped, size_t, void* context) {
    FilterOut* f = (FilterOut*)context;
    char condition[512];
    int n = snprintf(condition, sizeof condition, "%s%s LIKE '%%%s%%' ESCAPE '\\'", f->length ? " AND " : "",
                     f->column, escaped);
    if (n <= 0) return;
    memcpy(f->out + f->length, condition, (size_t)n + 1);
    f->length += (size_t)n;
}

bool BuildLikeFilter(const char* input, const char* column, char* out, int capacity) {
    if (!input || !column || !out || capacity <= 0) return false;
    const char* p = input;
    while (*p == ' ') p++;
    if (!*p) return false;
    FilterOut f = {column, out, 0};
    out[0] = 0;
    return ForEachLikeTerm(input, strlen(column), capacity, AppendCondition, &f) > 0;
}
