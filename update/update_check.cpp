#include "update/update_check.h"

#include <winhttp.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "app/app_version.h"
#include "ui/window_ids.h"

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

static const int kHttpTimeoutMs = 15000;

static UrlOpener g_urlOpener;
// Records made and not yet freed, over all threads; tests read it to see leaks.
static volatile LONG g_liveRecords;

UpdateInfo* NewUpdateInfo() {
    UpdateInfo* info = (UpdateInfo*)calloc(1, sizeof(UpdateInfo));
    if (info) InterlockedIncrement(&g_liveRecords);
    return info;
}

void FreeUpdateInfo(UpdateInfo* info) {
    if (!info) return;
    InterlockedDecrement(&g_liveRecords);
    free(info);
}

long LiveUpdateInfoCount() { return g_liveRecords; }

static void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
    WinHttpSetOption(handle, option, &value, sizeof value);
}

// Heap UTF-16 copy sized by a measuring call; null when it cannot be made.
static wchar_t* Utf8ToWideAlloc(const char* text) {
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 0) return nullptr;
    wchar_t* wide = (wchar_t*)malloc((size_t)units * sizeof(wchar_t));
    if (wide && MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units) <= 0) {
        free(wide);
        wide = nullptr;
    }
    return wide;
}

// Appends every chunk the platform reports; false only when memory or a read fails.
static bool ReadBody(HINTERNET request, char** body, int* length) {
    char* buffer = nullptr;
    int held = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available) || available == 0) break;
        if (available > (DWORD)(INT_MAX - 1 - held)) {
            free(buffer);
            return false;
        }
        char* grown = (char*)realloc(buffer, (size_t)held + available + 1);
        if (!grown) {
            free(buffer);
            return false;
        }
        buffer = grown;
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer + held, available, &read)) {
            free(buffer);
            return false;
        }
        held += (int)read;
        buffer[held] = 0;
    }
    *body = buffer;
    *length = held;
    return true;
}

bool HttpGetText(const char* url, char** body, int* length) {
    if (body) *body = nullptr;
    if (length) *length = 0;
    if (!url || !body || !length) return false;

    wchar_t* wideUrl = Utf8ToWideAlloc(url);
    if (!wideUrl) return false;

    bool ok = false;
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    wchar_t host[256], path[1024];
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;

    do {
        if (!WinHttpCrackUrl(wideUrl, 0, 0, &parts)) break;
        session = WinHttpOpen(UPDATER_USER_AGENT, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session) break;
        SetDwordOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS,
                       WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);
        SetDwordOption(session, WINHTTP_OPTION_CONNECT_TIMEOUT, kHttpTimeoutMs);
        SetDwordOption(session, WINHTTP_OPTION_RECEIVE_TIMEOUT, kHttpTimeoutMs);
        SetDwordOption(session, WINHTTP_OPTION_SEND_TIMEOUT, kHttpTimeoutMs);
        connection = WinHttpConnect(session, host, parts.nPort, 0);
        if (!connection) break;
        DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        request = WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
        if (!request) break;
        WinHttpAddRequestHeaders(request, L"Accept: application/json", (DWORD)-1, WINHTTP_ADDREQ_FLAG_ADD);
        if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) break;
        if (!WinHttpReceiveResponse(request, nullptr)) break;
        DWORD status = 0, statusSize = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
            break;
        if (status != 200) break;
        ok = ReadBody(request, body, length);
    } while (false);

    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    if (session) WinHttpCloseHandle(session);
    free(wideUrl);
    return ok;
}

// The first key wins when present, even with an empty value.
static bool FindEither(const char* json, const char* first, const char* second, char* out, int size) {
    return JsonFindString(json, first, out, size) || JsonFindString(json, second, out, size);
}

static void ToWide(const char* text, wchar_t* out, int count) {
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, count) <= 0) out[0] = 0;
    out[count - 1] = 0;
}

int ReadUpdateManifest(const char* body, UpdateInfo* info) {
    if (!info) return UPDATE_INTERNAL_ERROR;
    memset(info, 0, sizeof *info);
    if (!body) return UPDATE_BAD_MANIFEST;
    char version[32] = {0}, downloadUrl[512] = {0}, notes[2048] = {0}, date[32] = {0};
    bool haveVersion = FindEither(body, "tag_name", "version", version, sizeof version);
    FindEither(body, "html_url", "download_url", downloadUrl, sizeof downloadUrl);
    FindEither(body, "body", "changelog", notes, sizeof notes);
    FindEither(body, "published_at", "release_date", date, sizeof date);
    if (!haveVersion || version[0] == 0) return UPDATE_BAD_MANIFEST;

    int major, minor, patch;
    if (ReadVersionText(version, &major, &minor, &patch) == 0) return UPDATE_BAD_MANIFEST;
    info->major = major;
    info->minor = minor;
    info->patch = patch;
    ToWide(version, info->version, 32);
    ToWide(downloadUrl, info->download_url, 512);
    ToWide(notes, info->release_notes, 2048);
    ToWide(date, info->release_date, 32);
    return CompareVersions(major, minor, patch, APP_VERSION_MAJOR, APP_VERSION_MINOR, APP_VERSION_PATCH) > 0
               ? UPDATE_AVAILABLE
               : UPDATE_UP_TO_DATE;
}

