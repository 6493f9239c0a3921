#pragma once
// Text pieces of the launch statistics and report that need no platform calls,
// so tests and fuzzers run them anywhere.

struct LaunchReport {
    char app_version[32];
    char install_id[64];
    char device_id[64];
    char os_name[64];
    char os_version[32];
    char os_arch[16];
    char os_locale[16];
    int screen_width;
    int screen_height;
    int dpi_scale;
    int launch_count;
    char first_launch[32];
    char last_launch[32];
    char timestamp[32];
    char install_type[16];
};

// Writes text as the inside of a JSON string: quotes, backslashes and control
// characters escaped, invalid UTF-8 as \ufffd, cut only between whole characters.
// Returns the length written.
int JsonEscape(const char* text, char* out, int size);

// The report body, every text member escaped. Returns its length, or 0 (out
// empty) when it would not fit, so no cut and invalid body is ever sent.
int FormatLaunchReportBody(const LaunchReport* report, char* out, int size);

// 32-bit DJB2 over the bytes taken as signed values.
unsigned int Djb2Hash(const char* text);
// The first 16 digest bytes as lower-case hex, each only while 2 * i + 2 < size.
void FormatDigestHex(const unsigned char* digest, char* out, int size);
// "%s|%s|%s|Tivra" into out.
void BuildDeviceIdInput(const char* computer, const char* user, const char* systemDir, char* out, int size);

// Copies at most size - 1 bytes of UTF-8 text without splitting a character.
void CopyUtf8Cut(const char* text, char* out, int size);

void FormatOsName(unsigned long major, unsigned long minor, unsigned long build, char* out, int size);
const char* ArchitectureName(unsigned short processorArchitecture);
int DpiScaleFor(int dpi);
// "msix" for an executable under \WindowsApps\ (exact case), else "setup".
const char* InstallTypeFor(const wchar_t* exePath);
