#include "ini_fixture.h"

#include <stdio.h>

#include "telemetry/telemetry_state.h"

std::string IniPath() {
    char path[260];
    GetTelemetryIniPath(path, sizeof path);
    return path;
}

void WriteIni(const std::string& content) {
    FILE* file = fopen(IniPath().c_str(), "wb");
    if (!file) return;
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

void RemoveIni() { remove(IniPath().c_str()); }

std::string IniValue(const char* section, const char* key) {
    char value[256] = {0};
    return ReadTelemetryValue(section, key, value, sizeof value) ? value : "<absent>";
}
