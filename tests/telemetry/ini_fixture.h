#pragma once
// telemetry.ini of the test executable, written and read whole.
#include <string>

std::string IniPath();
void WriteIni(const std::string& content);
void RemoveIni();
std::string IniValue(const char* section, const char* key);
