#pragma once
// The row texts the queries deliver, with their limits: a row that does not fit
// its buffer is skipped (each function then returns -1), a word row is cut.
#include <stdint.h>

enum { TEXT_ROW_UNITS = 512, PARAGRAPH_ROW_UNITS = 2560, WORD_ROW_BYTES = 256 };

// "%d|%s" in 256 bytes, cut at the last whole character; out holds 512 units.
int ComposeWordRow(int wordId, const char* word, char16_t* out);
// A phrase or short sentence; out holds 512 units, the text may use 511.
int ComposeTextRow(const char* text, char16_t* out);
// "[TITLE]《title》：[/TITLE]paragraph", or the paragraph alone when the title is
// missing, empty or needs more than 255 units; out holds 2560 units.
int ComposeParagraphRow(const char* paragraph, const char* title, char16_t* out);
// Length in units of a NUL-terminated row.
int RowUnits(const char16_t* row);
