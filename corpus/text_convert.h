#pragma once
// UTF-8 to UTF-16 for the rows the queries deliver: the system's own conversion
// on Windows, a portable one where the data layer builds natively for tests.

// Converts NUL-terminated text into out, offering it capacity units; returns the
// units written, terminator included, or 0 when the text needs more or fails.
int CorpusUtf8ToUtf16(const char* text, char16_t* out, int capacity);
