#pragma once
// Installation identity and launch statistics, kept in telemetry.ini.
#include <windows.h>

#include "telemetry/report_text.h"

struct TelemetryState {
    char install_id[64];
    char device_id[64];
    char first_launch[32];
    int launch_count;
    int enabled;
    wchar_t user_agent[64];
};

// Reads and updates telemetry.ini once per start, on the user-interface thread.
void RecordLaunch();
const TelemetryState* GetTelemetryState();

void GetTelemetryIniPath(char* out, int size);
bool ReadTelemetryValue(const char* section, const char* key, char* out, int size);
bool WriteTelemetryValue(const char* section, const char* key, const char* value);

void ComputeDeviceId(char* out, int size);
// SHA-256 of the input's bytes as 32 hex digits; DJB2 or "hash-error" without a provider.
void HashDeviceIdInput(const char* input, char* out, int size);
void FormatUtcTimestamp(char* out, int size);
void FormatTimestamp(const SYSTEMTIME* time, char* out, int size);
// "Enabled" and "LaunchCount" read the way atoi reads them.
int ReadIniInteger(const char* text);
