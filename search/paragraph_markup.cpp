#include "search/paragraph_markup.h"

#include <wchar.h>

static const wchar_t OPEN_TAG[] = L"[TITLE]";
static const wchar_t CLOSE_TAG[] = L"[/TITLE]";
static const int OPEN_LENGTH = 7;
static const int CLOSE_LENGTH = 8;

int NextMarkupSegment(const wchar_t* text, int pos, MarkupSegment* segment) {
    const wchar_t* here = text + pos;
    if (!*here) return -1;
    if (wcsncmp(here, OPEN_TAG, OPEN_LENGTH) == 0) {
        const wchar_t* close = wcsstr(here + OPEN_LENGTH, CLOSE_TAG);
        if (close) {
            *segment = {pos + OPEN_LENGTH, (int)(close - here) - OPEN_LENGTH, 1};
            return (int)(close - text) + CLOSE_LENGTH;
        }
    }
    const wchar_t* next = wcsstr(here, OPEN_TAG);
    if (!next || next == here) {
        *segment = {pos, (int)wcslen(here), 0};
        return pos + segment->length;
    }
    *segment = {pos, (int)(next - here), 0};
    return (int)(next - text);
}
