#include "package/archive_extract.h"

#include <windows.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "package/archive_read.h"

extern "C" {
#include "7zFile.h"
}

static char s_extractError[512];

static void SetExtractError(const char* text) {
    strncpy(s_extractError, text, sizeof s_extractError - 1);
    s_extractError[sizeof s_extractError - 1] = 0;
}

const char* GetExtractError() { return s_extractError; }

static bool Utf8ToWide(const char* text, wchar_t* out, int count) {
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, out, count) > 0;
}

static FILE* OpenOutput(const char* path) {
    wchar_t widePath[MAX_PATH];
    if (!Utf8ToWide(path, widePath, MAX_PATH)) return nullptr;
    return _wfopen(widePath, L"wb");
}

// A short write (a full disk) must not pass for a whole database.
static bool WriteOutput(FILE* out, const Byte* data, size_t size) {
    bool whole = fwrite(data, 1, size, out) == size;
    if (fclose(out) != 0) whole = false;
    return whole;
}

// What part of the entry did reach the disk is plain data: zero it, then delete.
static void RemoveOutput(const char* path) {
    wchar_t widePath[MAX_PATH];
    if (!Utf8ToWide(path, widePath, MAX_PATH)) return;
    FILE* file = _wfopen(widePath, L"r+b");
    if (file) {
        fseek(file, 0, SEEK_END);
        long size = ftell(file);
        fseek(file, 0, SEEK_SET);
        static const Byte zeros[4096] = {};
        for (long done = 0; done < size; done += 4096)
            fwrite(zeros, 1, static_cast<size_t>(size - done < 4096 ? size - done : 4096), file);
        fclose(file);
    }
    DeleteFileW(widePath);
}

struct OutputTarget {
    const char* outputDir;
    char* extractedPath;
    int extractedSize;
};

// Writes the decoded entry into the output folder; the file is created only
// now, so a decoding failure never leaves one behind.
static const char* WriteEntry(const char* name, const Byte* data, size_t size, void* context) {
    const OutputTarget* target = static_cast<const OutputTarget*>(context);
    char outputPath[260];
    // A cut path would name another file than the entry's.
    bool pathFits = snprintf(outputPath, sizeof outputPath, "%s\\%s", target->outputDir, name) <
                    static_cast<int>(sizeof outputPath);
    FILE* out = pathFits ? OpenOutput(outputPath) : nullptr;
    if (!out) return "Cannot create output file";
    if (!WriteOutput(out, data, size)) {
        RemoveOutput(outputPath);
        return "Cannot write output file";
    }
    if (target->extractedPath && target->extractedSize > 0) {
        strncpy(target->extractedPath, outputPath, target->extractedSize - 1);
        target->extractedPath[target->extractedSize - 1] = 0;
    }
    return nullptr;
}

int ExtractFirstFile(const char* archivePath, const char* outputDir, char* extractedPath, int extractedSize) {
    if (extractedPath && extractedSize > 0) extractedPath[0] = 0;

    CFileInStream archiveStream;
    wchar_t wideArchive[MAX_PATH];
    if (!Utf8ToWide(archivePath, wideArchive, MAX_PATH) || InFile_OpenW(&archiveStream.file, wideArchive) != 0) {
        SetExtractError("Cannot open archive file");
        return 0;
    }
    FileInStream_CreateVTable(&archiveStream);
    OutputTarget target = {outputDir, extractedPath, extractedSize};
    const char* error = nullptr;
    int result = ReadFirstEntry(&archiveStream.vt, WriteEntry, &target, &error);
    if (error) SetExtractError(error);
    File_Close(&archiveStream.file);
    return result;
}