int CheckForUpdateFrom(const char* url, UpdateInfo* info) {
    if (!info) return UPDATE_INTERNAL_ERROR;
    memset(info, 0, sizeof *info);
    char* body = nullptr;
    int length = 0;
    if (!HttpGetText(url, &body, &length) || !body || length == 0) {
        free(body);
        return UPDATE_NETWORK_ERROR;
    }
    int code = ReadUpdateManifest(body, info);
    free(body);
    return code;
}

int CheckForUpdate(UpdateInfo* info) { return CheckForUpdateFrom(UpdateManifestUrl(), info); }

// The record passes to the window only with a posted message; when the post
// fails (the window is gone, its queue is full) nobody else would free it.
int PostUpdateResult(HWND window, int silent, int code, UpdateInfo* info) {
    WPARAM wParam = ((WPARAM)(silent & 0xFFFF) << 16) | (WPARAM)(code & 0xFFFF);
    if (PostMessageW(window, MSG_UPDATE_RESULT, wParam, (LPARAM)info)) return 1;
    FreeUpdateInfo(info);
    return 0;
}

DWORD WINAPI UpdateCheckThread(LPVOID parameter) {
    UpdateCheckRequest* request = (UpdateCheckRequest*)parameter;
    HWND window = request->window;
    int silent = request->silent;
    free(request);
    UpdateInfo* info = NewUpdateInfo();
    if (!info) {
        PostUpdateResult(window, silent, UPDATE_INTERNAL_ERROR, nullptr);
        return 0;
    }
    int code = CheckForUpdate(info);
    PostUpdateResult(window, silent, code, info);
    return 0;
}

void StartUpdateCheck(HWND window, int silent) {
    UpdateCheckRequest* request = (UpdateCheckRequest*)malloc(sizeof(UpdateCheckRequest));
    if (request) {
        request->window = window;
        request->silent = silent;
        HANDLE thread = CreateThread(nullptr, 0, UpdateCheckThread, request, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return;
        }
        free(request);
    }
    PostUpdateResult(window, silent, UPDATE_INTERNAL_ERROR, nullptr);
}

bool IsWebUrl(const wchar_t* url) {
    if (!url) return false;
    size_t prefix = _wcsnicmp(url, L"https://", 8) == 0 ? 8 : _wcsnicmp(url, L"http://", 7) == 0 ? 7 : 0;
    if (prefix == 0 || url[prefix] == 0) return false;
    // A control character or blank would let the shell read more than one address.
    for (const wchar_t* p = url; *p; ++p)
        if (*p <= L' ' || *p == 0x7F) return false;
    return true;
}

int FormatUpdateOffer(const UpdateInfo* info, wchar_t* out, int count) {
    if (!info || !out || count < 1025) return 0;
    const wchar_t* date = info->release_date[0] ? info->release_date : L"未知";
    const wchar_t* notes = info->release_notes[0] ? info->release_notes : L"暂无更新说明";
    return wsprintfW(out,
                     L"发现新版本！\n\n当前版本：%s\n最新版本：%s\n发布日期：%s\n\n更新内容：\n%s\n\n是否立即前往下载页面？",
                     APP_VERSION_W, info->version, date, notes);
}

static void OpenDownloadPage(const wchar_t* url) {
    if (g_urlOpener) g_urlOpener(url);
    else ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowUpdateResult(HWND window, UpdateInfo* info, int silent) {
    if (!info) {
        if (!silent) MessageBoxW(window, L"检查更新时发生错误，请稍后重试。", L"检查更新", MB_ICONERROR);
        return;
    }
    if (CompareVersions(info->major, info->minor, info->patch, APP_VERSION_MAJOR, APP_VERSION_MINOR,
                        APP_VERSION_PATCH) > 0) {
        wchar_t offer[4096];
        FormatUpdateOffer(info, offer, 4096);
        if (MessageBoxW(window, offer, L"发现新版本", MB_YESNO | MB_ICONINFORMATION) == IDYES &&
            IsWebUrl(info->download_url))
            OpenDownloadPage(info->download_url);
        return;
    }
    if (silent) return;
    wchar_t text[256];
    wsprintfW(text, L"当前版本 %s 已是最新版本！", APP_VERSION_W);
    MessageBoxW(window, text, L"检查更新", MB_ICONINFORMATION);
}

void SetUrlOpenerForTest(UrlOpener opener) { g_urlOpener = opener; }
