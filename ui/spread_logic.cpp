#include "ui/spread_logic.h"

#include <string.h>
#include <wchar.h>

void SpreadReset(SpreadCounts* counts) { memset(counts, 0, sizeof *counts); }

// UTF-8 to UTF-16 for a title; 0 when it is malformed or needs more than size - 1 units.
static int DecodeTitle(const char* utf8, wchar_t* out, int size) {
    const unsigned char* p = (const unsigned char*)utf8;
    int n = 0;
    while (*p) {
        unsigned code, extra;
        if (*p < 0x80) code = *p, extra = 0;
        else if ((*p & 0xE0) == 0xC0) code = *p & 0x1F, extra = 1;
        else if ((*p & 0xF0) == 0xE0) code = *p & 0x0F, extra = 2;
        else if ((*p & 0xF8) == 0xF0) code = *p & 0x07, extra = 3;
        else return 0;
        ++p;
        for (unsigned i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) return 0;
            code = (code << 6) | (*p & 0x3F);
        }
        if (code >= 0x10000) {
            if (n + 2 >= size) return 0;
            code -= 0x10000;
            out[n++] = (wchar_t)(0xD800 + (code >> 10));
            out[n++] = (wchar_t)(0xDC00 + (code & 0x3FF));
        } else {
            if (n + 1 >= size) return 0;
            out[n++] = (wchar_t)code;
        }
    }
    out[n] = 0;
    return 1;
}

static void Place(const char* titleUtf8, int* row, int* yearIndex) {
    *row = SPREAD_OTHER_ROW;
    *yearIndex = -1;
    wchar_t title[256];
    int year, index;
    if (titleUtf8 && DecodeTitle(titleUtf8, title, 256) && ParseReportTitle(title, &year, &index)) {
        *row = index;
        *yearIndex = year - REPORT_FIRST_YEAR;
    }
}

// The report's slot, by open addressing; null once the table is 7/8 full.
static SpreadArticle* FindArticle(SpreadCounts* counts, int64_t id, int* isNew) {
    uint64_t h = (uint64_t)id * 0x9E3779B97F4A7C15ull;
    unsigned slot = (unsigned)(h >> 51) & (SPREAD_ARTICLE_SLOTS - 1);
    for (;;) {
        SpreadArticle* a = &counts->articles[slot];
        if (!a->used) {
            if (counts->articleCount >= SPREAD_ARTICLE_SLOTS / 8 * 7) return nullptr;
            a->used = 1;
            a->id = id;
            ++counts->articleCount;
            *isNew = 1;
            return a;
        }
        if (a->id == id) {
            *isNew = 0;
            return a;
        }
        slot = (slot + 1) & (SPREAD_ARTICLE_SLOTS - 1);
    }
}

void SpreadAddHit(SpreadCounts* counts, int64_t articleId, int hasArticle, const char* titleUtf8) {
    int row = SPREAD_OTHER_ROW, yearIndex = -1;
    if (hasArticle) {
        int isNew = 0;
        SpreadArticle* article = FindArticle(counts, articleId, &isNew);
        if (!article) {
            Place(titleUtf8, &row, &yearIndex);  // past the table: placed, no longer told apart
        } else {
            if (isNew) {
                Place(titleUtf8, &article->row, &article->yearIndex);
                ++counts->reports;
            }
            row = article->row;
            yearIndex = article->yearIndex;
        }
    }
    ++counts->paragraphs;
    ++counts->rowTotals[row];
    if (yearIndex < 0) return;
    ++counts->cells[row][yearIndex];
    ++counts->yearTotals[yearIndex];
    int year = REPORT_FIRST_YEAR + yearIndex;
    if (!counts->firstYear || year < counts->firstYear) counts->firstYear = year;
    if (year > counts->lastYear) counts->lastYear = year;
}

void FormatSpreadSummary(const wchar_t* wording, const SpreadCounts* counts, wchar_t* out, int size) {
    if (size <= 0) return;
    if (counts->paragraphs == 0)
        swprintf(out, (size_t)size, L"“%ls”在语料中没有出现。", wording);
    else if (counts->firstYear)
        swprintf(out, (size_t)size, L"“%ls”见于 %d 篇报告的 %d 个段落，最早 %d 年，最近 %d 年。", wording,
                 counts->reports, counts->paragraphs, counts->firstYear, counts->lastYear);
    else
        swprintf(out, (size_t)size, L"“%ls”见于 %d 篇报告的 %d 个段落。", wording, counts->reports,
                 counts->paragraphs);
    out[size - 1] = 0;
}

void SpreadRowLabel(int row, wchar_t* out, int size) {
    if (size <= 0) return;
    const wchar_t* name = row == SPREAD_OTHER_ROW ? L"其他" : ReportNameForIndex(row);
    size_t length = wcslen(name);
    static const wchar_t SUFFIX[] = L"政府工作报告";
    size_t suffix = wcslen(SUFFIX);
    if (length > suffix && wcscmp(name + length - suffix, SUFFIX) == 0) length -= suffix;
    if (length >= (size_t)size) length = (size_t)size - 1;
    wmemcpy(out, name, length);
    out[length] = 0;
}

static int CopyWording(const wchar_t* text, wchar_t* out, int size) {
    size_t length = wcslen(text);
    if (length >= (size_t)size) length = (size_t)size - 1;
    wmemcpy(out, text, length);
    out[length] = 0;
    return (int)length;
}

int PickSpreadWording(const wchar_t* clause, const wchar_t* phrase, const wchar_t* wordEntry,
                      const wchar_t* searchText, wchar_t* out, int size) {
    if (size <= 0) return 0;
    out[0] = 0;
    if (clause && clause[0]) return CopyWording(clause, out, size);
    if (phrase && phrase[0]) return CopyWording(phrase, out, size);
    if (wordEntry && wordEntry[0]) {
        const wchar_t* bar = wcschr(wordEntry, L'|');
        const wchar_t* word = bar ? bar + 1 : wordEntry;
        if (word[0]) return CopyWording(word, out, size);
    }
    if (!searchText) return 0;
    int n = 0;
    for (const wchar_t* p = searchText; *p && n < size - 1; ++p) {
        if (*p == L' ' && (n == 0 || out[n - 1] == L' ')) continue;
        out[n++] = *p;
    }
    while (n > 0 && out[n - 1] == L' ') --n;
    out[n] = 0;
    return n;
}
