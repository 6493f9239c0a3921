// The build's report address, alone in its file: an executable that defines
// TelemetryLaunchUrl itself (the loopback test builds) never links this one.
#include "telemetry/launch_report.h"

#ifndef TIVRA_TELEMETRY_URL
#define TIVRA_TELEMETRY_URL "https://telemetry.tivra.invalid/launch"
#endif

const char* TelemetryLaunchUrl() { return TIVRA_TELEMETRY_URL; }
