#pragma once
// Walking the title markup of paragraph rows: "[TITLE]bold[/TITLE]plain", and
// the rows as the view lays them out, for copying a selection with its source.
// Pure: no Win32 calls.

struct MarkupSegment {
    int start;
    int length;
    int bold;
};

// The segment at pos of text, and where the walk goes on; -1 once the
// text is used up. A "[TITLE]" without a closing tag is plain from there on.
int NextMarkupSegment(const wchar_t* text, int pos, MarkupSegment* segment);

// One row of the view: a title (bold, shown at the row's start) and its
// paragraph. Positions count view characters: tags dropped, a CR LF between
// rows one position. The source is the report title inside the marks of
// "《title》：", as offsets into the marked-up text; length 0 without a title.
struct ViewRow {
    int start;
    int titleLength;
    int bodyLength;
    int sourceOffset;
    int sourceLength;
};

// Fills up to capacity rows; returns how many the text holds (more than
// capacity when they did not all fit). Empty text holds none.
int MapMarkupRows(const wchar_t* text, ViewRow* rows, int capacity);

// The row whose title, paragraph or closing line break holds the position; -1 if none.
int ViewRowAt(const ViewRow* rows, int count, int position);

// The selection [selStart, selEnd) of the view as copied with its source: each
// row's paragraph part, followed by "（《source》）" when the row has a title,
// parts joined by CR LF; titles are never copied. viewText holds the view's
// characters by position. Returns the length of the result; it is written to
// out (with its terminator) only when capacity exceeds it.
int BuildSourcedCopy(const wchar_t* viewText, int viewLength, const wchar_t* markup, const ViewRow* rows,
                     int rowCount, int selStart, int selEnd, wchar_t* out, int capacity);

// Where the view's context menu opens. A click at (x, y) opens it there when the
// point lies in the view's window rectangle; a keyboard request (the point
// (-1, -1)) opens it at the caret when the caret is inside the view, else just
// inside the view's top-left corner. Returns 0 when no menu belongs there.
int ParagraphMenuPoint(int x, int y, int left, int top, int right, int bottom, int caretX, int caretY, int* outX,
                       int* outY);
