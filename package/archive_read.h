#pragma once
// Reading a 7z archive's first file entry from a seekable stream. No Windows
// calls, so the archive handling also builds natively for the fuzzer.
#include <stddef.h>

extern "C" {
#include "7zTypes.h"
}

// Takes the decoded entry while it is in memory: its UTF-8 name (checked with
// IsSafeEntryName) and bytes. Returns null when it kept the entry, else the
// failure's text.
typedef const char* (*ArchiveEntryWriter)(const char* name, const Byte* data, size_t size, void* context);

void InitArchiveCrc();

// Decodes the first entry that is not a directory and hands it to writer.
// Returns 1 when the writer kept it; 0 with *error the failure's text, or
// null when the archive holds no file at all.
int ReadFirstEntry(ISeekInStreamPtr input, ArchiveEntryWriter writer, void* context, const char** error);

// Whether a stored entry name may be joined to the output folder: no drive,
// no leading separator, no ".." component.
bool IsSafeEntryName(const char* name);

// UTF-16 (terminated) to UTF-8 as Windows' converter does it: a lone
// surrogate becomes U+FFFD. Returns false, with out empty, when the text and
// its terminator do not fit outSize bytes.
bool EntryNameToUtf8(const UInt16* name, char* out, size_t outSize);
