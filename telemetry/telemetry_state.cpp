#include "telemetry/telemetry_state.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <objbase.h>
#include <wincrypt.h>

#include "app/app_version.h"
#include "app/storage.h"

static TelemetryState g_state = {{0}, {0}, {0}, 0, 1, L"Tivra/1.0"};
static char g_iniPath[260];

const TelemetryState* GetTelemetryState() { return &g_state; }

void GetTelemetryIniPath(char* out, int size) {
    if (!g_iniPath[0] && !GetDataFilePath("telemetry.ini", g_iniPath, sizeof g_iniPath)) {
        wchar_t exe[260] = {0};
        GetModuleFileNameW(nullptr, exe, 260);
        exe[259] = 0;
        wchar_t* slash = wcsrchr(exe, L'\\');
        if (slash) *slash = 0;
        if (WideCharToMultiByte(CP_UTF8, 0, exe, -1, g_iniPath, sizeof g_iniPath, nullptr, nullptr) <= 0)
            g_iniPath[0] = 0;
        size_t length = strlen(g_iniPath);
        snprintf(g_iniPath + length, sizeof g_iniPath - length, "\\telemetry.ini");
    }
    if (!out || size <= 0) return;
    snprintf(out, (size_t)size, "%s", g_iniPath);
}

static bool ToWide(const char* text, wchar_t* out, int count) {
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, out, count) > 0;
}

bool ReadTelemetryValue(const char* section, const char* key, char* out, int size) {
    if (!section || !key || !out || size <= 0) return false;
    char path[260];
    GetTelemetryIniPath(path, sizeof path);
    wchar_t widePath[260], wideSection[64], wideKey[64], value[256];
    if (!ToWide(path, widePath, 260) || !ToWide(section, wideSection, 64) || !ToWide(key, wideKey, 64)) return false;
    if (GetPrivateProfileStringW(wideSection, wideKey, L"", value, 256, widePath) == 0) return false;
    // Every 255-unit value fits here; the caller's buffer takes whole characters only.
    char utf8[256 * 3];
    if (WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return false;
    CopyUtf8Cut(utf8, out, size);
    return true;
}

bool WriteTelemetryValue(const char* section, const char* key, const char* value) {
    if (!section || !key || !value) return false;
    char path[260];
    GetTelemetryIniPath(path, sizeof path);
    wchar_t widePath[260], wideSection[64], wideKey[64], wideValue[256];
    if (!ToWide(path, widePath, 260) || !ToWide(section, wideSection, 64) || !ToWide(key, wideKey, 64) ||
        !ToWide(value, wideValue, 256))
        return false;
    return WritePrivateProfileStringW(wideSection, wideKey, wideValue, widePath) != 0;
}

void FormatTimestamp(const SYSTEMTIME* time, char* out, int size) {
    if (!time || !out || size <= 0) return;
    snprintf(out, (size_t)size, "%04d-%02d-%02dT%02d:%02d:%02dZ", time->wYear, time->wMonth, time->wDay, time->wHour,
             time->wMinute, time->wSecond);
}

void FormatUtcTimestamp(char* out, int size) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FormatTimestamp(&now, out, size);
}

void HashDeviceIdInput(const char* input, char* out, int size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        snprintf(out, (size_t)size, "%08x", Djb2Hash(input));
        return;
    }
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        CryptReleaseContext(provider, 0);
        snprintf(out, (size_t)size, "hash-error");
        return;
    }
    unsigned char digest[32] = {0};
    DWORD digestSize = sizeof digest;
    CryptHashData(hash, (const BYTE*)input, (DWORD)strlen(input), 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0);
    FormatDigestHex(digest, out, size);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
}

static void WideToUtf8OrUnknown(BOOL gotName, const wchar_t* name, char* out, int size) {
    if (!gotName || WideCharToMultiByte(CP_UTF8, 0, name, -1, out, size, nullptr, nullptr) <= 0)
        snprintf(out, (size_t)size, "unknown");
}

void ComputeDeviceId(char* out, int size) {
    wchar_t computer[16] = {0}, user[256] = {0};
    DWORD computerSize = 16, userSize = 256;
    char computerUtf8[128], userUtf8[128], systemDir[260] = {0}, input[512];
    WideToUtf8OrUnknown(GetComputerNameW(computer, &computerSize), computer, computerUtf8, sizeof computerUtf8);
    WideToUtf8OrUnknown(GetUserNameW(user, &userSize), user, userUtf8, sizeof userUtf8);
    if (GetSystemDirectoryA(systemDir, sizeof systemDir) == 0) systemDir[0] = 0;
    BuildDeviceIdInput(computerUtf8, userUtf8, systemDir, input, sizeof input);
    HashDeviceIdInput(input, out, size);
}

static void MakeInstallId(char* out, int size) {
    GUID guid;
    if (CoCreateGuid(&guid) == S_OK) {
        snprintf(out, (size_t)size, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", guid.Data1, guid.Data2,
                 guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                 guid.Data4[5], guid.Data4[6], guid.Data4[7]);
        return;
    }
    srand(GetTickCount() ^ (unsigned int)time(nullptr));
    unsigned int seconds = (unsigned int)time(nullptr);
    int a = rand(), b = rand(), c = rand(), d = rand(), e = rand();
    snprintf(out, (size_t)size, "%08x-%04x-%04x-%04x-%08x%04x", seconds, a, b, c, d, e);
}

int ReadIniInteger(const char* text) { return text ? atoi(text) : 0; }

void RecordLaunch() {
    swprintf(g_state.user_agent, 64, L"Tivra/%d.%d.%d", APP_VERSION_MAJOR, APP_VERSION_MINOR, APP_VERSION_PATCH);

    char value[32] = {0};
    g_state.enabled = ReadTelemetryValue("Settings", "Enabled", value, sizeof value) ? ReadIniInteger(value) != 0 : 1;

    g_state.first_launch[0] = 0;
    if (ReadTelemetryValue("Identity", "InstallId", g_state.install_id, sizeof g_state.install_id)) {
        ReadTelemetryValue("Stats", "FirstLaunch", g_state.first_launch, sizeof g_state.first_launch);
    } else {
        MakeInstallId(g_state.install_id, sizeof g_state.install_id);
        WriteTelemetryValue("Identity", "InstallId", g_state.install_id);
        FormatUtcTimestamp(g_state.first_launch, sizeof g_state.first_launch);
        WriteTelemetryValue("Stats", "FirstLaunch", g_state.first_launch);
    }

    if (!ReadTelemetryValue("Identity", "DeviceId", g_state.device_id, sizeof g_state.device_id)) {
        ComputeDeviceId(g_state.device_id, sizeof g_state.device_id);
        WriteTelemetryValue("Identity", "DeviceId", g_state.device_id);
    }

    int oldCount = ReadTelemetryValue("Stats", "LaunchCount", value, sizeof value) ? ReadIniInteger(value) : 0;
    // Saturate rather than overflow on a hand-edited count.
    g_state.launch_count = oldCount < INT_MAX ? oldCount + 1 : INT_MAX;
    snprintf(value, sizeof value, "%d", g_state.launch_count);
    WriteTelemetryValue("Stats", "LaunchCount", value);

    char now[32];
    FormatUtcTimestamp(now, sizeof now);
    WriteTelemetryValue("Stats", "LastLaunch", now);
}
