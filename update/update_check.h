#pragma once
// The update check: one worker per check fetches the manifest, compares its
// version with APP_VERSION and posts MSG_UPDATE_RESULT with a heap UpdateInfo.
#include <windows.h>

#include "update/manifest_text.h"

#define UPDATE_UP_TO_DATE     1
#define UPDATE_AVAILABLE      2
#define UPDATE_NETWORK_ERROR  3
#define UPDATE_BAD_MANIFEST   4
#define UPDATE_INTERNAL_ERROR 5

#define UPDATER_USER_AGENT L"Tivra-Updater/1.0"

struct UpdateInfo {
    int major;
    int minor;
    int patch;
    wchar_t version[32];
    wchar_t download_url[512];
    wchar_t release_notes[2048];
    wchar_t release_date[32];
};

struct UpdateCheckRequest {
    HWND window;
    int silent;
};

// A zero-filled heap record; the window releases a posted one with FreeUpdateInfo.
UpdateInfo* NewUpdateInfo();
void FreeUpdateInfo(UpdateInfo* info);
// Records made by NewUpdateInfo and not yet freed.
long LiveUpdateInfoCount();
// Posts MSG_UPDATE_RESULT; 1 when posted (the window owns info), else 0 and
// info is freed here.
int PostUpdateResult(HWND window, int silent, int code, UpdateInfo* info);

// GET with the updater's options; only status 200 succeeds. The body (caller
// frees with free) is zero-terminated and may be null with length 0.
bool HttpGetText(const char* url, char** body, int* length);

// Reads a fetched manifest body into info (zero-filled first); UPDATE_ code.
int ReadUpdateManifest(const char* body, UpdateInfo* info);
// Fetches and reads the manifest at url into info; UPDATE_ code.
int CheckForUpdateFrom(const char* url, UpdateInfo* info);
// The build's manifest URL (update_url.cpp, or the test build's own definition).
const char* UpdateManifestUrl();
// The same on the build's manifest URL.
int CheckForUpdate(UpdateInfo* info);

void StartUpdateCheck(HWND window, int silent);
DWORD WINAPI UpdateCheckThread(LPVOID request);

// Only http:// and https:// addresses are handed to the shell.
bool IsWebUrl(const wchar_t* url);
// The offer text as the box shows it (wsprintfW, so cut at 1024 characters).
int FormatUpdateOffer(const UpdateInfo* info, wchar_t* out, int count);
void ShowUpdateResult(HWND window, UpdateInfo* info, int silent);

// Test seam: the one call that opens the download page. Null restores the shell.
typedef void (*UrlOpener)(const wchar_t* url);
void SetUrlOpenerForTest(UrlOpener opener);
