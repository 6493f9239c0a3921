#include "package/archive_extract.h"

#include <windows.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern "C" {
#include "7z.h"
#include "7zCrc.h"
#include "7zFile.h"
}

static char s_extractError[512];

static void SetExtractError(const char* text) {
    strncpy(s_extractError, text, sizeof s_extractError - 1);
    s_extractError[sizeof s_extractError - 1] = 0;
}

const char* GetExtractError() { return s_extractError; }

static void* AllocBytes(ISzAllocPtr, size_t size) { return size ? malloc(size) : nullptr; }
// Every block the decoder frees held part of the plain archive or the database.
static void FreeBytes(ISzAllocPtr, void* address) {
    if (!address) return;
    SecureZeroMemory(address, _msize(address));
    free(address);
}
static const ISzAlloc s_alloc = {AllocBytes, FreeBytes};

void InitArchiveCrc() { CrcGenerateTable(); }

static bool Utf8ToWide(const char* text, wchar_t* out, int count) {
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, out, count) > 0;
}

bool IsSafeEntryName(const char* name) {
    if (!name[0]) return false;
    if (name[0] == '\\' || name[0] == '/') return false;
    if (strchr(name, ':')) return false;  // drive letters and alternate streams
    const char* part = name;
    for (;;) {
        size_t length = strcspn(part, "\\/");
        if (length == 2 && part[0] == '.' && part[1] == '.') return false;
        if (!part[length]) return true;
        part += length + 1;
    }
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

int ExtractFirstFile(const char* archivePath, const char* outputDir, char* extractedPath, int extractedSize) {
    if (extractedPath && extractedSize > 0) extractedPath[0] = 0;

    CFileInStream archiveStream;
    wchar_t wideArchive[MAX_PATH];
    if (!Utf8ToWide(archivePath, wideArchive, MAX_PATH) || InFile_OpenW(&archiveStream.file, wideArchive) != 0) {
        SetExtractError("Cannot open archive file");
        return 0;
    }
    FileInStream_CreateVTable(&archiveStream);
    CLookToRead2 lookStream;
    LookToRead2_CreateVTable(&lookStream, False);
    const size_t kInputBufSize = 0x40000;
    lookStream.buf = static_cast<Byte*>(ISzAlloc_Alloc(&s_alloc, kInputBufSize));
    if (!lookStream.buf) {
        SetExtractError("Memory allocation failed");
        File_Close(&archiveStream.file);
        return 0;
    }
    lookStream.bufSize = kInputBufSize;
    lookStream.realStream = &archiveStream.vt;
    LookToRead2_INIT(&lookStream);

    CSzArEx db;
    SzArEx_Init(&db);
    int result = 0;
    UInt16* name = nullptr;
    if (SzArEx_Open(&db, &lookStream.vt, &s_alloc, &s_alloc) != SZ_OK) {
        SetExtractError("Cannot open 7z archive");
    } else {
        for (UInt32 i = 0; i < db.NumFiles; i++) {
            if (SzArEx_IsDir(&db, i)) continue;
            size_t nameLength = SzArEx_GetFileNameUtf16(&db, i, nullptr);
            if (nameLength > 0) {
                name = static_cast<UInt16*>(ISzAlloc_Alloc(&s_alloc, nameLength * 2));
                if (!name) {
                    SetExtractError("Memory allocation failed for filename");
                    break;
                }
                SzArEx_GetFileNameUtf16(&db, i, name);
            }
            char utf8Name[260] = "";
            // A name that does not fit is refused rather than read unterminated.
            if (name && WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<wchar_t*>(name), -1, utf8Name,
                                            sizeof utf8Name, nullptr, nullptr) == 0)
                utf8Name[0] = 0;
            // A hostile name must never reach outside the output folder.
            if (!IsSafeEntryName(utf8Name)) {
                SetExtractError("Unsafe file name in archive");
                break;
            }
            char outputPath[260];
            // A cut path would name another file than the entry's.
            bool pathFits = snprintf(outputPath, sizeof outputPath, "%s\\%s", outputDir, utf8Name) <
                            static_cast<int>(sizeof outputPath);

            UInt32 blockIndex = 0xFFFFFFFF;
            Byte* outBuffer = nullptr;
            size_t outBufferSize = 0, offset = 0, processed = 0;
            if (SzArEx_Extract(&db, &lookStream.vt, i, &blockIndex, &outBuffer, &outBufferSize, &offset,
                               &processed, &s_alloc, &s_alloc) != SZ_OK) {
                SetExtractError("Extraction failed");
            } else {
                FILE* out = pathFits ? OpenOutput(outputPath) : nullptr;
                if (!out) {
                    SetExtractError("Cannot create output file");
                } else if (!WriteOutput(out, outBuffer + offset, processed)) {
                    SetExtractError("Cannot write output file");
                    RemoveOutput(outputPath);
                } else {
                    if (extractedPath && extractedSize > 0) {
                        strncpy(extractedPath, outputPath, extractedSize - 1);
                        extractedPath[extractedSize - 1] = 0;
                    }
                    result = 1;
                }
            }
            ISzAlloc_Free(&s_alloc, outBuffer);
            break;
        }
    }
    ISzAlloc_Free(&s_alloc, name);
    SzArEx_Free(&db, &s_alloc);
    ISzAlloc_Free(&s_alloc, lookStream.buf);
    File_Close(&archiveStream.file);
    return result;
}
