#pragma once
// One launch report per start, posted from a detached worker; nothing waits for it.
#include <windows.h>

#include "telemetry/report_text.h"

// The build's report URL (telemetry_url.cpp, or the test build's own definition).
const char* TelemetryLaunchUrl();

void StartLaunchReport();
DWORD WINAPI LaunchReportThread(LPVOID unused);
void CollectLaunchReport(LaunchReport* report);

// 0 for a 2xx answer, 2 for any other status, 1 when no status was read.
int HttpPostJson(const char* url, const char* body);
