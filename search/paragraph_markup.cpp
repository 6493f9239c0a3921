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

// The report title inside "《...》：", or the whole bold text when it has another form.
static void TitleSource(const wchar_t* text, const MarkupSegment& segment, ViewRow* row) {
    int offset = segment.start, length = segment.length;
    if (length >= 3 && text[offset] == L'《' && text[offset + length - 2] == L'》' &&
        text[offset + length - 1] == L'：') {
        offset += 1;
        length -= 3;
    }
    row->sourceOffset = offset;
    row->sourceLength = length;
}

int MapMarkupRows(const wchar_t* text, ViewRow* rows, int capacity) {
    if (!text || !text[0]) return 0;
    int count = 0, position = 0;
    ViewRow row = {0, 0, 0, 0, 0};
    auto finish = [&](int end) {
        row.bodyLength = end - row.start - row.titleLength;
        if (count < capacity) rows[count] = row;
        ++count;
    };
    MarkupSegment segment;
    for (int pos = NextMarkupSegment(text, 0, &segment); pos >= 0; pos = NextMarkupSegment(text, pos, &segment)) {
        if (segment.bold) {
            if (position == row.start && row.titleLength == 0) {
                row.titleLength = segment.length;
                TitleSource(text, segment, &row);
            }
            position += segment.length;  // a title further in is part of the paragraph
            continue;
        }
        for (int i = segment.start; i < segment.start + segment.length; ++i) {
            if (text[i] == L'\r' && i + 1 < segment.start + segment.length && text[i + 1] == L'\n') {
                finish(position);
                ++position;  // the view keeps one character for the line break
                ++i;
                row = {position, 0, 0, 0, 0};
            } else {
                ++position;
            }
        }
    }
    finish(position);
    return count;
}

int ViewRowAt(const ViewRow* rows, int count, int position) {
    for (int i = 0; i < count; ++i) {
        int end = rows[i].start + rows[i].titleLength + rows[i].bodyLength;
        if (position >= rows[i].start && position <= end) return i;
    }
    return -1;
}

static int Put(wchar_t* out, int capacity, int length, const wchar_t* text, int units) {
    for (int i = 0; i < units; ++i, ++length)
        if (length < capacity) out[length] = text[i];
    return length;
}

int BuildSourcedCopy(const wchar_t* viewText, int viewLength, const wchar_t* markup, const ViewRow* rows,
                     int rowCount, int selStart, int selEnd, wchar_t* out, int capacity) {
    if (!out) capacity = 0;
    int length = 0, parts = 0;
    for (int i = 0; i < rowCount; ++i) {
        int bodyStart = rows[i].start + rows[i].titleLength;
        int from = selStart > bodyStart ? selStart : bodyStart;
        int to = bodyStart + rows[i].bodyLength;
        if (selEnd < to) to = selEnd;
        if (to > viewLength) to = viewLength;
        if (to <= from) continue;
        if (parts++ > 0) length = Put(out, capacity, length, L"\r\n", 2);
        length = Put(out, capacity, length, viewText + from, to - from);
        if (rows[i].sourceLength > 0 && markup) {
            length = Put(out, capacity, length, L"（《", 2);
            length = Put(out, capacity, length, markup + rows[i].sourceOffset, rows[i].sourceLength);
            length = Put(out, capacity, length, L"》）", 2);
        }
    }
    if (length < capacity) out[length] = 0;
    return length;
}

int ParagraphMenuPoint(int x, int y, int left, int top, int right, int bottom, int caretX, int caretY, int* outX,
                       int* outY) {
    if (x == -1 && y == -1) {
        bool caretInside = caretX >= left && caretX < right && caretY >= top && caretY < bottom;
        *outX = caretInside ? caretX : left + 4;
        *outY = caretInside ? caretY : top + 4;
        return 1;
    }
    if (x < left || x >= right || y < top || y >= bottom) return 0;
    *outX = x;
    *outY = y;
    return 1;
}
