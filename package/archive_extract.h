#pragma once
// Extraction of the first file of a 7z archive into a folder.

void InitArchiveCrc();
// Returns 1 when a file was written, 0 otherwise. Paths are UTF-8.
int ExtractFirstFile(const char* archivePath, const char* outputDir, char* extractedPath, int extractedSize);
const char* GetExtractError();
// Whether a stored entry name may be joined to the output folder: no drive,
// no leading separator, no ".." component.
bool IsSafeEntryName(const char* name);
