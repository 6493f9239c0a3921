#include "telemetry/report_text.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

// Length of the valid UTF-8 sequence at p, or 0 when the bytes there are not one.
static int Utf8SequenceLength(const unsigned char* p) {
    unsigned char c = p[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) length = 2;
    else if (c >= 0xE0 && c <= 0xEF) length = 3;
    else if (c >= 0xF0 && c <= 0xF4) length = 4;
    else return 0;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
    if (p[1] < low || p[1] > high) return 0;
    for (int i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return length;
}

int JsonEscape(const char* text, char* out, int size) {
    if (!out || size <= 0) return 0;
    int written = 0;
    const unsigned char* p = (const unsigned char*)(text ? text : "");
    while (*p) {
        char piece[8];
        int pieceLength, consumed = 1;
        unsigned char c = *p;
        if (c == '"' || c == '\\') {
            piece[0] = '\\';
            piece[1] = (char)c;
            pieceLength = 2;
        } else if (c < 0x20) {
            const char* shortForm = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : c == '\b' ? "\\b"
                                  : c == '\f' ? "\\f" : nullptr;
            if (shortForm) pieceLength = snprintf(piece, sizeof piece, "%s", shortForm);
            else pieceLength = snprintf(piece, sizeof piece, "\\u%04x", c);
        } else if (c < 0x80) {
            piece[0] = (char)c;
            pieceLength = 1;
        } else if ((consumed = Utf8SequenceLength(p)) > 0) {
            memcpy(piece, p, (size_t)consumed);
            pieceLength = consumed;
        } else {
            consumed = 1;
            pieceLength = snprintf(piece, sizeof piece, "\\ufffd");
        }
        if (written + pieceLength > size - 1) break;
        memcpy(out + written, piece, (size_t)pieceLength);
        written += pieceLength;
        p += consumed;
    }
    out[written] = 0;
    return written;
}

int FormatLaunchReportBody(const LaunchReport* report, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!report) return 0;
    // Six bytes is the longest escape of one input byte.
    char appVersion[6 * 32], installId[6 * 64], deviceId[6 * 64], osName[6 * 64], osVersion[6 * 32],
        osArch[6 * 16], osLocale[6 * 16], firstLaunch[6 * 32], lastLaunch[6 * 32], timestamp[6 * 32],
        installType[6 * 16];
    JsonEscape(report->app_version, appVersion, sizeof appVersion);
    JsonEscape(report->install_id, installId, sizeof installId);
    JsonEscape(report->device_id, deviceId, sizeof deviceId);
    JsonEscape(report->os_name, osName, sizeof osName);
    JsonEscape(report->os_version, osVersion, sizeof osVersion);
    JsonEscape(report->os_arch, osArch, sizeof osArch);
    JsonEscape(report->os_locale, osLocale, sizeof osLocale);
    JsonEscape(report->first_launch, firstLaunch, sizeof firstLaunch);
    JsonEscape(report->last_launch, lastLaunch, sizeof lastLaunch);
    JsonEscape(report->timestamp, timestamp, sizeof timestamp);
    JsonEscape(report->install_type, installType, sizeof installType);
    int length = snprintf(out, (size_t)size,
                          "{\"app_version\":\"%s\",\"install_id\":\"%s\",\"device_id\":\"%s\",\"os_name\":\"%s\","
                          "\"os_version\":\"%s\",\"os_arch\":\"%s\",\"os_locale\":\"%s\",\"screen_width\":%d,"
                          "\"screen_height\":%d,\"dpi_scale\":%d,\"launch_count\":%d,\"first_launch\":\"%s\","
                          "\"last_launch\":\"%s\",\"timestamp\":\"%s\",\"install_type\":\"%s\"}",
                          appVersion, installId, deviceId, osName, osVersion, osArch, osLocale, report->screen_width,
                          report->screen_height, report->dpi_scale, report->launch_count, firstLaunch, lastLaunch,
                          timestamp, installType);
    if (length < 0 || length >= size) {
        out[0] = 0;
        return 0;
    }
    return length;
}

unsigned int Djb2Hash(const char* text) {
    unsigned int hash = 5381;
    for (const char* p = text; p && *p; ++p) hash = hash * 33 + (unsigned int)(int)(signed char)*p;
    return hash;
}

void FormatDigestHex(const unsigned char* digest, char* out, int size) {
    if (!out || size <= 0) return;
    out[0] = 0;
    for (int i = 0; i < 16 && 2 * i + 2 < size; ++i) snprintf(out + 2 * i, 3, "%02x", digest[i]);
}

void BuildDeviceIdInput(const char* computer, const char* user, const char* systemDir, char* out, int size) {
    if (!out || size <= 0) return;
    snprintf(out, (size_t)size, "%s|%s|%s|Tivra", computer, user, systemDir);
}

void CopyUtf8Cut(const char* text, char* out, int size) {
    if (!out || size <= 0) return;
    size_t length = text ? strlen(text) : 0;
    if (length > (size_t)size - 1) {
        length = (size_t)size - 1;
        while (length > 0 && ((unsigned char)text[length] & 0xC0) == 0x80) --length;
    }
    if (length) memcpy(out, text, length);
    out[length] = 0;
}

void FormatOsName(unsigned long major, unsigned long minor, unsigned long build, char* out, int size) {
    if (!out || size <= 0) return;
    const char* name = nullptr;
    if (major == 10) name = build >= 22000 ? "Windows 11" : "Windows 10";
    else if (major == 6 && minor == 3) name = "Windows 8.1";
    else if (major == 6 && minor == 2) name = "Windows 8";
    else if (major == 6 && minor == 1) name = "Windows 7";
    if (name) snprintf(out, (size_t)size, "%s", name);
    else snprintf(out, (size_t)size, "Windows %lu.%lu", major, minor);
}

const char* ArchitectureName(unsigned short processorArchitecture) {
    switch (processorArchitecture) {
    case 9: return "x64";
    case 0: return "x86";
    case 12: return "ARM64";
    case 5: return "ARM";
    default: return "Unknown";
    }
}

int DpiScaleFor(int dpi) { return dpi * 100 / 96; }

const char* InstallTypeFor(const wchar_t* exePath) {
    return exePath && wcsstr(exePath, L"\\WindowsApps\\") ? "msix" : "setup";
}
