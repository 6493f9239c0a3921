#pragma once
// Owner drawing of the result lists and their headers.
#include <windows.h>

struct HighlightTermSet;

int DrawResultItem(const DRAWITEMSTRUCT* item);
int MeasureResultItem(MEASUREITEMSTRUCT* item);

struct TextRun {
    int start;
    int length;
    int highlighted;
};

// Pure: splits text into runs; a matching term (first in order wins) makes one
// highlighted run, every other unit is a plain run of one. Returns the run count.
int SplitHighlightRuns(const wchar_t* text, const HighlightTermSet* set, TextRun* runs, int capacity);
// Pure: the displayed part of a words entry "id|word" (whole text when no short id).
const wchar_t* WordEntryDisplayText(const wchar_t* entry);
