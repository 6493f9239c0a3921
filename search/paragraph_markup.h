#pragma once
// Walking the title markup of paragraph rows: "[TITLE]bold[/TITLE]plain".

struct MarkupSegment {
    int start;
    int length;
    int bold;
};

// Pure: the segment at pos of text, and where the walk goes on; -1 once the
// text is used up. A "[TITLE]" without a closing tag is plain from there on.
int NextMarkupSegment(const wchar_t* text, int pos, MarkupSegment* segment);
