#include "telemetry/launch_report.h"

#include <winhttp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/app_version.h"
#include "telemetry/telemetry_state.h"

static const DWORD kPostTimeoutMs = 5000;
static char g_installType[16];

typedef LONG(WINAPI* RtlGetVersionFn)(RTL_OSVERSIONINFOW*);

static void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
    WinHttpSetOption(handle, option, &value, sizeof value);
}

int HttpPostJson(const char* url, const char* body) {
    if (!url || !body) return 1;
    int units = MultiByteToWideChar(CP_UTF8, 0, url, -1, nullptr, 0);
    wchar_t* wideUrl = units > 0 ? (wchar_t*)malloc((size_t)units * sizeof(wchar_t)) : nullptr;
    if (!wideUrl) return 1;
    MultiByteToWideChar(CP_UTF8, 0, url, -1, wideUrl, units);

    int result = 1;
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    wchar_t host[256], path[1024];
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    DWORD length = (DWORD)strlen(body);

    do {
        if (!WinHttpCrackUrl(wideUrl, 0, 0, &parts)) break;
        session = WinHttpOpen(GetTelemetryState()->user_agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session) break;
        SetDwordOption(session, WINHTTP_OPTION_CONNECT_TIMEOUT, kPostTimeoutMs);
        SetDwordOption(session, WINHTTP_OPTION_RECEIVE_TIMEOUT, kPostTimeoutMs);
        SetDwordOption(session, WINHTTP_OPTION_SEND_TIMEOUT, kPostTimeoutMs);
        connection = WinHttpConnect(session, host, parts.nPort, 0);
        if (!connection) break;
        DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        request = WinHttpOpenRequest(connection, L"POST", path, nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
        if (!request) break;
        WinHttpAddRequestHeaders(request, L"Content-Type: application/json", (DWORD)-1, WINHTTP_ADDREQ_FLAG_ADD);
        if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, (LPVOID)body, length, length, 0)) break;
        if (!WinHttpReceiveResponse(request, nullptr)) break;
        DWORD status = 0, statusSize = sizeof status;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
        result = status >= 200 && status <= 299 ? 0 : 2;
    } while (false);

    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    if (session) WinHttpCloseHandle(session);
    free(wideUrl);
    return result;
}

static void CollectOperatingSystem(LaunchReport* report) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto getVersion = ntdll ? (RtlGetVersionFn)(void*)GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    RTL_OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0) {
        snprintf(report->os_name, sizeof report->os_name, "Windows");
        snprintf(report->os_version, sizeof report->os_version, "Unknown");
        return;
    }
    FormatOsName(version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber, report->os_name,
                 sizeof report->os_name);
    snprintf(report->os_version, sizeof report->os_version, "%lu.%lu.%lu", version.dwMajorVersion,
             version.dwMinorVersion, version.dwBuildNumber);
}

static void CollectLocale(LaunchReport* report) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {0};
    char utf8[LOCALE_NAME_MAX_LENGTH * 3];
    if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) > 0 &&
        WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr) > 0) {
        CopyUtf8Cut(utf8, report->os_locale, sizeof report->os_locale);
        return;
    }
    snprintf(report->os_locale, sizeof report->os_locale, "%04x", GetUserDefaultUILanguage());
}

void CollectLaunchReport(LaunchReport* report) {
    if (!report) return;
    const TelemetryState* state = GetTelemetryState();
    snprintf(report->app_version, sizeof report->app_version, "%d.%d.%d", APP_VERSION_MAJOR, APP_VERSION_MINOR,
             APP_VERSION_PATCH);
    CopyUtf8Cut(state->install_id, report->install_id, sizeof report->install_id);
    CopyUtf8Cut(state->device_id, report->device_id, sizeof report->device_id);
    CollectOperatingSystem(report);

    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    snprintf(report->os_arch, sizeof report->os_arch, "%s", ArchitectureName(system.wProcessorArchitecture));
    CollectLocale(report);

    report->screen_width = GetSystemMetrics(SM_CXSCREEN);
    report->screen_height = GetSystemMetrics(SM_CYSCREEN);
    report->dpi_scale = 100;
    if (HDC screen = GetDC(nullptr)) {
        report->dpi_scale = DpiScaleFor(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    report->launch_count = state->launch_count;
    CopyUtf8Cut(state->first_launch, report->first_launch, sizeof report->first_launch);
    char lastLaunch[32] = {0};
    ReadTelemetryValue("Stats", "LastLaunch", lastLaunch, sizeof lastLaunch);
    CopyUtf8Cut(lastLaunch, report->last_launch, sizeof report->last_launch);
    FormatUtcTimestamp(report->timestamp, sizeof report->timestamp);

    if (!g_installType[0]) {
        wchar_t exe[260] = {0};
        GetModuleFileNameW(nullptr, exe, 260);
        exe[259] = 0;
        snprintf(g_installType, sizeof g_installType, "%s", InstallTypeFor(exe));
    }
    snprintf(report->install_type, sizeof report->install_type, "%s", g_installType);
}

DWORD WINAPI LaunchReportThread(LPVOID) {
    if (!GetTelemetryState()->enabled) return 0;
    LaunchReport report;
    memset(&report, 0, sizeof report);
    CollectLaunchReport(&report);
    char body[2048];
    if (FormatLaunchReportBody(&report, body, sizeof body) > 0) HttpPostJson(TelemetryLaunchUrl(), body);
    return 0;
}

void StartLaunchReport() {
    if (!GetTelemetryState()->enabled) return;
    HANDLE thread = CreateThread(nullptr, 0, LaunchReportThread, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
}
