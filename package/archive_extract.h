#pragma once
// Extraction of the first file of a 7z archive into a folder.

// Returns 1 when a file was written, 0 otherwise. Paths are UTF-8.
int ExtractFirstFile(const char* archivePath, const char* outputDir, char* extractedPath, int extractedSize);
const char* GetExtractError();
#include "package/archive_read.h"  // InitArchiveCrc, IsSafeEntryName
